// The record panel: what a click in the tree looks up and shows, and what a
// save or a delete leaves in the catalogue (read back with the system's SQLite).
#include <QComboBox>
#include <algorithm>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <sqlite3.h>

#include "app/window/tree_node.h"
#include "app/core/codepage.h"
#include "app/window/edit_dialog.h"
#include "app/window/spin_edit.h"
#include "support/app_window_fixture.h"
#include "support/sql_rows.h"
#include "ui_edit_dialog.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

const QString kNoRecord = QString::fromUtf8("Není zobrazen žádný záznam: nejprve klepněte na titul ve stromu.");

Book B(std::optional<std::string> autor, std::optional<std::string> titul, std::string poznamka = {},
       int hodnoceni = 3) {
    Book b;
    b.autor = std::move(autor);
    b.titul = std::move(titul);
    b.poznamka = std::move(poznamka);
    b.hodnoceni = hodnoceni;
    return b;
}

class PanelTest : public WindowFixture {
protected:
    void Open(const std::vector<Book>& books) {
        MakeCatalogue(books);
        OpenWindow();
    }
    Ui::TForm1& F() const { return *window->form(); }
    std::vector<std::vector<std::string>> All() const {
        return SelectTexts(CataloguePath(), "select * from svazkovna order by rowid");
    }
    std::string One(const std::string& sql) const {
        const auto rows = SelectTexts(CataloguePath(), sql);
        return rows.empty() ? "<no row>" : rows[0][0];
    }
    QTreeWidgetItem* AuthorNode(const QString& author) const {
        const auto found = Tree().findItems(author, Qt::MatchExactly);
        if (found.isEmpty()) throw std::runtime_error("no author node");
        return found.first();
    }
    // The `nth` child of `author` labelled `title`.
    QTreeWidgetItem* TitleNode(const QString& author, const QString& title, int nth = 0) const {
        QTreeWidgetItem* a = AuthorNode(author);
        for (int i = 0; i < AsTreeNode(*a).TitleCount(); ++i)
            if (::TitleNode(*a, i)->text(0) == title && nth-- == 0) return ::TitleNode(*a, i);
        throw std::runtime_error("no title node");
    }
    void ClickTitle(const QString& author, const QString& title, int nth = 0) {
        ClickItem(Tree(), TitleNode(author, title, nth));
    }
    void Save() { F().ulozitb->click(); }
    void Delete() { F().smazatb->click(); }
    QStringList Items(const QComboBox* box) const {
        QStringList items;
        for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
        return items;
    }
    QStringList BoxTexts() const {
        QStringList texts;
        for (const auto& b : ui.boxes) texts << b.text;
        return texts;
    }
};

