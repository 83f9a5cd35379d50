// "najít duplicity" in the main window: copies side by side with the fields
// that differ highlighted, ticked copies deleted after one question (never
// every copy of a group), and "dva výtisky" remembered in the settings file.
#include <QPushButton>
#include <QTreeWidget>

#include "app/tidy/duplicates_window.h"
#include "support/app_window_fixture.h"
#include "support/sql_rows.h"
#include "ui_duplicates_window.h"

namespace testsupport {
namespace {

Book Copy(std::string autor, std::string titul, std::string isbnText, std::string place) {
    Book b = BookOf(std::move(autor), std::move(titul));
    b.umisteni = std::move(place);
    b.poznamka = std::move(isbnText);  // moved to udaj1 below: Book has no field for it
    return b;
}

class DuplicatesWindowTest : public WindowFixture {
protected:
    void SetUp() override {
        MakeCatalogue({Copy("Hrabal Bohumil", "Ob\xF8\x61 sn\xEC\x9Eky", "80-7203-123-6", "ob\xFDv\xE1k"),
                       Copy("Hrabal Bohumil", "Ob\xF8\x61 sn\xEC\x9Eky", "9788072031238", "sklep"),
                       Copy("Pratchett Terry", "Mort (Discworld, #4)", "", "police 3"),
                       Copy("PRATCHETT, Terry", "Mort", "", "police 3"),
                       Copy("\xC8\x61pek Karel", "Krakatit", "", "sklep")});
        ExecSql(CataloguePath(), "update svazkovna set udaj1=poznamka, poznamka=''");
        OpenWindow();
        Command("najitduplicity").trigger();
        dupes = window->findChild<DuplicatesWindow*>();
        ASSERT_NE(dupes, nullptr);
    }
    QTreeWidgetItem& Group(int g) const { return *dupes->form().duplicity->topLevelItem(g); }
    DuplicatesWindow* dupes = nullptr;
};

TEST_F(DuplicatesWindowTest, ShowsCopiesSideBySideAndDeletesTheTickedOnes) {
    ASSERT_EQ(dupes->form().duplicity->topLevelItemCount(), 2);
    EXPECT_EQ(Group(0).text(0), QString::fromUtf8("stejné ISBN (2×)"));
    EXPECT_EQ(Group(1).text(0), QString::fromUtf8("stejný autor a titul (2×)"));
    // Highlighted: the id, the place and the ISBN's form differ; author and title do not.
    QStringList differing;
    for (int c = 0; c < dupes->form().duplicity->columnCount(); ++c)
        if (Group(0).child(0)->background(c).style() != Qt::NoBrush)
            differing << dupes->form().duplicity->headerItem()->text(c);
    EXPECT_EQ(differing, QStringList({"id", QString::fromUtf8("umístění"), "ISBN"}));

    // Every copy of a group ticked: refused, nothing asked, nothing deleted.
    Group(1).child(0)->setCheckState(0, Qt::Checked);
    Group(1).child(1)->setCheckState(0, Qt::Checked);
    dupes->form().smazatb->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(SelectRows(CataloguePath(), "select count(*) from svazkovna"), std::vector<std::string>{"5"});

    // One copy of each group now: the ISBN form stored as ISBN-13 and "PRATCHETT, Terry".
    Group(1).child(0)->setCheckState(0, Qt::Unchecked);
    Group(0).child(1)->setCheckState(0, Qt::Checked);
    ui.QueueQuestion(true);
    dupes->form().smazatb->click();
    EXPECT_EQ(SelectRows(CataloguePath(), "select rowid from svazkovna"), (std::vector<std::string>{"1", "3", "5"}));
    EXPECT_EQ(ShownTree(Tree()).size(), 3u);
    EXPECT_EQ(dupes->form().duplicity->topLevelItemCount(), 0);
}

TEST_F(DuplicatesWindowTest, TwoCopiesKeptAreNotOfferedAgain) {
    dupes->form().duplicity->setCurrentItem(Group(0).child(1));
    dupes->form().dvavytiskyb->click();
    ASSERT_EQ(dupes->form().duplicity->topLevelItemCount(), 1);
    EXPECT_EQ(Group(0).text(0), QString::fromUtf8("stejný autor a titul (2×)"));
    dupes->Refresh();
    EXPECT_EQ(dupes->form().duplicity->topLevelItemCount(), 1);
    EXPECT_EQ(SelectRows(CataloguePath(), "select count(*) from svazkovna"), std::vector<std::string>{"5"});
}

}  // namespace
}  // namespace testsupport
