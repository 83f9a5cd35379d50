// The window "přidat podle ISBN" against a local Open Library server: scanning
// (digits and Enter), refusing a wrong number, duplicates, storing the checked
// rows in one go with the ISBN in udaj1, a declined backup, closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <functional>

#include "app/isbn/catalogue_keys_reader.h"
#include "app/isbn/isbn_capability.h"
#include "app/isbn/isbn_complete_dialog.h"
#include "app/isbn/isbn_window.h"
#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/core/profile_file.h"
#include "app/platform/value_lists.h"
#include "catalogue/template_db.h"
#include "isbn_test_data.h"
#include "isbn_window_open.h"
#include "storage/connection.h"
#include "app/window/main_window.h"
#include "app/window/tree_node.h"
#include "support/app_catalogue_rows.h"
#include "support/app_scripted_ui.h"
#include "support/app_window_fixture.h"
#include "support/sql_rows.h"
#include "support/template_catalogue.h"
#include "support/temp_dir.h"
#include "ui_isbn_window.h"
#include "ui_main_window.h"

namespace {

using namespace isbntest;

using testsupport::SelectRows;

class IsbnWindowTest : public testsupport::TemplateCatalogueTest {
protected:
    void SetUp() override {
        TemplateCatalogueTest::SetUp();
        // Texts in the catalogue's code page. Hrabal's book is on the shelf
        // already (found by author and title), Krakatit by its ISBN-10.
        con.ExecStatements(
            "insert into svazkovna values(7,'Hrabal Bohumil','Ost\xF8"
            "e sledovan\xE9 vlaky','','','','Reg\xE1l A','','',3,'','','','');"
            "insert into svazkovna values(8,'X','Y','rom\xE1n','','','Reg\xE1l B','','',3,'','80-7106-131-X','','')");
        settings = QString::fromStdString(dir.file("svazkovna.ini"));
    }
    IsbnWindow* Open(const std::string& sources) {
        return OpenIsbnWindow(
            con, ui, lists, settings, sources,
            [this](const std::vector<int64_t>&, const std::function<RowsChange()>& write) {
                ++backups;
                if (!allowChange) return false;
                write();
                ++changes;
                return true;
            },
            [this](const QUrl& u) { pages.append(u); });
    }
    void Scan(IsbnWindow* w, const QString& digits) {
        QTest::keyClicks(w->form()->isbnle, digits);
        QTest::keyClick(w->form()->isbnle, Qt::Key_Return);
    }
    void WaitDone(IsbnWindow* w) {
        for (int i = 0; i < 500 && (w->Lookup().Pending() > 0 || w->Checking()); ++i) QTest::qWait(20);
        ASSERT_EQ(w->Lookup().Pending(), 0);
        ASSERT_FALSE(w->Checking());
    }
    QString settings;
    ScriptedUi ui;
    ValueLists lists{con};
    OpenLibraryServer ol;
    int backups = 0;
    int changes = 0;
    bool allowChange = true;
    QList<QUrl> pages;
};

TEST_F(IsbnWindowTest, ScannedNumbersQueuedLookedUpAndStored) {
    MarcServer marc(QString::fromStdString(dir.path().string()));
    IsbnWindow* w = Open("z3950=" + marc.Z3950("Test").toStdString() + ";openlibrary=" + ol.Url().toStdString());
    EXPECT_EQ(w->focusWidget(), w->form()->isbnle);
    // A wrong check digit is refused at once and not queued; the text stays for correcting.
    Scan(w, "0306406153");
    EXPECT_EQ(w->RowCount(), 0);
    EXPECT_EQ(w->form()->poznamkal->text(), QStringLiteral("Kontrolní číslice nesouhlasí."));
    EXPECT_EQ(w->form()->isbnle->text(), QStringLiteral("0306406153"));
    w->form()->isbnle->clear();
    for (const char* typed : {"0306406152", "978-80-7145-222-5", "9788000007779", "807106131x", "9788071453338"})
        Scan(w, QString::fromLatin1(typed));
    EXPECT_TRUE(w->form()->poznamkal->text().isEmpty());
    EXPECT_TRUE(w->form()->isbnle->text().isEmpty());
    ASSERT_EQ(w->RowCount(), 5);
    // The queue takes every number before any answer is in.
    EXPECT_EQ(w->StateText(4), QStringLiteral("hledám"));
    WaitDone(w);
    EXPECT_EQ(w->StateText(0), QStringLiteral("nalezeno"));
    EXPECT_EQ(w->StateText(1), QStringLiteral("nalezeno"));
    EXPECT_EQ(w->StateText(2), QStringLiteral("už v katalogu: stejný autor a titul"));
    EXPECT_EQ(w->StateText(3), QStringLiteral("už v katalogu: stejné ISBN"));
    EXPECT_EQ(w->StateText(4), QStringLiteral("nenalezeno"));
    QTableWidget* t = w->form()->frontatw;
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(t->item(row, IsbnWindow::Isbn)->checkState(), row < 2 ? Qt::Checked : Qt::Unchecked) << row;
    // The batch's place for every row, one row's own place, one title edited before storing.
    w->form()->umistenicb->setEditText(QStringLiteral("Regál C"));
    t->item(1, IsbnWindow::Umisteni)->setText(QStringLiteral("Police 2"));
    t->item(0, IsbnWindow::Titul)->setText(QStringLiteral("Babička"));
    // The found record's page in the browser; a MARC record has none.
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(t->item(1, IsbnWindow::Autor)).center());
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(t->item(0, IsbnWindow::Autor)).center());
    EXPECT_EQ(pages, QList<QUrl>{QUrl(QStringLiteral("https://openlibrary.org/books/OL1M/Saturnin"))});

    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(backups, 1);
    EXPECT_EQ(changes, 1);
    // Windows-1250 bytes, the next ids, the ISBN in udaj1, empty text elsewhere.
    EXPECT_EQ(
        SelectRows(path, "select * from svazkovna where id>8 order by id"),
        (std::vector<std::string>{"9|N\xECmcov\xE1 Bo\x9E"
                                  "ena|Babi\xE8ka||Albatros||Reg\xE1l C|||3||9780306406157|#bib rok=2005|",
                                  "10|Jirotka Zden\xECk|Saturnin rom\xE1n|Humor|Atlantis||Police 2|||3||9788071452225|"
                                  "#bib rok=1998;stran=240;vydani=3.|"}));
    EXPECT_EQ(w->StateText(0), QStringLiteral("uloženo"));
    // Stored rows are not stored twice.
    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna")[0], "4");
    // Scanned again, a stored book is in the catalogue.
    Scan(w, QString::fromLatin1(kOnlyOpenLibrary));
    WaitDone(w);
    EXPECT_EQ(w->StateText(5), QStringLiteral("už v katalogu: stejné ISBN"));
    w->close();
}

