#include "app/statistics/statistics_capability.h"

#include <QAction>
#include <QWidget>

#include "app/core/loan_period.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/statistics/statistics_window.h"

namespace {

// The last of the capabilities' commands, right above "konec".
constexpr int kStatisticsCommandPosition = 70;

}  // namespace

StatisticsCapability::StatisticsCapability(CatalogueSession& session, QObject* parent)
    : Capability(session, parent),
      command_(&session.AddCommand("statistika", kStatisticsCommandPosition, QStringLiteral("&statistika"))) {
    connect(command_, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { statistikaExecute(); }); });
}

void StatisticsCapability::statistikaExecute() {
    if (!window_) {
        QWidget& main = session_.Window();
        window_ = new StatisticsWindow(
            session_.Connection(), session_.Ui(), [this] { return ReadLoanPeriod(session_.SettingsPath()); }, &main);
        session_.PlaceOverWindow(*window_);
        connect(&session_, &CatalogueSession::CatalogueChanged, window_, &StatisticsWindow::CatalogueChanged);
        connect(&session_, &CatalogueSession::RowsAboutToChange, window_, &StatisticsWindow::ChangeStarts);
        connect(&session_, &CatalogueSession::RowsChanged, window_, &StatisticsWindow::Follow);
    }
    window_->Reopen();
    window_->show();
    window_->raise();
    window_->activateWindow();
}
