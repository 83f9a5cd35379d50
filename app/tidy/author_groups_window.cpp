#include "app/tidy/author_groups_window.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "app/core/codepage.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/platform/rows_change.h"
#include "app/platform/ui_services.h"
#include "app/tidy/group_list.h"
#include "app/tidy/tidy_settings.h"
#include "ui_author_groups_window.h"

namespace {

const char* const kCaption = "sjednotit autory";
constexpr int kGroupRole = Qt::UserRole;  // read by CurrentGroupIndex

}  // namespace

AuthorGroupsWindow::AuthorGroupsWindow(CatalogueSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::AuthorGroupsWindow>()) {
    ui_->setupUi(this);
    Ui::AuthorGroupsWindow& f = *ui_;
    f.skupiny->setColumnWidth(0, 480);
    connect(f.skupiny, &QTreeWidget::currentItemChanged, this, [this] { GroupChosen(); });
    connect(f.sjednotitb, &QPushButton::clicked, this,
            [this] { RunGuarded(session_.Ui(), [this] { sjednotitbClick(); }); });
    connect(f.nejsoustejnib, &QPushButton::clicked, this,
            [this] { RunGuarded(session_.Ui(), [this] { nejsoustejnibClick(); }); });
}

AuthorGroupsWindow::~AuthorGroupsWindow() = default;

std::set<std::string> AuthorGroupsWindow::Dismissed() const {
    return ReadRemembered(session_.SettingsPath(), kNotSameKey);
}

void AuthorGroupsWindow::Refresh() {
    Ui::AuthorGroupsWindow& f = *ui_;
    groups_ = FindAuthorGroups(session_.Connection(), Dismissed());
    f.skupiny->clear();
    QList<QTreeWidgetItem*> items;
    for (size_t g = 0; g < groups_.size(); ++g) {
        const AuthorGroup& group = groups_[g];
        auto* top = new QTreeWidgetItem({QString::fromUtf8(group.maybe ? "možná: %1" : "stejní: %1")
                                             .arg(FromCodePage(group.spellings.front().autor)),
                                         QString::number(group.books)});
        top->setData(0, kGroupRole, static_cast<int>(g));
        for (const AuthorSpelling& s : group.spellings) {
            auto* member = new QTreeWidgetItem(top, {FromCodePage(s.autor), QString::number(s.books)});
            member->setFlags(member->flags() | Qt::ItemIsUserCheckable);
            member->setCheckState(0, Qt::Checked);
        }
        items.append(top);
    }
    f.skupiny->addTopLevelItems(items);
    f.skupiny->expandAll();
    f.pocetl->setText(QString::fromUtf8("skupin: %1").arg(groups_.size()));
    if (!items.isEmpty()) f.skupiny->setCurrentItem(items.front());
    GroupChosen();
}

void AuthorGroupsWindow::CatalogueChanged() {
    if (!own_change_) RefreshLater(*this, refresh_pending_, session_.Ui(), [this] { Refresh(); });
}

int AuthorGroupsWindow::CurrentGroup() const { return CurrentGroupIndex(*ui_->skupiny); }

void AuthorGroupsWindow::GroupChosen() {
    Ui::AuthorGroupsWindow& f = *ui_;
    const int g = CurrentGroup();
    f.ponechat->clear();
    f.sjednotitb->setEnabled(g >= 0);
    f.nejsoustejnib->setEnabled(g >= 0);
    if (g < 0) return;
    for (const AuthorSpelling& s : groups_[static_cast<size_t>(g)].spellings)
        f.ponechat->addItem(FromCodePage(s.autor));
    f.ponechat->setCurrentIndex(0);
}

void AuthorGroupsWindow::sjednotitbClick() {
    Ui::AuthorGroupsWindow& f = *ui_;
    const int g = CurrentGroup();
    if (g < 0) return;
    const QString kept = f.ponechat->currentText().trimmed();
    QString bad;
    if (kept.isEmpty()) {
        session_.Ui().InformationBox(QString::fromUtf8(kCaption),
                                     QString::fromUtf8("Zadejte tvar jména, který se má ponechat."));
        return;
    }
    if (!FitsCodePage(kept, &bad)) {
        session_.Ui().InformationBox(QString::fromUtf8(kCaption),
                                     QString::fromUtf8("Znak „%1“ nelze v katalogu uložit.").arg(bad));
        return;
    }
    const std::string to = ToCodePage(kept);
    const QTreeWidgetItem& top = *f.skupiny->topLevelItem(g);
    const AuthorGroup& group = groups_[static_cast<size_t>(g)];
    std::vector<std::string> from;
    for (int i = 0; i < top.childCount(); ++i)
        if (top.child(i)->checkState(0) == Qt::Checked && group.spellings[static_cast<size_t>(i)].autor != to)
            from.push_back(group.spellings[static_cast<size_t>(i)].autor);
    // A click that would change nothing says why, rather than seeming to be ignored.
    if (from.empty()) {
        session_.Ui().InformationBox(
            QString::fromUtf8(kCaption),
            QString::fromUtf8("Není co sjednotit: zaškrtněte aspoň jeden jiný tvar jména než „%1“.").arg(kept));
        return;
    }

    TASQLite3DB& db = session_.Connection();
    const std::vector<AuthorRow> rows = RowsOfAuthors(db, from);
    std::vector<int64_t> keys;
    keys.reserve(rows.size());
    for (const AuthorRow& r : rows) keys.push_back(r.key);
    AuthorRewrite done;
    bool changed = false;
    {
        const OwnChange own(own_change_);
        changed = session_.Change(keys, [&] {
            done = RewriteAuthors(db, rows, to);
            RowsChange change;
            change.rows = keys;
            change.changed = static_cast<int64_t>(done.written.size());
            return change;
        });
    }
    if (!changed) return;
    if (!done.leftOut.empty()) {
        QString list;
        for (const AuthorRow& r : done.leftOut)
            list += QString::fromUtf8("\n%1 – %2").arg(FromCodePage(r.autor), FromCodePage(r.titul));
        session_.Ui().InformationBox(
            QString::fromUtf8(kCaption),
            QString::fromUtf8("Tyto knihy se mezitím změnily nebo zmizely a zůstaly, jak byly:") + list);
    }
    Refresh();
}

void AuthorGroupsWindow::nejsoustejnibClick() {
    const int g = CurrentGroup();
    if (g < 0) return;
    Remember(session_.SettingsPath(), kNotSameKey, groups_[static_cast<size_t>(g)].identity);
    Refresh();
}