TEST_F(PanelTest, WebLookupUsesPrefixAndNodeTextOnEveryClick) {
    Open({B("Tolkien", "P\xE1n prsten\xF9", "pozn")});
    const QString title = QString::fromUtf8("Pán prstenů");

    // No prefix: an author click does nothing at all.
    ClickItem(Tree(), AuthorNode("Tolkien"));
    EXPECT_TRUE(browser->urls.empty());
    EXPECT_EQ(F().autorcb->currentText(), "");

    F().wb1skriptle->setText("http://hledej/?q=");
    ClickTitle("Tolkien", title);
    F().poznamkale->setText("upraveno");
    ClickItem(Tree(), AuthorNode("Tolkien"));
    EXPECT_EQ(F().poznamkale->text(), "upraveno") << "an author click keeps the panel";
    F().wb1skriptle->setText(" ");  // blanks are a prefix, read anew each click
    ClickTitle("Tolkien", title);
    EXPECT_EQ(F().poznamkale->text(), "pozn") << "clicking the title again reloads it";

    // Neither a keyboard move nor another mouse button counts as a click.
    Tree().setFocus();
    QTest::keyClick(&Tree(), Qt::Key_Up);
    QTest::mouseClick(Tree().viewport(), Qt::RightButton, {}, Tree().visualItemRect(AuthorNode("Tolkien")).center());

    const std::vector<QString> expected = {"http://hledej/?q=" + title, "http://hledej/?q=Tolkien", " " + title};
    EXPECT_EQ(browser->urls, expected);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(PanelTest, FailedNavigationLeavesPanelAsItWas) {
    Open({B("A", "T", "pozn")});
    F().wb1skriptle->setText("http://x/");
    browser->failure = "navigation refused";
    ClickTitle("A", "T");
    ASSERT_EQ(ui.boxes.size(), 1u);
    // The browser's own (English) words go behind "Podrobnosti".
    EXPECT_EQ(ui.boxes[0].text, QString::fromUtf8("Operaci se nepodařilo dokončit."));
    EXPECT_TRUE(ui.boxes[0].details.startsWith("navigation refused"));
    EXPECT_EQ(F().titulle->text(), "");
}

TEST_F(PanelTest, RatingsAreBroughtIntoRangeAndSavedAsShown) {
    Open({B("A", "nula", {}, 0), B("A", "null"), B("A", "devet", {}, 9), B("A", "tri", {}, 3)});
    ExecSql(CataloguePath(), "update svazkovna set hodnoceni=NULL where titul='null'");
    const struct {
        const char* title;
        int shown;
    } cases[] = {{"nula", 1}, {"null", 1}, {"devet", 5}, {"tri", 3}};
    for (const auto& c : cases) {
        ClickTitle("A", c.title);
        EXPECT_EQ(F().hodnocenispin->Value(), c.shown) << c.title;
        Save();
        EXPECT_EQ(One(std::string("select hodnoceni from svazkovna where titul='") + c.title + "'"),
                  std::to_string(c.shown))
            << c.title;
    }
}

TEST_F(PanelTest, SaveStoresTextsExactlyAndMovesTheTitle) {
    Open({B("Stary", "Kniha"), B("Jiny", "Druha")});
    const struct {
        QString typed;
        std::string stored;
    } cases[] = {
        {"Rock 'n' roll", "Rock 'n' roll"},
        {"Cas :jmeno", "Cas :jmeno"},
        {"\"uvozovky\"", "\"uvozovky\""},
        {"Proc?", "Proc?"},
        {QString::fromUtf8("Žluťoučký kůň"), "\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2"},
    };
    QString author = "Stary", title = "Kniha";
    for (const auto& c : cases) {
        ClickTitle(author, title);
        F().titulle->setText(c.typed);
        F().autorcb->setEditText("Novy");
        Save();
        EXPECT_EQ(One("select titul from svazkovna where id=1"), c.stored);
        author = "Novy";
        title = c.typed;
    }
    EXPECT_EQ(One("select autor from svazkovna where id=1"), "Novy");
    EXPECT_EQ(ShownAuthors(Tree()), QStringList({"Jiny", "Novy"})) << "the old author goes when empty";
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(PanelTest, SaveWithEmptyAuthorOrTitleDoesNothing) {
    Open({B("A", "T")});
    const auto before = All();
    ClickTitle("A", "T");
    const auto shown = ShownTree(Tree());
    F().titulle->setText("");
    Save();
    F().titulle->setText("T2");
    F().autorcb->setEditText("");
    Save();
    EXPECT_EQ(All(), before);
    EXPECT_EQ(ShownTree(Tree()), shown);
    EXPECT_EQ(SelectedPath(Tree()), "A/T") << "a rebuild would have dropped the selection";
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(PanelTest, ValueListsHoldDistinctValuesOfWholeCatalogue) {
    Book a = B("a", "1"), b = B("Z", "2"),
         c =
             B("\xC8"
               "ap",
               "3"),
         d = B("a", "4");
    a.zanr = "sci-fi";
    b.zanr = "";
    c.zanr = "Drama";
    d.zanr = "sci-fi";
    a.vydal = "Odeon";
    Open({a, b, c, d});
    ExecSql(CataloguePath(), "update svazkovna set zanr=NULL, umisteni=NULL where titul='4'");

    ClickTitle("Z", "2");
    EXPECT_EQ(Items(F().autorcb), QStringList({"Z", "a", QString::fromUtf8("Čap")}));
    EXPECT_EQ(Items(F().zanrcb), QStringList({"", "", "Drama", "sci-fi"}));
    EXPECT_EQ(Items(F().umistenicb), QStringList({"", ""}));
    EXPECT_EQ(Items(F().vydalcb), QStringList({"", "Odeon"}));
    EXPECT_EQ(F().autorcb->currentText(), "Z") << "the drop-down keeps showing the record";
    EXPECT_EQ(F().zanrcb->currentText(), "");

    // A genre typed outside the list is saved but listed only after the next click.
    F().zanrcb->setEditText("Poezie");
    Save();
    EXPECT_EQ(One("select zanr from svazkovna where titul='2'"), "Poezie");
    EXPECT_FALSE(Items(F().zanrcb).contains("Poezie"));
    ClickTitle("a", "1");
    EXPECT_TRUE(Items(F().zanrcb).contains("Poezie"));
    EXPECT_EQ(F().zanrcb->currentText(), "sci-fi");
}

TEST_F(PanelTest, DeleteRemovesShownRowAndEmptiesPanel) {
    Book big = B("A", "T1");
    big.id = 100000;
    Open({big, B("A", "T2"), B("B", "T3")});

    ClickTitle("A", "T1");
    EXPECT_EQ(F().idspin->Value(), 100000);
    F().poznamkale->setText("x");
    Save();
    EXPECT_EQ(One("select poznamka from svazkovna where id=100000"), "x");

    ClickTitle("A", "T1");
    F().hodnocenispin->SetValue(5);
    Delete();
    EXPECT_EQ(One("select count(*) from svazkovna where id=100000"), "0");
    EXPECT_EQ(One("select count(*) from svazkovna"), "2");
    EXPECT_EQ(F().autorcb->currentText(), "");
    EXPECT_EQ(F().titulle->text(), "");
    EXPECT_EQ(F().autorcb->count(), 0);
    EXPECT_EQ(F().hodnocenispin->Value(), 3);

    // An empty title deletes nothing, yet the panel empties and the tree is rebuilt.
    ClickTitle("A", "T2");
    F().titulle->setText("");
    ExecSql(CataloguePath(), "insert into svazkovna(id,autor,titul) values(7,'C','Venku')");
    Delete();
    EXPECT_EQ(One("select count(*) from svazkovna"), "3");
    EXPECT_EQ(F().autorcb->currentText(), "");
    EXPECT_EQ(ShownAuthors(Tree()), QStringList({"A", "B", "C"}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(PanelTest, SameAuthorAndTitleNodesOpenTheirOwnRecords) {
    Open({B("A", "Dvojce", "prvni"), B("A", "Jina", "jina"), B("A", "Dvojce", "druha"), B("A", "Dvojce", "treti")});
    const char* notes[] = {"prvni", "druha", "treti"};
    for (int nth = 2; nth >= 0; --nth) {
        ClickTitle("A", "Dvojce", nth);
        EXPECT_EQ(F().poznamkale->text(), notes[nth]) << nth;
    }
    F().poznamkale->setText("zmena");
    Save();
    EXPECT_EQ(One("select group_concat(poznamka) from svazkovna where titul='Dvojce'"), "zmena,druha,treti");
}

TEST_F(PanelTest, LongTextsSurviveUntouchedAndEditedOnesAreSavedAsTyped) {
    const std::string note = std::string(250, 'n') + std::string(50, 'k');
    Open({B("A", "Prvni", note), B("A", "Druhy", note)});

    ClickTitle("A", "Druhy");
    EXPECT_EQ(F().poznamkale->text().size(), 255);
    F().zanrcb->setEditText("drama");
    Save();
    EXPECT_EQ(One("select poznamka from svazkovna where id=2"), note) << "untouched: kept whole";
    EXPECT_EQ(One("select zanr from svazkovna where id=2"), "drama");

    F().poznamkale->setText("kratka");
    Save();
    EXPECT_EQ(One("select poznamka from svazkovna where id=2"), "kratka");
    // Typing the old cut text back after saving another is an edit like any other.
    F().poznamkale->setText(QString(255, 'n').left(250) + QString(5, 'k'));
    Save();
    EXPECT_EQ(One("select poznamka from svazkovna where id=2"), note.substr(0, 255));
}

TEST_F(PanelTest, WithoutShownRecordSaveAndDeleteChangeNothing) {
    Open({B("A", "T"), B("B", "U")});
    const auto before = All();
    const struct {
        const char* name;
        std::function<void()> prepare;
    } cases[] = {
        {"at start", [] {}},
        {"after a delete emptied the panel",
         [this] {
             ClickTitle("A", "T");
             F().titulle->setText("");
             Delete();
         }},
        {"after a title whose row has gone",
         [this] {
             ExecSql(CataloguePath(), "update svazkovna set titul='jinak' where autor='B'");
             ClickTitle("B", "U");
             ExecSql(CataloguePath(), "update svazkovna set titul='U' where autor='B'");
         }},
    };
    for (const auto& c : cases) {
        ui.boxes.clear();
        c.prepare();
        F().autorcb->setEditText("A");
        F().titulle->setText("Prepsano");
        Save();
        F().autorcb->setEditText("A");
        F().titulle->setText("Prepsano");
        Delete();
        EXPECT_EQ(All(), before) << c.name;
        EXPECT_EQ(BoxTexts(), QStringList({kNoRecord, kNoRecord})) << c.name;
        EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Information);
        EXPECT_EQ(F().titulle->text(), "") << "the delete still empties the panel: " << c.name;
    }
}

TEST_F(PanelTest, UnencodableTextIsRefusedBeforeAnyStatement) {
    Open({B("A", "T")});
    const auto before = All();
    ClickTitle("A", "T");
    F().titulle->setText(QString::fromUtf8("Kniha 📚"));
    F().poznamkale->setText("nova");
    Save();
    EXPECT_EQ(All(), before);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Error);
    EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("📚"))) << ui.boxes[0].text.toStdString();
    EXPECT_EQ(F().titulle->text(), QString::fromUtf8("Kniha 📚"));
}

TEST_F(PanelTest, LockedCatalogueFailsSaveWithEngineMessageAndKeepsTexts) {
    Open({B("A", "T", "stara")});
    window->con1.BusyTimeout = std::chrono::milliseconds(50);
    ClickTitle("A", "T");
    F().poznamkale->setText("nova");

    sqlite3* other = nullptr;
    sqlite3_open(CataloguePath().c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Save();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, QString::fromUtf8("Katalog právě používá jiný program. Zkuste to znovu za chvíli."));
    EXPECT_EQ(ui.boxes[0].details, "database is locked");
    EXPECT_EQ(F().poznamkale->text(), "nova");
    EXPECT_EQ(One("select poznamka from svazkovna"), "stara");
    Save();
    EXPECT_EQ(One("select poznamka from svazkovna"), "nova");
}

// Rows written by other tools: ids shared, NULL, 0 or beyond 32 bits. A save
// and a delete change the row shown and no other; where the id picks the row
// alone, the statements stay keyed by it. The saved note is longer than an
// edit field takes by default and is stored whole.
TEST_F(PanelTest, SaveAndDeleteReachOnlyTheShownRowWhateverItsId) {
    MakeCatalogue({});
    const struct {
        const char* author;
        const char* shownId;
        const char* otherId;
    } cases[] = {{"jedinecne", "7", "8"},
                 {"dvojite", "5", "5"},
                 {"null", "NULL", "NULL"},
                 {"nula", "0", "0"},
                 {"velke", "3000000000", "0"}};
    for (const auto& c : cases)
        ExecSql(CataloguePath(), std::string("insert into svazkovna(id,autor,titul,poznamka) values(") + c.shownId +
                                     ",'" + c.author + "','T','shown')," + "(" + c.otherId + ",'" + c.author +
                                     "','T','other')");
    OpenWindow();
    const QString note(40000, u'p');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.author);
        auto expected = All();
        const auto row =
            std::find_if(expected.begin(), expected.end(), [&](const auto& r) { return r[1] == c.author; });
        ASSERT_NE(row, expected.end()) << "the shown row itself was lost";
        const size_t shown = static_cast<size_t>(row - expected.begin());

        ClickTitle(c.author, "T");
        ASSERT_EQ(F().poznamkale->text(), "shown");
        F().poznamkale->setText(note);
        Save();
        auto after = All();
        EXPECT_EQ(after[shown][10], note.toStdString());
        EXPECT_EQ(after[shown][0], expected[shown][0]) << "a save keeps the id";
        after[shown] = expected[shown];
        EXPECT_EQ(after, expected) << "every other row as it was";
        expected = All();
        if (std::string(c.shownId) == "7") {
            const std::string update = window->query1.SQL()[0];
            EXPECT_EQ(update.substr(update.find(" where "), 20), " where (id=7) and qu")
                << "keyed by the id, and written only while the row holds what was shown";
        }

        ClickTitle(c.author, "T");
        Delete();
        expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(shown));
        EXPECT_EQ(All(), expected);
        if (std::string(c.shownId) == "7") {
            EXPECT_EQ(window->query1.SQL()[0].substr(0, 40), "delete from svazkovna where (id=7) and q");
        }
    }
    EXPECT_TRUE(ui.boxes.empty());
}

