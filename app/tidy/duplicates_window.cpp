#include "app/tidy/duplicates_window.h"

#include <QBrush>
#include <algorithm>
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
#include "ui_duplicates_window.h"

namespace {

const char* const kCaption = "najít duplicity";
constexpr int kGroupRole = Qt::UserRole;  // read by CurrentGroupIndex
const QColor kDiffers(255, 236, 150);

}  // namespace

DuplicatesWindow::DuplicatesWindow(CatalogueSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::DuplicatesWindow>()) {
    ui_->setupUi(this);
    Ui::DuplicatesWindow& f = *ui_;
    connect(f.smazatb, &QPushButton::clicked, this, [this] { RunGuarded(session_.Ui(), [this] { smazatbClick(); }); });
    connect(f.dvavytiskyb, &QPushButton::clicked, this,
            [this] { RunGuarded(session_.Ui(), [this] { dvavytiskybClick(); }); });
}

DuplicatesWindow::~DuplicatesWindow() = default;

void DuplicatesWindow::Refresh() {
    Ui::DuplicatesWindow& f = *ui_;
    groups_ = FindDuplicates(session_.Connection(), ReadRemembered(session_.SettingsPath(), kTwoCopiesKey));
    f.duplicity->clear();
    QList<QTreeWidgetItem*> items;
    for (size_t g = 0; g < groups_.size(); ++g) {
        const DuplicateGroup& group = groups_[g];
        auto* top =
            new QTreeWidgetItem({QString::fromUtf8(group.byIsbn ? "stejné ISBN (%1×)" : "stejný autor a titul (%1×)")
                                     .arg(group.books.size())});
        top->setFirstColumnSpanned(true);
        top->setData(0, kGroupRole, static_cast<int>(g));
        for (const DuplicateBook& b : group.books) {
            auto* copy = new QTreeWidgetItem(top);
            for (int c = 0; c < kDuplicateColumns; ++c) {
                const std::string& text = b.fields[static_cast<size_t>(c)];
                copy->setText(c, FromCodePage(text));
                const bool differs = std::any_of(group.books.begin(), group.books.end(), [&](const DuplicateBook& o) {
                    return o.fields[static_cast<size_t>(c)] != text;
                });
                if (differs) copy->setBackground(c, QBrush(kDiffers));
            }
            copy->setFlags(copy->flags() | Qt::ItemIsUserCheckable);
            copy->setCheckState(0, Qt::Unchecked);
        }
        items.append(top);
    }
    f.duplicity->addTopLevelItems(items);
    for (QTreeWidgetItem* top : items) top->setFirstColumnSpanned(true);
    f.duplicity->expandAll();
    f.pocetl->setText(QString::fromUtf8("skupin: %1").arg(groups_.size()));
    if (!items.isEmpty()) f.duplicity->setCurrentItem(items.front());
}

void DuplicatesWindow::CatalogueChanged() {
    if (!own_change_) RefreshLater(*this, refresh_pending_, session_.Ui(), [this] { Refresh(); });
}

int DuplicatesWindow::CurrentGroup() const { return CurrentGroupIndex(*ui_->duplicity); }

void DuplicatesWindow::smazatbClick() {
    Ui::DuplicatesWindow& f = *ui_;
    std::vector<DuplicateBook> chosen;
    for (int g = 0; g < f.duplicity->topLevelItemCount(); ++g) {
        const QTreeWidgetItem& top = *f.duplicity->topLevelItem(g);
        const DuplicateGroup& group = groups_[static_cast<size_t>(top.data(0, kGroupRole).toInt())];
        int ticked = 0;
        for (int i = 0; i < top.childCount(); ++i) {
            if (top.child(i)->checkState(0) != Qt::Checked) continue;
            chosen.push_back(group.books[static_cast<size_t>(i)]);
            ++ticked;
        }
        if (ticked == top.childCount()) {
            session_.Ui().InformationBox(
                QString::fromUtf8(kCaption),
                QString::fromUtf8("Ve skupině „%1“ ponechte aspoň jeden výtisk.").arg(top.child(0)->text(2)));
            return;
        }
    }
    if (chosen.empty()) {
        session_.Ui().InformationBox(QString::fromUtf8(kCaption), QString::fromUtf8("Zaškrtněte výtisky ke smazání."));
        return;
    }
    if (!session_.Ui().Question(QString::fromUtf8(kCaption),
                                QString::fromUtf8("Smazat zaškrtnuté výtisky (%1)?").arg(chosen.size())))
        return;
    std::vector<int64_t> keys;
    for (const DuplicateBook& b : chosen) keys.push_back(b.key);
    std::vector<int64_t> deleted;
    bool changed = false;
    {
        const OwnChange own(own_change_);
        changed = session_.Change(keys, [&] {
            deleted = DeleteCopies(session_.Connection(), chosen);
            RowsChange change;
            change.rows = keys;
            change.changed = static_cast<int64_t>(deleted.size());
            // A copy left out is still there: the views then read the catalogue anew.
            change.deleted = deleted.size() == keys.size();
            change.readAnew = !change.deleted;
            return change;
        });
    }
    if (!changed) return;
    if (deleted.size() < chosen.size())
        session_.Ui().InformationBox(
            QString::fromUtf8(kCaption),
            QString::fromUtf8("Některé výtisky se mezitím změnily nebo zmizely a zůstaly, jak byly (%1).")
                .arg(chosen.size() - deleted.size()));
    Refresh();
}

void DuplicatesWindow::dvavytiskybClick() {
    const int g = CurrentGroup();
    if (g < 0) return;
    Remember(session_.SettingsPath(), kTwoCopiesKey, groups_[static_cast<size_t>(g)].identity);
    Refresh();
}