// A scanner types into whatever has the focus: after a click on a row the
// digits still make a new row, whether they reach the table or the field,
// ended by Enter or Tab; a cell is edited only on purpose (F2).
TEST_F(IsbnWindowTest, ScanAfterClickingARowIsQueuedNotTypedIntoACell) {
    IsbnWindow* w = Open("openlibrary=" + ol.Url().toStdString());
    Scan(w, QString::fromLatin1(kOnlyOpenLibrary));
    WaitDone(w);
    QTableWidget* t = w->form()->frontatw;
    const QString author = t->item(0, IsbnWindow::Autor)->text();
    ASSERT_FALSE(author.isEmpty());
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(t->item(0, IsbnWindow::Autor)).center());
    EXPECT_EQ(w->focusWidget(), w->form()->isbnle);
    struct Case {
        const char* what;
        bool toTable;
        Qt::Key end;
    };
    const Case cases[] = {
        {"table, Enter", true, Qt::Key_Return}, {"table, Tab", true, Qt::Key_Tab}, {"field, Tab", false, Qt::Key_Tab}};
    int rows = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        t->setCurrentCell(0, IsbnWindow::Autor);
        QWidget* target = c.toTable ? static_cast<QWidget*>(t) : w->form()->isbnle;
        QTest::keyClicks(target, QString::fromLatin1(kNowhere));
        QTest::keyClick(w->focusWidget(), c.end);
        ASSERT_EQ(w->RowCount(), ++rows);
        EXPECT_EQ(t->item(rows - 1, IsbnWindow::Isbn)->text(), QString::fromLatin1(kNowhere));
        EXPECT_EQ(t->item(0, IsbnWindow::Autor)->text(), author);
        EXPECT_TRUE(w->form()->isbnle->text().isEmpty());
        EXPECT_EQ(w->focusWidget(), w->form()->isbnle);
    }
    EXPECT_EQ(t->item(0, IsbnWindow::Isbn)->checkState(), Qt::Checked);
    // F2 still opens the cell for editing.
    t->setFocus();
    t->setCurrentCell(0, IsbnWindow::Titul);
    QTest::keyClick(t, Qt::Key_F2);
    ASSERT_TRUE(qobject_cast<QLineEdit*>(w->focusWidget()));
    EXPECT_TRUE(t->isAncestorOf(w->focusWidget()));
    w->close();
}

