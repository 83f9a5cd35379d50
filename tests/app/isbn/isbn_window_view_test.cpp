// The ISBN window as a person at a 1280×1024 screen, at the keyboard or with a
// screen reader meets it: a shelf's records shown whole, the choice among
// found records reached and made by keys, everything named in Czech.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QListView>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QTest>

#include "app/isbn/isbn_window.h"
#include "app/platform/value_lists.h"
#include "isbn_window_open.h"
#include "support/app_catalogue_rows.h"
#include "support/app_scripted_ui.h"
#include "support/app_window_fixture.h"
#include "support/template_catalogue.h"
#include "ui_isbn_window.h"

namespace {

using namespace isbntest;

FoundRecord Record(const char* autor, const char* titul, const char* vydal, const char* rok, const char* serie,
                   const char* source) {
    FoundRecord r;
    r.autor = QString::fromUtf8(autor);
    r.titul = QString::fromUtf8(titul);
    r.vydal = QString::fromUtf8(vydal);
    r.rok = QString::fromUtf8(rok);
    r.serie = QString::fromUtf8(serie);
    r.source = QString::fromUtf8(source);
    return r;
}

class IsbnWindowViewTest : public testsupport::TemplateCatalogueTest {
protected:
    void SetUp() override {
        TemplateCatalogueTest::SetUp();
        // On the shelf already: the same author and title as one scanned below.
        con.ExecStatements(
            "insert into svazkovna values(1,'Kundera Milan','Nesnesiteln\xE1 lehkost byt\xED','','','','Reg\xE1l A',"
            "'','',3,'','','','')");
    }
    void TearDown() override { delete w.data(); }
    void Open() {
        w = OpenIsbnWindow(con, ui, lists, QString::fromStdString(dir.file("svazkovna.ini")), "",
                           [](const std::vector<int64_t>&, const std::function<RowsChange()>& write) {
                               write();
                               return true;
                           });
    }
    // Queues `isbn` as a scanner types it and hands the window what a source found.
    void ScanFound(const char* isbn, std::vector<FoundRecord> found) {
        QTest::keyClicks(w->form()->isbnle, QString::fromLatin1(isbn));
        QTest::keyClick(w->form()->isbnle, Qt::Key_Return);
        const int ticket = w->RowCount();  // the look-up numbers its tickets from 1
        w->Lookup().Cancel(ticket);
        const auto state = found.empty() ? LookupResult::State::NotFound : LookupResult::State::Found;
        emit w->Lookup().Finished(ticket, LookupResult{state, std::move(found), {}, {}});
    }
    ScriptedUi ui;
    ValueLists lists{con};
    QPointer<IsbnWindow> w;
};

// Records as the national library's catalogue gives them for a real shelf
// (long titles, a volume of a set, a corporate author, series with numbers),
// places and genres typed by the user: at a 1280×1024 screen every column is
// in view, no row wraps and no title or place is cut short.
TEST_F(IsbnWindowViewTest, AShelfFitsA1280By1024ScreenWithTitlesWhole) {
    Open();
    w->FitTo(QRect(0, 0, 1280, 1024));
    EXPECT_GE(w->width(), 1200);
    EXPECT_LE(w->width(), 1280);
    EXPECT_LE(w->height(), 1024);
    struct Book {
        const char *isbn, *autor, *titul, *vydal, *serie, *umisteni, *zanr;
    };
    const Book shelf[] = {
        {"9788020401519", "Hašek Jaroslav", "Osudy dobrého vojáka Švejka za světové války", "Československý spisovatel",
         "Klub čtenářů 512", "Obývák, police 3", "humoristický román"},
        {"9788071061311", "Čornej Petr", "Velké dějiny zemí Koruny české. Svazek V, 1402-1437", "Paseka", "",
         "Pracovna B2", "dějiny"},
        {"9788025700587", "Lustig Arnošt", "Modlitba pro Kateřinu Horovitzovou", "Nakladatelství Lidové noviny",
         "Spisy Arnošta Lustiga 12", "Obývák, police 3", "česká próza"},
        {"9788071859574", "Národní muzeum. Knihovna", "Výroční zpráva 2019", "Národní muzeum", "", "Sklep – krabice 4",
         "výroční zprávy"},
        {"9788020404237", "Kundera Milan", "Nesnesitelná lehkost bytí", "Atlantis", "Dílo Milana Kundery 7", "Ložnice",
         "román"},
        {"9788072036516", "Seifertová Lucie", "Dějiny udatného českého národa a pár bezvýznamných světových událostí",
         "Petr Prchal", "", "Dětský pokoj", "pro děti"},
    };
    QTableWidget* t = w->form()->frontatw;
    for (const Book& b : shelf) {
        ScanFound(b.isbn, {Record(b.autor, b.titul, b.vydal, "2003", b.serie, "aleph.nkp.cz")});
        t->item(w->RowCount() - 1, IsbnWindow::Umisteni)->setText(QString::fromUtf8(b.umisteni));
        t->item(w->RowCount() - 1, IsbnWindow::Zanr)->setText(QString::fromUtf8(b.zanr));
    }
    ScanFound(shelf[5].isbn, {});  // scanned twice
    for (int i = 0; i < 100 && w->Checking(); ++i) QTest::qWait(20);
    QTest::qWait(50);
    ASSERT_EQ(w->RowCount(), 7);
    EXPECT_EQ(w->StateText(4), QStringLiteral("už v katalogu: stejný autor a titul"));
    EXPECT_EQ(w->StateText(6), QStringLiteral("už ve frontě"));

    QHeaderView* h = t->horizontalHeader();
    const int room = t->viewport()->width();
    EXPECT_EQ(t->horizontalScrollBar()->maximum(), 0);
    // The cell's text area: the cell less the grid line and the delegate's margins.
    const int margins = 2 * (t->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, t) + 1) + 1;
    for (int row = 0; row < w->RowCount(); ++row) {
        EXPECT_LT(t->rowHeight(row), 2 * t->fontMetrics().height()) << "row " << row << " holds one line";
        for (const int column : {IsbnWindow::Titul, IsbnWindow::Umisteni, IsbnWindow::Zanr, IsbnWindow::Rok}) {
            const QString text = t->item(row, column)->text();
            EXPECT_LE(t->fontMetrics().horizontalAdvance(text) + margins, h->sectionSize(column))
                << "row " << row << ": " << text.toStdString();
        }
    }
    for (int column = 0; column < IsbnWindow::ColumnCount; ++column) {
        EXPECT_LE(h->sectionViewportPosition(column) + h->sectionSize(column), room) << "column " << column;
        EXPECT_GE(h->sectionSize(column), h->sectionSizeHint(column)) << "column " << column << "'s heading";
    }

