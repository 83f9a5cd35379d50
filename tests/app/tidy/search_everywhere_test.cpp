// "hledat všude" in the main window: the command above "konec", results while
// typing, the chosen book shown in the tree and the panel by its row key
// (namesakes too), and the index following the change notice.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include "app/core/codepage.h"
#include "app/platform/catalogue_session.h"
#include "app/tidy/search_everywhere_window.h"
#include "storage/connection.h"
#include "support/app_window_fixture.h"
#include "ui_main_window.h"
#include "ui_search_everywhere_window.h"

namespace testsupport {
namespace {

QString Cp(const std::string& bytes) { return FromCodePage(bytes); }

Book With(Book b, std::string note, std::string borrower = {}) {
    b.poznamka = std::move(note);
    b.zapujcenokomu = std::move(borrower);
    return b;
}

class SearchEverywhereTest : public WindowFixture {
protected:
    void SetUp() override {
        // Windows-1250: two copies of one book told apart only by the note and the borrower.
        MakeCatalogue({With(BookOf("Tolkien J.R.R.", "Hobit"), "prvn\xED vyd\xE1n\xED"),
                       BookOf("\xC8\x61pek Karel", "V\xE1lka s mloky"),
                       With(BookOf("Tolkien J.R.R.", "Hobit"), "druh\xFD v\xFDtisk", "\x8A\x9D\x61stn\xFD Petr"),
                       BookOf("Hrabal Bohumil", "Ob\xE1sn\xE9 \x9A\x61lov\xE1n\xED")});
        OpenWindow();
        Command("hledatvsude").trigger();
        search = window->findChild<SearchEverywhereWindow*>();
        ASSERT_NE(search, nullptr);
    }
    void Type(const QString& text) {
        search->form().hledej->setText(text);
        QCoreApplication::processEvents();
    }
    QStringList Results() const {
        QStringList shown;
        QTreeWidget& list = *search->form().vysledky;
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            const QTreeWidgetItem& item = *list.topLevelItem(i);
            shown << item.text(0) + "/" + item.text(1) + " [" + item.text(2) + "]";
        }
        return shown;
    }
    SearchEverywhereWindow* search = nullptr;
};

TEST_F(SearchEverywhereTest, StandsLastAboveKonecWithItsShortcut) {
    const QList<QAction*> actions = window->form()->databazem->actions();
    const qsizetype konec = actions.indexOf(window->form()->konec);
    ASSERT_GT(konec, 0);
    EXPECT_EQ(actions[konec - 1]->objectName(), "hledatvsude");
    EXPECT_EQ(Command("hledatvsude").shortcut(), QKeySequence("Ctrl+Shift+F"));
}

TEST_F(SearchEverywhereTest, ListsWhileTypingAndShowsTheChosenNamesake) {
    Type("capek VALKA");
    EXPECT_EQ(Results(), QStringList({Cp("\xC8\x61pek Karel/V\xE1lka s mloky [autor, titul]")}));
    EXPECT_EQ(search->form().nalezenol->text(), "nalezeno: 1");

    struct Case {
        const char* typed;
        const char* note;      // the panel's note once the result is chosen
        const char* borrower;  // and its borrower
    };
    const Case cases[] = {
        {"stastny", "druh\xFD v\xFDtisk", "\x8A\x9D\x61stn\xFD Petr"},
        {"prvni vydani hobit", "prvn\xED vyd\xE1n\xED", ""},
        {"vytisk tolkien", "druh\xFD v\xFDtisk", "\x8A\x9D\x61stn\xFD Petr"},
    };
    for (const Case& c : cases) {
        Type(QString::fromUtf8(c.typed));
        ASSERT_EQ(Results().size(), 1) << c.typed;
        QTest::keyClick(search->form().hledej, Qt::Key_Return);
        EXPECT_EQ(SelectedPath(Tree()), "Tolkien J.R.R./Hobit") << c.typed;
        EXPECT_EQ(window->form()->poznamkale->text(), Cp(c.note)) << c.typed;
        EXPECT_EQ(window->form()->zapujcenokomucb->currentText(), Cp(c.borrower)) << c.typed;
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SearchEverywhereTest, FollowsTheChangeNoticeAndAnotherCatalogue) {
    Type("salovani");
    ASSERT_EQ(Results().size(), 1);
    CatalogueSession& session = window->session();
    // The program's own change of row 4: the list follows without reading the catalogue again.
    const bool done = session.Change({4}, [&] {
        session.Connection().ExecStatements("update svazkovna set poznamka='jen sn\xED\x64\x61n\xED' where rowid=4");
        RowsChange change;
        change.rows = {4};
        change.changed = 1;
        change.treeShape = false;
        return change;
    });
    ASSERT_TRUE(done);
    QCoreApplication::processEvents();
    EXPECT_EQ(Results(), QStringList({Cp("Hrabal Bohumil/Ob\xE1sn\xE9 \x9A\x61lov\xE1n\xED [titul]")}));
    Type("snidani");
    EXPECT_EQ(Results(),
              QStringList({Cp("Hrabal Bohumil/Ob\xE1sn\xE9 \x9A\x61lov\xE1n\xED") + QString::fromUtf8(" [poznámka]")}));

    session.Change({2}, [&] {
        session.Connection().ExecStatements("delete from svazkovna where rowid=2");
        RowsChange change;
        change.rows = {2};
        change.changed = 1;
        change.deleted = true;
        return change;
    });
    Type("capek");
    EXPECT_TRUE(Results().isEmpty());

    // Another program's rows, read when the tree is rebuilt.
    ExecSql(CataloguePath(), "insert into svazkovna(id,autor,titul) values(9,'Dyk Viktor','Krysa\xF8')");
    window->tv1update();
    QCoreApplication::processEvents();
    Type("krysar");
    EXPECT_EQ(Results(), QStringList({Cp("Dyk Viktor/Krysa\xF8 [titul]")}));
    EXPECT_EQ(search->Index().Rows(), 4u);
}

}  // namespace
}  // namespace testsupport