// Every row is checked as soon as it is queued, found or not: against the
// rows above it by ISBN-13 (an ISBN-10 scan of the same book included),
// against `udaj1` in whatever form it was stored, and against author+title
// once the user has typed both. Storing checks again against the catalogue
// as it is then.
TEST_F(IsbnWindowTest, EveryRowIsCheckedAgainstTheQueueAndTheCatalogue) {
    con.ExecStatements(
        "insert into svazkovna values(9,'Z','Z','','','','','','',3,'','ISBN 978-80-7145-333-8; bro\x9E.','','')");
    IsbnWindow* w = Open("");
    struct Case {
        const char* scanned;
        const char* state;
    };
    const Case cases[] = {
        {"0306406152", "nenalezeno"},
        {"978-0-306-40615-7", "už ve frontě"},                     // the same book as ISBN-13
        {"0306406152", "už ve frontě"},                            // and scanned twice
        {kKrakatit, "už v katalogu: stejné ISBN"},                 // stored as "80-7106-131-X"
        {"80-7145-333-1", "už v katalogu: stejné ISBN"},           // stored with a prefix and a binding
        {"9788020412348", "už v katalogu: stejný autor a titul"},  // typed by the user
        {"9788070360019", "nenalezeno"},                           // found by another program before storing
    };
    for (const Case& c : cases) Scan(w, QString::fromLatin1(c.scanned));
    WaitDone(w);
    QTableWidget* t = w->form()->frontatw;
    const auto type = [&](int row, const char* autor, const QString& titul) {
        t->item(row, IsbnWindow::Isbn)->setCheckState(Qt::Checked);
        t->item(row, IsbnWindow::Autor)->setText(QString::fromUtf8(autor));
        t->item(row, IsbnWindow::Titul)->setText(titul);
    };
    ASSERT_EQ(w->RowCount(), 7);
    type(5, "Hrabal Bohumil", QStringLiteral("Ostře sledované vlaky"));
    for (int row = 0; row < 7; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(w->StateText(row), QString::fromUtf8(cases[row].state));
        // Told by colour too: red for not found, yellow for already there.
        const QColor colour = t->item(row, IsbnWindow::Stav)->background().color();
        EXPECT_EQ(colour, w->StateText(row) == QStringLiteral("nenalezeno") ? QColor(0xf8, 0xd0, 0xd0)
                                                                            : QColor(0xff, 0xe8, 0xa0));
        EXPECT_EQ(t->item(row, IsbnWindow::Isbn)->checkState(), Qt::Unchecked);
    }
    type(0, "Němcová Božena", QStringLiteral("Babička"));
    type(6, "Národní muzeum", QStringLiteral("Průvodce"));
    con.ExecStatements("insert into svazkovna values(10,'Y','Y','','','','','','',3,'','978-80-7036-001-9','','')");
    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    EXPECT_EQ(SelectRows(path, "select autor, udaj1 from svazkovna where id>10"),
              std::vector<std::string>{"N\xECmcov\xE1 Bo\x9E"
                                       "ena|9780306406157"});
    EXPECT_EQ(w->StateText(6), QStringLiteral("už v katalogu: stejné ISBN"));
    EXPECT_EQ(t->item(6, IsbnWindow::Isbn)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(w->form()->poznamkal->text().startsWith(QStringLiteral("Neuloženo řádků: 1")));
    EXPECT_TRUE(ui.boxes.empty());
    w->close();
}

// Another program holds the catalogue's write lock: scans are taken at once,
// no box opens, duplicates are still found (from what was read before the
// lock), and a read of the catalogue under the lock gives up quickly, saying
// in Czech that it will try again, and succeeds once the lock is gone.
TEST_F(IsbnWindowTest, ScansUnderALockStayQueuedAndAreCheckedLater) {
    IsbnWindow* w = Open("openlibrary=" + ol.Url().toStdString());
    WaitDone(w);
    testsupport::WriteLock lock(path);
    QElapsedTimer clock;
    for (const char* typed : {kOnlyOpenLibrary, "80-7106-131-X", kNowhere, kKrakatit}) {
        clock.restart();
        Scan(w, QString::fromLatin1(typed));
        EXPECT_LT(clock.elapsed(), 500) << typed;
    }
    for (int i = 0; i < 100 && w->Lookup().Pending() > 0; ++i) QTest::qWait(20);
    ASSERT_EQ(w->RowCount(), 4);
    EXPECT_EQ(w->StateText(0), QStringLiteral("nalezeno"));
    EXPECT_EQ(w->StateText(1), QStringLiteral("už v katalogu: stejné ISBN"));
    EXPECT_EQ(w->StateText(2), QStringLiteral("nenalezeno"));
    EXPECT_EQ(w->StateText(3), QStringLiteral("už ve frontě"));
    EXPECT_TRUE(ui.boxes.empty());

    std::vector<CatalogueKeysReader::Outcome> read;
    CatalogueKeysReader reader([&](const CatalogueKeysReader::Outcome& o) { read.push_back(o); });
    clock.restart();
    reader.Read(path);
    for (int i = 0; i < 100 && reader.Reading(); ++i) QTest::qWait(20);
    EXPECT_LT(clock.elapsed(), 1500);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_FALSE(read[0].keys);
    EXPECT_TRUE(read[0].locked);
    EXPECT_EQ(read[0].failure, QStringLiteral("katalog je zamčený, ověřím znovu"));
    lock.Release();
    reader.Read(path);
    for (int i = 0; i < 100 && reader.Reading(); ++i) QTest::qWait(20);
    ASSERT_EQ(read.size(), 2u);
    ASSERT_TRUE(read[1].keys);
    EXPECT_EQ(read[1].keys->isbns, std::set<std::string>{kKrakatit});
    w->close();
}

// An answer arriving after the user stored the row, or typed into it, or
// unticked it, changes none of that.
TEST_F(IsbnWindowTest, ALateAnswerChangesNoStoredRowNorEditedCell) {
    con.ExecStatements("delete from svazkovna where id=8");
    IsbnWindow* w = Open("openlibrary=" + ol.Url("/late/").toStdString());
    Scan(w, QString::fromLatin1(kKrakatit));
    Scan(w, QString::fromLatin1(kOnlyOpenLibrary));
    QTableWidget* t = w->form()->frontatw;
    t->item(0, IsbnWindow::Autor)->setText(QStringLiteral("Čapek Karel"));
    t->item(0, IsbnWindow::Titul)->setText(QStringLiteral("Krakatit"));
    t->item(0, IsbnWindow::Isbn)->setCheckState(Qt::Checked);
    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    ASSERT_EQ(w->StateText(0), QStringLiteral("uloženo"));
    t->item(1, IsbnWindow::Titul)->setText(QStringLiteral("Saturnin"));
    t->item(1, IsbnWindow::Isbn)->setCheckState(Qt::Checked);
    t->item(1, IsbnWindow::Isbn)->setCheckState(Qt::Unchecked);
    WaitDone(w);
    EXPECT_EQ(w->StateText(0), QStringLiteral("uloženo"));
    EXPECT_EQ(t->item(0, IsbnWindow::Titul)->text(), QStringLiteral("Krakatit"));
    EXPECT_EQ(w->StateText(1), QStringLiteral("nalezeno"));
    EXPECT_EQ(t->item(1, IsbnWindow::Titul)->text(), QStringLiteral("Saturnin"));
    EXPECT_EQ(t->item(1, IsbnWindow::Autor)->text(), QStringLiteral("Jirotka Zdeněk"));
    EXPECT_EQ(t->item(1, IsbnWindow::Isbn)->checkState(), Qt::Unchecked);
    EXPECT_EQ(SelectRows(path, "select titul from svazkovna where udaj1<>''"), std::vector<std::string>{"Krakatit"});
    w->close();
}

// The second volume of a work whose first is on the shelf, served in MARC-8
// over Z39.50 as a national library serves it: its own title, not a duplicate.
TEST_F(IsbnWindowTest, AVolumeOfASetIsNoDuplicateOfAnother) {
    con.ExecStatements(
        "insert into svazkovna values(11,'Tolkien J. R. R.','P\xE1n prsten\xF9. D\xEDl 1, Spole\xE8"
        "enstvo Prstenu','','','','','','',3,'','','','');"
        "insert into svazkovna values(12,'Tolkien J. R. R.','P\xE1n prsten\xF9','','','','','','',3,"
        "'','','','')");
    MarcServer marc(QString::fromStdString(dir.path().string()));
    IsbnWindow* w = Open("z3950=" + marc.Z3950("Test").toStdString());
    Scan(w, QString::fromLatin1(kDveVeze));
    WaitDone(w);
    QTableWidget* t = w->form()->frontatw;
    EXPECT_EQ(w->StateText(0), QStringLiteral("nalezeno"));
    EXPECT_EQ(t->item(0, IsbnWindow::Titul)->text(), QStringLiteral("Pán prstenů. Díl 2, Dvě věže"));
    EXPECT_EQ(t->item(0, IsbnWindow::Vydal)->text(), QStringLiteral("Argo"));
    EXPECT_EQ(t->item(0, IsbnWindow::Isbn)->checkState(), Qt::Checked);
    w->close();
}

// Two sources finding one book: what the national library's record lacks is
// taken from Open Library, a difference of case, accents or punctuation is
// none, a real one is marked with the other source's value beside the one
// kept, another title stays to be picked; one source alone works as before.
TEST_F(IsbnWindowTest, TwoSourcesFindingOneBookAreMerged) {
    MarcServer marc(QString::fromStdString(dir.path().string()));
    IsbnWindow* w = Open("z3950=" + marc.Z3950("Test").toStdString() + ";openlibrary=" + ol.Url().toStdString());
    const char* const scanned[] = {kBobriReka, kMloci, kKosik, kDveVeze, "0306406152", kOnlyOpenLibrary};
    for (const char* isbn : scanned) Scan(w, QString::fromLatin1(isbn));
    WaitDone(w);
    QTableWidget* t = w->form()->frontatw;
    const QString both = marc.Z3950("Test").section(u':', 0, 0) + QStringLiteral("/Test + Open Library");
    const struct {
        int row;
        IsbnWindow::Column column;
        QString text;
        QString tip;  // the cell's tooltip; a marked cell is one where the sources disagree
        bool marked;
    } cells[] = {
        {0, IsbnWindow::Zdroj, both, {}, false},
        {0, IsbnWindow::Titul, QStringLiteral("Hoši od Bobří řeky"), {}, false},
        {0, IsbnWindow::Serie, QStringLiteral("Foglarovky"), QStringLiteral("doplněno ze zdroje Open Library"), false},
        {0, IsbnWindow::Zanr, QStringLiteral("Juvenile fiction"), QStringLiteral("doplněno ze zdroje Open Library"),
         false},
        {0, IsbnWindow::Vydal, QStringLiteral("Olympia"), {}, false},
        {1, IsbnWindow::Zdroj, both, {}, false},
        {1, IsbnWindow::Autor, QStringLiteral("Čapek Karel"), {}, false},
        {1, IsbnWindow::Titul, QStringLiteral("Válka s mloky"), {}, false},
        {1, IsbnWindow::Vydal, QStringLiteral("Československý spisovatel"), {}, false},
        {1, IsbnWindow::Rok, QStringLiteral("1981"), {}, false},
        {2, IsbnWindow::Vydal, QStringLiteral("Filosofia"), QStringLiteral("jiný zdroj (Open Library): Academia"),
         true},
        {2, IsbnWindow::Rok, QStringLiteral("2005"), QStringLiteral("jiný zdroj (Open Library): 1966"), true},
        {2,
         IsbnWindow::Titul,
         QStringLiteral("Dialektika konkrétního : studie o problematice člověka a světa"),
         {},
         false},
        {3, IsbnWindow::Titul, QStringLiteral("Pán prstenů. Díl 2, Dvě věže"),
         QStringLiteral("jiný zdroj (Open Library): Dvě věže"), true},
        {3, IsbnWindow::Autor, QStringLiteral("Tolkien J. R. R."), {}, false},
        {4, IsbnWindow::Zdroj, marc.Z3950("Test").section(u':', 0, 0) + QStringLiteral("/Test"), {}, false},
        {4, IsbnWindow::Vydal, QStringLiteral("Albatros"), {}, false},
        {5, IsbnWindow::Zdroj, QStringLiteral("Open Library"), {}, false},
        {5, IsbnWindow::Serie, {}, {}, false},
    };
    for (const auto& c : cells) {
        const QTableWidgetItem* item = t->item(c.row, c.column);
        EXPECT_EQ(item->text(), c.text) << c.row << "/" << c.column;
        EXPECT_EQ(item->toolTip(), c.tip) << c.row << "/" << c.column;
        EXPECT_EQ(item->background().style() != Qt::NoBrush, c.marked) << c.row << "/" << c.column;
    }
    // Another title is a candidate of its own; the rows that agree have one.
    for (int row = 0; row < 6; ++row) {
        auto* choice = qobject_cast<QComboBox*>(t->cellWidget(row, IsbnWindow::Zdroj));
        ASSERT_EQ(choice != nullptr, row == 3) << row;
        if (!choice) continue;
        ASSERT_EQ(choice->count(), 2);
        choice->setCurrentIndex(1);
        EXPECT_EQ(t->item(row, IsbnWindow::Titul)->text(), QStringLiteral("Dvě věže"));
        EXPECT_TRUE(t->item(row, IsbnWindow::Titul)->toolTip().isEmpty());
        choice->setCurrentIndex(0);
    }
    for (int row = 0; row < 6; ++row) EXPECT_EQ(w->StateText(row), QStringLiteral("nalezeno")) << row;
    // Typed over by the user, a marked cell is the user's and no longer marked.
    t->item(3, IsbnWindow::Titul)->setText(QStringLiteral("Dvě věže"));
    EXPECT_TRUE(t->item(3, IsbnWindow::Titul)->toolTip().isEmpty());
    EXPECT_EQ(t->item(3, IsbnWindow::Titul)->background().style(), Qt::NoBrush);

    // Stored: the filled-in series, genre, pages and edition; the first source's publisher and year.
    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(SelectRows(path,
                         "select udaj1, serie, zanr, vydal, udaj2 from svazkovna where udaj1 in "
                         "('9788070331019','9788071854562') order by udaj1"),
              (std::vector<std::string>{"9788070331019|Foglarovky|Juvenile fiction|Olympia|"
                                        "#bib rok=2007;stran=187;vydani=8.",
                                        "9788071854562|||Filosofia|#bib rok=2005;stran=190;vydani=4."}));
    w->close();
}

TEST_F(IsbnWindowTest, DeclinedBackupOrClosingStoresNothing) {
    IsbnWindow* w = Open("openlibrary=" + ol.Url().toStdString());
    Scan(w, QString::fromLatin1(kOnlyOpenLibrary));
    WaitDone(w);
    allowChange = false;
    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    EXPECT_EQ(backups, 1);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(w->StateText(0), QStringLiteral("nalezeno"));
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna")[0], "2");
    w->close();
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna")[0], "2");

    // Closing with look-ups under way cancels them; nothing arrives afterwards.
    QPointer<IsbnWindow> slow = Open("openlibrary=" + ol.Url("/slow/").toStdString());
    Scan(slow, QString::fromLatin1(kKrakatit));
    EXPECT_EQ(slow->Lookup().Pending(), 1);
    slow->close();
    QTest::qWait(50);
    EXPECT_TRUE(slow.isNull());
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna")[0], "2");
}

TEST_F(IsbnWindowTest, LookupSwitchedOffStillTakesTypedBooks) {
    IsbnWindow* w = Open("");
    EXPECT_TRUE(w->form()->zdrojel->text().contains(QStringLiteral("vypnuto")));
    Scan(w, QString::fromLatin1(kNowhere));
    WaitDone(w);
    EXPECT_EQ(w->StateText(0), QStringLiteral("nenalezeno"));
    QTableWidget* t = w->form()->frontatw;
    t->item(0, IsbnWindow::Isbn)->setCheckState(Qt::Checked);
    // Without a title the batch is refused as a whole, with a message.
    t->item(0, IsbnWindow::Autor)->setText(QStringLiteral("Ručně Psaný"));
    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Error);
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna")[0], "2");
    // A character the code page cannot hold becomes "?".
    t->item(0, IsbnWindow::Titul)->setText(QStringLiteral("Kniha ☃"));
    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    EXPECT_EQ(SelectRows(path, "select autor, titul, udaj1 from svazkovna where id=9"),
              std::vector<std::string>{"Ru\xE8"
                                       "n\xEC Psan\xFD|Kniha ?|9788071453338"});
    w->close();
}

}  // namespace

