// The preview's rows to decide on as a screen reader meets them: each row a
// check box telling its tick, whose toggle action ticks it as a click does,
// and quick still with a whole library of wishes.
#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <gtest/gtest.h>

#include "app/transfer/import_dialog.h"
#include "app/transfer/readers/import_reader.h"
#include "support/app_files.h"
#include "ui_import_dialog.h"

namespace testsupport {
namespace {

std::string Data(const char* name) { return std::string(SVAZKOVNA_TEST_DATA) + "/import/" + name; }

// A Goodreads export as Goodreads writes it (the header of the real-shaped
// fixture), every book on the to-read shelf (so every row is one to decide
// on), Owned Copies 0.
std::string GoodreadsWishes(int books) {
    const std::string fixture = Slurp(Data("goodreads_shelves_series.csv"));
    std::string csv = fixture.substr(0, fixture.find('\n') + 1);
    for (int i = 0; i < books; ++i) {
        const std::string n = std::to_string(i + 1000);
        csv += n + ",\"Povídky " + n + " (Sebrané spisy, #" + std::to_string(i % 30 + 1) + ")\",Karel Čapek" + n +
               ",\"Čapek" + n + ", Karel\",,=\"\",=\"\",0,3.98,Československý spisovatel,Paperback,214,1990,1929,," +
               "2024/02/11,to-read,to-read (#" + std::to_string(i + 1) + "),to-read,,,,0,0\n";
    }
    return csv;
}

struct Reader {
    QAccessibleInterface* list;
    QAccessibleInterface* Row(int k) const { return list->child(k); }
    bool Checked(int k) const { return Row(k)->state().checked; }
    void Toggle(int k, const QString& action = QAccessibleActionInterface::toggleAction()) const {
        Row(k)->actionInterface()->doAction(action);
    }
};

TEST(ImportPreview, AScreenReaderHearsEachTickAndItsToggleActionTicks) {
    const ImportPlan plan = ParseImport(Slurp(Data("goodreads_shelves_series.csv")));
    ImportDialog dialog(plan, QStringLiteral("goodreads_library_export.csv"));
    Ui::ImportDialog& ui = *dialog.form();
    const auto count = [&] { return ui.pocetl->text().toStdString(); };
    const Reader reader{QAccessible::queryAccessibleInterface(ui.duplicitylw)};
    ASSERT_NE(reader.list, nullptr);
    ASSERT_EQ(reader.list->childCount(), 2);  // the two wishes
    EXPECT_EQ(reader.Row(2), nullptr);

    for (int k = 0; k < 2; ++k) {
        QAccessibleInterface* row = reader.Row(k);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row, reader.Row(k)) << "asked twice, the same row";
        EXPECT_EQ(reader.list->indexOfChild(row), k);
        EXPECT_EQ(row->parent(), reader.list);
        EXPECT_EQ(row->role(), QAccessible::CheckBox);
        EXPECT_EQ(row->text(QAccessible::Name), ui.duplicitylw->item(k)->text());
        EXPECT_TRUE(row->state().checkable);
        EXPECT_FALSE(row->state().checked);
        ASSERT_NE(row->actionInterface(), nullptr);
        EXPECT_TRUE(row->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    }
    EXPECT_TRUE(reader.Row(1)->text(QAccessible::Name).contains(QStringLiteral("Sto roků samoty")));

    // The toggle action ticks the row itself (not its selection), and again unticks it.
    reader.Toggle(1);
    EXPECT_TRUE(reader.Checked(1));
    EXPECT_FALSE(reader.Checked(0));
    EXPECT_FALSE(reader.Row(1)->state().selected);
    EXPECT_EQ(count(), "Bude importováno záznamů: 7.");
    EXPECT_TRUE(dialog.Chosen()[6]);
    reader.Toggle(1);
    EXPECT_FALSE(reader.Checked(1));
    EXPECT_EQ(count(), "Bude importováno záznamů: 6.");
    reader.Toggle(0, QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(reader.Checked(0));
    EXPECT_EQ(count(), "Bude importováno záznamů: 7.");

    // The state follows ticks made any other way: the buttons, a click's box.
    ui.vybratvsepb->click();
    EXPECT_TRUE(reader.Checked(0) && reader.Checked(1));
    ui.zrusitvyberpb->click();
    EXPECT_FALSE(reader.Checked(0) || reader.Checked(1));
    ui.duplicitylw->item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(reader.Checked(1));

    // A disabled preview list does nothing on the action.
    ui.duplicitylw->setEnabled(false);
    reader.Toggle(1);
    EXPECT_TRUE(reader.Checked(1));
    EXPECT_TRUE(reader.Row(1)->state().disabled);
}

TEST(ImportPreview, TenThousandWishesTickInstantlyThroughTheScreenReader) {
    const int books = 10000;
    const ImportPlan plan = ParseImport(GoodreadsWishes(books));
    ImportDialog dialog(plan, QStringLiteral("goodreads_library_export.csv"));
    Ui::ImportDialog& ui = *dialog.form();
    const Reader reader{QAccessible::queryAccessibleInterface(ui.duplicitylw)};
    ASSERT_EQ(reader.list->childCount(), books);
    EXPECT_EQ(ui.pocetl->text().toStdString(), "Bude importováno záznamů: 0.");

    // The first row moves every shown id, the last moves none.
    std::vector<qint64> took;
    for (const int k : {0, books - 1, books / 2, 0, books - 1, books / 2, 1, 2, 3, 4}) {
        const bool before = reader.Checked(k);
        QElapsedTimer clock;
        clock.start();
        reader.Toggle(k);
        took.push_back(clock.elapsed());
        EXPECT_NE(reader.Checked(k), before) << k;
        EXPECT_EQ(dialog.Chosen()[static_cast<size_t>(k)], !before) << k;
    }
    EXPECT_EQ(ui.pocetl->text().toStdString(), "Bude importováno záznamů: 4.");
    EXPECT_EQ(ui.nahledtw->item(4, 0)->text().toStdString(), "4");
    std::sort(took.begin(), took.end());
    EXPECT_LT(took[took.size() / 2], 50) << "ms for the median tick";
    EXPECT_LT(took.back(), 500) << "ms for the slowest tick";
}

}  // namespace
}  // namespace testsupport