    // A smaller screen: the window still fits it.
    w->FitTo(QRect(0, 0, 1024, 768));
    EXPECT_LE(w->width(), 1024);
    EXPECT_LE(w->height(), 768);
}

// Two records found for one book, one for another: Tab from the scan field
// reaches the queue and then the list of found records, which shows the
// records of the row with a choice; arrows and Enter pick one for that row and
// give the scan field back the focus; the label's key (Alt+L) reaches the
// list again. A screen reader hears every control and record named in Czech.
TEST_F(IsbnWindowViewTest, TheFoundRecordsArePickedByKeysAndNamedForAScreenReader) {
    Open();
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    ScanFound("9788071061311", {Record("Čapek Karel", "Krakatit", "Československý spisovatel", "1982",
                                       "Spisy Karla Čapka 9", "aleph.nkp.cz")});
    ScanFound("9788073605124",
              {Record("Erben Karel Jaromír", "Kytice z pověstí národních", "Albatros", "1988", "", "aleph.nkp.cz"),
               Record("Erben Karel Jaromír", "Kytice", "Fragment", "2005", "", "aleph.nkp.cz")});
    QTest::qWait(20);
    QTableWidget* t = w->form()->frontatw;
    QListView* list = w->form()->zaznamylv;

    w->form()->isbnle->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), t);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), list);
    EXPECT_EQ(t->currentRow(), 1);
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(list->currentIndex().row(), 0);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(t->item(1, IsbnWindow::Titul)->text(), QStringLiteral("Kytice z pověstí národních"))
        << "moving in the list picks nothing yet";
    // Scanning goes on meanwhile: another row's answer leaves the place in the list as it is.
    ScanFound("9788025700587", {Record("Lustig Arnošt", "Modlitba pro Kateřinu Horovitzovou",
                                       "Nakladatelství Lidové noviny", "2009", "", "aleph.nkp.cz")});
    QTest::qWait(0);
    EXPECT_EQ(list->currentIndex().row(), 1);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(t->item(1, IsbnWindow::Titul)->text(), QStringLiteral("Kytice"));
    EXPECT_EQ(QApplication::focusWidget(), w->form()->isbnle);

    // From the first row, which has no choice, the label's key goes to the row that has one.
    t->setCurrentCell(0, IsbnWindow::Autor);
    w->form()->isbnle->setFocus();
    QTest::keyClick(w, Qt::Key_L, Qt::AltModifier);
    ASSERT_EQ(QApplication::focusWidget(), list);
    EXPECT_EQ(t->currentRow(), 1);
    EXPECT_EQ(list->currentIndex().row(), 1) << "the record picked before";
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Enter);
    EXPECT_EQ(t->item(1, IsbnWindow::Titul)->text(), QStringLiteral("Kytice z pověstí národních"));

    QTest::qWait(0);  // the list's description follows the row's new title
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(list);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("nalezené záznamy"));
    EXPECT_EQ(
        a->text(QAccessible::Description).toStdString(),
        "Záznamy nalezené pro ISBN 9788073605124, Kytice z pověstí národních: šipkami vyberte, Enterem použijte.");
    ASSERT_GE(a->childCount(), 2);
    EXPECT_EQ(a->child(a->childCount() - 1)->text(QAccessible::Description).toStdString(),
              "autor Erben Karel Jaromír, titul Kytice, vydal Fragment, rok 2005, zdroj aleph.nkp.cz");
    auto* cell = qobject_cast<QComboBox*>(t->cellWidget(1, IsbnWindow::Zdroj));
    ASSERT_TRUE(cell);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(cell)->text(QAccessible::Description).toStdString(),
              "Záznamy nalezené pro ISBN 9788073605124; klávesami je vyberete v seznamu pod frontou (Alt+L).");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(t)->text(QAccessible::Name), QStringLiteral("fronta ISBN"));
    EXPECT_TRUE(ui.boxes.empty());
}