namespace {

class IsbnMenuTest : public testsupport::WindowFixture {};

// The command in the "databáze" menu opens the window on the open catalogue;
// a stored book shows in the tree, and a found record's page in the browser.
TEST_F(IsbnMenuTest, MenuCommandOpensTheWindowAndTheTreeFollows) {
    isbntest::OpenLibraryServer ol;
    MakeCatalogue({});
    TForm1& form = OpenWindow();
    ProfileFile(form.SettingsPath()).WriteString("nastaveni", "zdrojeisbn", "openlibrary=" + ol.Url().toStdString());
    EXPECT_EQ(form.capability<IsbnCapability>().Command().shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
    form.capability<IsbnCapability>().Command().trigger();
    IsbnWindow* w = form.capability<IsbnCapability>().isbnWindow();
    ASSERT_TRUE(w && w->isVisible());
    form.capability<IsbnCapability>().Command().trigger();
    EXPECT_EQ(form.capability<IsbnCapability>().isbnWindow(), w);  // one window, brought to the front
    QTest::keyClicks(w->form()->isbnle, QString::fromLatin1(isbntest::kOnlyOpenLibrary));
    QTest::keyClick(w->form()->isbnle, Qt::Key_Return);
    for (int i = 0; i < 250 && w->Lookup().Pending() > 0; ++i) QTest::qWait(20);
    ASSERT_EQ(w->StateText(0), QStringLiteral("nalezeno"));
    w->form()->frontatw->cellClicked(0, IsbnWindow::Autor);
    EXPECT_EQ(browser->urls, std::vector<QString>{QStringLiteral("https://openlibrary.org/books/OL1M/Saturnin")});
    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    EXPECT_EQ(testsupport::ShownAuthors(Tree()), QStringList{QStringLiteral("Jirotka Zdeněk")});
    w->close();
}

// "doplnit podle ISBN…": the ISBN asked for (udaj1 holds none), the found
// values beside the stored ones, only the ticked ones written, to that row only.
TEST_F(IsbnMenuTest, CompletingAStoredBookWritesOnlyTickedFields) {
    isbntest::OpenLibraryServer ol;
    testsupport::Book mine;
    mine.autor =
        "\xC8"
        "apek Karel";
    mine.titul = "Krakatit";
    mine.zanr = "rom\xE1n";
    testsupport::Book gift = mine;
    gift.titul = "Povidky";
    gift.poznamka = "x";
    MakeCatalogue({mine, gift});
    TForm1& form = OpenWindow();
    ProfileFile(form.SettingsPath()).WriteString("nastaveni", "zdrojeisbn", "openlibrary=" + ol.Url().toStdString());
    auto& isbn = form.capability<IsbnCapability>();
    ui.inputAnswers.push_back(QString::fromLatin1("978-80-7106-131-1"));
    isbn.Complete(TitleRef{1,
                           "\xC8"
                           "apek Karel",
                           "Krakatit"});  // the first row
    IsbnCompleteDialog* d = isbn.completeDialog();
    ASSERT_TRUE(d);
    for (int i = 0; i < 250 && d->Lookup().Pending() > 0; ++i) QTest::qWait(20);
    ASSERT_TRUE(d->Status().startsWith(QStringLiteral("nalezeno"))) << d->Status().toStdString();
    QTableWidget* t = d->Table();
    // Author differs (no accents at the source), title differs, ISBN is new; genre was not found.
    EXPECT_EQ(t->item(2, 0)->data(Qt::CheckStateRole), QVariant());
    t->item(1, 0)->setCheckState(Qt::Checked);
    t->item(5, 0)->setCheckState(Qt::Checked);
    QPointer<IsbnCompleteDialog> guard = d;
    d->SaveButton()->click();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(SelectRows(CataloguePath(), "select autor, titul, zanr, udaj1 from svazkovna order by rowid"),
              (std::vector<std::string>{"\xC8"
                                        "apek Karel|Krakatit (OL)|rom\xE1n|9788071061311",
                                        "\xC8"
                                        "apek Karel|Povidky|rom\xE1n|"}));
    QTest::qWait(20);
    EXPECT_TRUE(guard.isNull());
}

// Another catalogue opened mid-queue: the queue is checked again against it
// and says so, storing goes into it with its own duplicates left out, and a
// "doplnit" dialog opened on a row of the first one is closed.
TEST_F(IsbnMenuTest, SwitchingCataloguesChecksTheQueueAgain) {
    isbntest::OpenLibraryServer ol;
    MakeCatalogue(
        {testsupport::BookOf("\xC8"
                             "apek Karel",
                             "Krakatit")});
    testsupport::ExecSql(CataloguePath(), "update svazkovna set udaj1='80-7106-131-X'");
    // The other catalogue a copy of the first, but for the ISBNs.
    const std::string other = startDir.file("kopie.db");
    std::filesystem::copy_file(CataloguePath(), other);
    testsupport::ExecSql(other,
                         "update svazkovna set udaj1='';"
                         "insert into svazkovna(autor,titul,udaj1) values('Z','Z','978-80-7145-333-8')");
    TForm1& form = OpenWindow();
    ProfileFile(form.SettingsPath()).WriteString("nastaveni", "zdrojeisbn", "openlibrary=" + ol.Url().toStdString());
    auto& isbn = form.capability<IsbnCapability>();
    isbn.Command().trigger();
    IsbnWindow* w = isbn.isbnWindow();
    ASSERT_TRUE(w);
    const auto settle = [&] {
        for (int i = 0; i < 250 && (w->Lookup().Pending() > 0 || w->Checking()); ++i) QTest::qWait(20);
    };
    for (const char* typed : {isbntest::kKrakatit, isbntest::kNowhere}) {
        QTest::keyClicks(w->form()->isbnle, QString::fromLatin1(typed));
        QTest::keyClick(w->form()->isbnle, Qt::Key_Return);
    }
    settle();
    QTableWidget* t = w->form()->frontatw;
    ASSERT_EQ(w->StateText(0), QStringLiteral("už v katalogu: stejné ISBN"));
    ASSERT_EQ(w->StateText(1), QStringLiteral("nenalezeno"));
    t->item(1, IsbnWindow::Autor)->setText(QStringLiteral("Z"));
    t->item(1, IsbnWindow::Titul)->setText(QStringLiteral("Zet"));
    t->item(1, IsbnWindow::Isbn)->setCheckState(Qt::Checked);
    isbn.Complete(TitleRef{1,
                           "\xC8"
                           "apek Karel",
                           "Krakatit"});
    QPointer<IsbnCompleteDialog> dialog = isbn.completeDialog();
    ASSERT_TRUE(dialog);

    Reconnect(other);
    EXPECT_EQ(w->form()->poznamkal->text(), QStringLiteral("Otevřen jiný katalog: fronta se v něm ověřuje znovu."));
    settle();
    QTest::qWait(20);
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(w->form()->poznamkal->text(), QStringLiteral("Fronta je ověřena v nově otevřeném katalogu."));
    EXPECT_EQ(w->StateText(0), QStringLiteral("nalezeno"));
    EXPECT_EQ(t->item(0, IsbnWindow::Isbn)->checkState(), Qt::Checked);
    EXPECT_EQ(w->StateText(1), QStringLiteral("už v katalogu: stejné ISBN"));
    EXPECT_EQ(t->item(1, IsbnWindow::Isbn)->checkState(), Qt::Unchecked);
    w->form()->ulozitb->click();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(SelectRows(other, "select titul, udaj1 from svazkovna order by rowid"),
              (std::vector<std::string>{"Krakatit|", "Z|978-80-7145-333-8", "Krakatit (OL)|9788071061311"}));
    EXPECT_EQ(SelectRows(CataloguePath(), "select count(*) from svazkovna"), std::vector<std::string>{"1"});
    w->close();
}

// The window's drop-downs are the session's lists: after every kind of change
// they offer the catalogue's distinct places and genres (read back with the
// engine's own API), and keep what was typed in them.
TEST_F(IsbnMenuTest, DropDownsFollowEveryChangeOfTheCatalogue) {
    testsupport::Book a = testsupport::BookOf("A", "1");
    a.umisteni = "Reg\xE1l A";
    a.zanr = "rom\xE1n";
    testsupport::Book b = testsupport::BookOf("B", "2");
    b.umisteni = "Reg\xE1l B";
    MakeCatalogue({a, b});
    const std::string other = startDir.file("jiny.db");
    testsupport::Book c = testsupport::BookOf("C", "3");
    c.umisteni = "Sklep";
    c.zanr = "poezie";
    testsupport::CreateCatalogue(other);
    testsupport::InsertBooks(other, {c});
    TForm1& form = OpenWindow();
    form.capability<IsbnCapability>().Command().trigger();
    IsbnWindow* w = form.capability<IsbnCapability>().isbnWindow();
    ASSERT_TRUE(w);
    std::string open = CataloguePath();
    const auto offered = [](const QComboBox* box) {
        QStringList items;
        for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
        return items;
    };
    const auto stored = [&](const std::string& column) {
        QStringList values;
        const std::string sql = "select distinct " + column + " from svazkovna order by " + column;
        for (const std::string& v : SelectRows(open, sql.c_str())) values << (v == "<NULL>" ? "" : FromCodePage(v));
        return values;
    };
    struct Step {
        const char* what;
        std::function<void()> change;
    };
    const Step steps[] = {
        {"opened", [] {}},
        // Nothing changed on either connection: only the switch tells the files apart.
        {"another catalogue",
         [&] {
             Reconnect(other);
             open = other;
         }},
        // Followed in place, without reading the lists anew.
        {"the panel's save",
         [&] {
             testsupport::ClickItem(Tree(), TitleNode(*Tree().topLevelItem(0), 0));
             form.form()->umistenicb->setEditText(QString::fromUtf8("Půda"));
             form.form()->ulozitb->click();
         }},
        {"another program",
         [&] {
             testsupport::ExecSql(open, "insert into svazkovna(autor,titul,zanr) values('D','4','drama')");
             form.tv1update();
         }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        w->form()->umistenicb->setEditText(QStringLiteral("napsáno"));
        step.change();
        EXPECT_EQ(offered(w->form()->umistenicb), stored("umisteni"));
        EXPECT_EQ(offered(w->form()->zanrcb), stored("zanr"));
        EXPECT_EQ(w->form()->umistenicb->currentText(), QStringLiteral("napsáno"));
    }
    EXPECT_TRUE(offered(w->form()->umistenicb).contains(QString::fromUtf8("Půda")));
    EXPECT_TRUE(ui.boxes.empty());
    w->close();
}

}  // namespace