// A change that failed stays failed: storing a new book afterwards must not
// run it again.
TEST_F(PanelTest, AFailedChangeLeavesTheTreeAndIsNotRunAgainByTheNewRecordDialog) {
    Open({B("A", "T", "stara"), B("B", "U")});
    window->con1.BusyTimeout = std::chrono::milliseconds(50);
    for (const char* change : {"save", "delete"}) {
        SCOPED_TRACE(change);
        ClickTitle("A", "T");
        F().poznamkale->setText("nova");
        {
            // Another program about to write: reading goes on, the change itself is refused.
            sqlite3* other = nullptr;
            sqlite3_open(CataloguePath().c_str(), &other);
            ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
            std::string(change) == "save" ? Save() : Delete();
            sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(other);
        }
        ASSERT_EQ(BoxTexts(),
                  QStringList{QString::fromUtf8("Katalog právě používá jiný program. Zkuste to znovu za chvíli.")});
        // The failed change leaves the tree as it was: the title still selected, its author open.
        QTreeWidgetItem* selected = Tree().selectedItems().value(0);
        EXPECT_EQ(selected, TitleNode("A", "T"));
        EXPECT_TRUE(AuthorNode("A")->isExpanded());
        ui.boxes.clear();
        const auto before = All();
        ui.QueueDialog([](QDialog& d) {
            Ui::Teditf& e = *static_cast<Teditf&>(d).form();
            e.autorcb->setEditText("Novy");
            e.titulle->setText(QString("kniha po ") + "chybe");
            e.ulozitb->click();
        });
        F().novyzaznam->trigger();
        EXPECT_TRUE(ui.boxes.empty());
        const auto after = All();
        ASSERT_EQ(after.size(), before.size() + 1);
        EXPECT_EQ(std::vector(after.begin(), after.end() - 1), before);
        ExecSql(CataloguePath(), "delete from svazkovna where autor='Novy'");
    }
}

}  // namespace
}  // namespace testsupport