// Another program holds the catalogue (an exclusive transaction) when a change
// notice comes: the window answers at once, keeps the drop-downs it had and
// no box opens; once the lock is gone the lists hold the new places and genres.
TEST_F(IsbnWindowViewTest, DropDownsWaitForNoLockAndFollowWhenItEnds) {
    Open();
    const auto offered = [](const QComboBox* box) {
        QStringList items;
        for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
        return items;
    };
    EXPECT_EQ(offered(w->form()->umistenicb), QStringList{QStringLiteral("Regál A")});
    // Written by another program, then held by a third.
    testsupport::ExecSql(path,
                         "insert into svazkovna(autor,titul,umisteni,zanr) values('Neruda Jan',"
                         "'Pov\355dky malostransk\351','P\371da \226 krabice 2','pov\355dky')");
    {
        testsupport::WriteLock lock(path);
        w->form()->umistenicb->setEditText(QStringLiteral("Pracovna"));
        QElapsedTimer clock;
        clock.start();
        w->CatalogueChanged();
        // Far below the 5 s a blocked read would wait, with room for a loaded machine.
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_EQ(offered(w->form()->umistenicb), QStringList{QStringLiteral("Regál A")});
        QTest::keyClicks(w->form()->isbnle, QStringLiteral("9788071061311"));
        QTest::keyClick(w->form()->isbnle, Qt::Key_Return);
        EXPECT_EQ(w->RowCount(), 1);
        EXPECT_LT(clock.elapsed(), 3000) << "the scan is taken while the lock lasts";
    }
    for (int i = 0; i < 500 && offered(w->form()->zanrcb).size() < 2; ++i) QTest::qWait(20);
    const QStringList places = {QStringLiteral("Půda – krabice 2"), QStringLiteral("Regál A")};
    const QStringList genres = {QString(), QStringLiteral("povídky")};
    EXPECT_EQ(offered(w->form()->umistenicb), places);
    EXPECT_EQ(offered(w->form()->zanrcb), genres);
    EXPECT_EQ(w->form()->umistenicb->currentText(), QStringLiteral("Pracovna"));
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
