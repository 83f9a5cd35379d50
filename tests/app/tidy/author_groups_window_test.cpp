// "sjednotit autory" in the main window: the ticked spellings of a group
// rewritten to the kept form through the session, namesake rows included, an
// unticked one and a row another program changed meanwhile left as they are,
// the tree following; a dismissed group remembered in the settings file.
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTreeWidget>

#include "app/core/codepage.h"
#include "app/platform/catalogue_session.h"
#include "app/tidy/author_groups_window.h"
#include "support/app_window_fixture.h"
#include "support/sql_rows.h"
#include "ui_author_groups_window.h"

namespace testsupport {
namespace {

Book Noted(std::string autor, std::string titul, std::string note) {
    Book b = BookOf(std::move(autor), std::move(titul));
    b.poznamka = std::move(note);
    b.zanr = "fantasy";
    return b;
}

class AuthorGroupsWindowTest : public WindowFixture {
protected:
    void SetUp() override {
        MakeCatalogue({Noted("Tolkien J.R.R.", "Hobit", "1"), Noted("Tolkien J.R.R.", "Hobit", "2"),
                       Noted("Tolkien J.R.R.", "Hobit", "3"), Noted("J.R.R. Tolkien", "Silmarillion", "4"),
                       Noted("Tolkien J. R. R.", "P\xE1n prsten\xF9", "5"),
                       Noted("Tolkien John Ronald Reuel", "Hobit", "6"), Noted("\xC8\x61pek Karel", "Krakatit", "7"),
                       Noted("Capek Karel", "R.U.R.", "8")});
        OpenWindow();
        Command("sjednotitautory").trigger();
        groups = window->findChild<AuthorGroupsWindow*>();
        ASSERT_NE(groups, nullptr);
    }
    QTreeWidgetItem& Group(int g) const { return *groups->form().skupiny->topLevelItem(g); }
    std::vector<std::string> Authors() const {
        return SelectRows(CataloguePath(), "select rowid, autor, titul, zanr, poznamka from svazkovna order by rowid");
    }
    AuthorGroupsWindow* groups = nullptr;
};

TEST_F(AuthorGroupsWindowTest, RewritesTheTickedSpellingsOfTheChosenRowsOnly) {
    ASSERT_EQ(groups->form().skupiny->topLevelItemCount(), 3);
    EXPECT_EQ(Group(0).text(0), QString::fromUtf8("stejní: Tolkien J.R.R."));
    EXPECT_EQ(Group(0).text(1), "5");
    EXPECT_EQ(Group(1).text(0), QString::fromUtf8("stejní: Capek Karel"));  // one book each: by the bytes
    EXPECT_EQ(Group(2).text(0), QString::fromUtf8("možná: Tolkien J.R.R."));

    groups->form().skupiny->setCurrentItem(&Group(0));
    // "J.R.R. Tolkien" unticked: the user holds it for another person.
    for (int i = 0; i < Group(0).childCount(); ++i)
        if (Group(0).child(i)->text(0) == "J.R.R. Tolkien") Group(0).child(i)->setCheckState(0, Qt::Unchecked);
    groups->form().ponechat->setCurrentText("Tolkien J. R. R.");
    // Another program renames one of the namesakes after the rows were read.
    QObject::connect(&window->session(), &CatalogueSession::RowsAboutToChange, groups, [this] {
        ExecSql(CataloguePath(), "update svazkovna set autor='Tolkien J.R.R. (ed.)' where rowid=2");
    });
    groups->form().sjednotitb->click();

    EXPECT_EQ(Authors(), (std::vector<std::string>{
                             "1|Tolkien J. R. R.|Hobit|fantasy|1",
                             "2|Tolkien J.R.R. (ed.)|Hobit|fantasy|2",
                             "3|Tolkien J. R. R.|Hobit|fantasy|3",
                             "4|J.R.R. Tolkien|Silmarillion|fantasy|4",
                             "5|Tolkien J. R. R.|P\xE1n prsten\xF9|fantasy|5",
                             "6|Tolkien John Ronald Reuel|Hobit|fantasy|6",
                             "7|\xC8\x61pek Karel|Krakatit|fantasy|7",
                             "8|Capek Karel|R.U.R.|fantasy|8",
                         }));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("Tolkien J.R.R. – Hobit")))
        << ui.boxes[0].text.toStdString();
    const QStringList authors = ShownAuthors(Tree());
    EXPECT_TRUE(authors.contains("Tolkien J. R. R.")) << authors.join(", ").toStdString();
    EXPECT_TRUE(authors.contains("Tolkien J.R.R. (ed.)")) << authors.join(", ").toStdString();
    EXPECT_FALSE(authors.contains("Tolkien J.R.R.")) << authors.join(", ").toStdString();
    // The unticked spelling is offered again beside the kept form.
    EXPECT_EQ(Group(0).text(0), QString::fromUtf8("stejní: Tolkien J. R. R."));
    ASSERT_EQ(Group(0).childCount(), 2);
    EXPECT_EQ(Group(0).child(1)->text(0), "J.R.R. Tolkien");
}

TEST_F(AuthorGroupsWindowTest, ADismissedGroupIsRememberedInTheSettings) {
    groups->form().skupiny->setCurrentItem(Group(1).child(0));
    groups->form().nejsoustejnib->click();
    ASSERT_EQ(groups->form().skupiny->topLevelItemCount(), 2);
    EXPECT_EQ(Group(0).text(0), QString::fromUtf8("stejní: Tolkien J.R.R."));
    QFile settings(window->session().SettingsPath());
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray text = settings.readAll();
    EXPECT_TRUE(text.contains("[uklid]") && text.contains("nejsoustejni1=")) << text.toStdString();
    groups->Refresh();
    EXPECT_EQ(groups->form().skupiny->topLevelItemCount(), 2);
    EXPECT_EQ(SelectRows(CataloguePath(), "select count(*) from sqlite_master"), std::vector<std::string>{"1"});
}

TEST_F(AuthorGroupsWindowTest, NothingTickedButTheKeptFormSaysSoAndWritesNothing) {
    const std::vector<std::string> before = Authors();
    groups->form().skupiny->setCurrentItem(&Group(0));
    for (int i = 0; i < Group(0).childCount(); ++i)
        if (Group(0).child(i)->text(0) != "J.R.R. Tolkien") Group(0).child(i)->setCheckState(0, Qt::Unchecked);
    groups->form().ponechat->setCurrentText("J.R.R. Tolkien");  // the one ticked is the kept form itself
    groups->form().sjednotitb->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(
        ui.boxes[0].text.contains(QString::fromUtf8("zaškrtněte aspoň jeden jiný tvar jména než „J.R.R. "
                                                    "Tolkien“")))
        << ui.boxes[0].text.toStdString();
    EXPECT_EQ(Authors(), before);
}

}  // namespace
}  // namespace testsupport
