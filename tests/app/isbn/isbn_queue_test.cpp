// The ISBN queue beyond one sitting: kept beside the catalogue when the window
// closes or the program quits, offered again, asked about first; a source that
// timed out rests a while, and "zkusit znovu" asks the failed rows again.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include "app/core/profile_file.h"
#include "app/isbn/isbn_capability.h"
#include "app/isbn/isbn_window.h"
#include "app/platform/value_lists.h"
#include "app/window/main_window.h"
#include "isbn_test_data.h"
#include "isbn_window_open.h"
#include "support/app_scripted_ui.h"
#include "support/app_window_fixture.h"
#include "support/sql_rows.h"
#include "support/template_catalogue.h"
#include "ui_isbn_window.h"

namespace {

using namespace isbntest;
using testsupport::SelectRows;

class IsbnQueueTest : public testsupport::TemplateCatalogueTest {
protected:
    // A window left open must not outlive the connection it reads: a keys
    // check finishing later would reach a catalogue already gone.
    ~IsbnQueueTest() override {
        for (QPointer<IsbnWindow>& w : opened_) delete w.data();
    }
    IsbnWindow* Open(const std::string& sources) {
        return opened_.emplace_back(
            OpenIsbnWindow(con, ui, lists, QString::fromStdString(dir.file("svazkovna.ini")), sources,
                           [](const std::vector<int64_t>&, const std::function<RowsChange()>& write) {
                               write();
                               return true;
                           }));
    }
    static void Scan(IsbnWindow* w, const char* digits) {
        QTest::keyClicks(w->form()->isbnle, QString::fromLatin1(digits));
        QTest::keyClick(w->form()->isbnle, Qt::Key_Return);
    }
    static void WaitDone(IsbnWindow* w) {
        for (int i = 0; i < 500 && (w->Lookup().Pending() > 0 || w->Checking()); ++i) QTest::qWait(20);
        ASSERT_EQ(w->Lookup().Pending(), 0);
    }
    QByteArray Kept() const {
        QFile f(QString::fromStdString(path) + QStringLiteral(".fronta"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    ScriptedUi ui;
    ValueLists lists{con};
    OpenLibraryServer ol;
    std::vector<QPointer<IsbnWindow>> opened_;
};

// Closing asks while rows are unstored; the rows (typed cells, the user's
// ticks) are kept in a UTF-8 file beside the catalogue, never inside it, and
// come back when the window opens again; a stored row leaves the file.
TEST_F(IsbnQueueTest, UnstoredRowsAreKeptBesideTheCatalogueAndOfferedAgain) {
    IsbnWindow* w = Open("openlibrary=" + ol.Url().toStdString());
    for (const char* isbn : {kOnlyOpenLibrary, kNowhere, kKrakatit, "80-7145-222-X"}) Scan(w, isbn);
    WaitDone(w);
    ASSERT_EQ(w->RowCount(), 4);
    ASSERT_EQ(w->StateText(3), QStringLiteral("už ve frontě"));
    QTableWidget* t = w->form()->frontatw;
    // Not found: typed by hand and ticked; Krakatit unticked by the user.
    t->item(1, IsbnWindow::Autor)->setText(QStringLiteral("Kratochvíl Jiří"));
    t->item(1, IsbnWindow::Titul)->setText(QStringLiteral("Medvědí tanec: povídky"));
    t->item(1, IsbnWindow::Isbn)->setCheckState(Qt::Checked);
    t->item(2, IsbnWindow::Isbn)->setCheckState(Qt::Unchecked);

    ui.QueueQuestion(true);  // "Ano": back to the queue
    w->close();
    ASSERT_TRUE(w->isVisible());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Question);
    EXPECT_EQ(ui.boxes[0].text, QStringLiteral("Ve frontě zůstává neuložených knih: 3. Uschovají se u katalogu a "
                                               "nabídnou se, až toto okno otevřete znovu.\n\nVrátit se k frontě?"));
    QPointer<IsbnWindow> closing = w;
    w->close();  // "Ne", the default
    QTest::qWait(20);
    ASSERT_TRUE(closing.isNull());
    const QByteArray kept = Kept();
    EXPECT_TRUE(kept.contains("Kratochv\xC3\xADl Ji\xC5\x99\xC3\xAD")) << kept.constData();
    EXPECT_EQ(kept.count("\"isbn\""), 3);  // the repeat is not kept
    // The catalogue holds its one table and its rows only.
    EXPECT_EQ(SelectRows(path, "select name from sqlite_master"), std::vector<std::string>{"svazkovna"});
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna")[0], "0");

    w = Open("openlibrary=" + ol.Url().toStdString());
    EXPECT_EQ(w->RowCount(), 0);
    EXPECT_EQ(w->Offered(), 3);
    EXPECT_TRUE(w->form()->nacistb->isVisible());
    QTest::mouseClick(w->form()->nacistb, Qt::LeftButton);
    EXPECT_FALSE(w->form()->nacistb->isVisible());
    WaitDone(w);
    ASSERT_EQ(w->RowCount(), 3);
    t = w->form()->frontatw;
    const struct {
        const char* autor;
        const char* state;
        Qt::CheckState tick;
    } rows[] = {{"Jirotka Zdeněk", "nalezeno", Qt::Checked},
                {"Kratochvíl Jiří", "nenalezeno", Qt::Checked},  // asked again; the typed text stays
                {"Capek Karel", "nalezeno", Qt::Unchecked}};
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(t->item(row, IsbnWindow::Autor)->text(), QString::fromUtf8(rows[row].autor));
        EXPECT_EQ(w->StateText(row), QString::fromUtf8(rows[row].state));
        EXPECT_EQ(t->item(row, IsbnWindow::Isbn)->checkState(), rows[row].tick);
    }
    QTest::mouseClick(w->form()->ulozitb, Qt::LeftButton);
    EXPECT_EQ(SelectRows(path, "select autor, udaj1 from svazkovna order by id"),
              (std::vector<std::string>{"Jirotka Zden\xECk|9788071452225", "Kratochv\xEDl Ji\xF8\xED|9788071453338"}));
    EXPECT_FALSE(Kept().contains("9788071452225"));
    EXPECT_TRUE(Kept().contains(kKrakatit));
    w->close();
    ASSERT_EQ(ui.boxes.size(), 3u);  // "Ano" and "Ne" before, this one now
    EXPECT_TRUE(ui.boxes[2].text.startsWith(QStringLiteral("Ve frontě zůstává neuložených knih: 1.")));

    // Offered again, dropped by the user: the file goes, nothing is asked at closing.
    QTest::qWait(20);
    w = Open("openlibrary=" + ol.Url().toStdString());
    EXPECT_EQ(w->Offered(), 1);
    QTest::mouseClick(w->form()->zahoditb, Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path) + QStringLiteral(".fronta")));
    w->close();
    EXPECT_EQ(ui.boxes.size(), 3u);
}

// A source that did not answer in time is skipped for the next ISBNs while it
// rests, then asked again; waking the sources ends the rest at once.
TEST_F(IsbnQueueTest, ASourceThatTimedOutRestsAWhile) {
    IsbnLookup lookup({{IsbnSource::Kind::OpenLibrary, ol.Url("/slow/")}, {IsbnSource::Kind::OpenLibrary, ol.Url()}});
    lookup.SetTimeout(300);
    lookup.SetRest(1500);
    QSignalSpy answers(&lookup, &IsbnLookup::Finished);
    const auto slowAsked = [this] { return ol.requests.filter(QStringLiteral(" /slow/")).size(); };
    const auto ask = [&](const char* isbn) {
        QElapsedTimer clock;
        clock.start();
        const int before = static_cast<int>(answers.size());
        lookup.Start(QString::fromLatin1(isbn));
        EXPECT_TRUE(answers.wait(5000) || answers.size() > before);
        const auto result = answers.back().at(1).value<LookupResult>();
        EXPECT_EQ(result.state, LookupResult::State::Found) << isbn;
        return clock.elapsed();
    };
    EXPECT_GE(ask(kOnlyOpenLibrary), 250);
    EXPECT_EQ(slowAsked(), 1);
    // Resting: answered by the next source without the wait.
    EXPECT_LT(ask(kKrakatit), 250);
    EXPECT_EQ(slowAsked(), 1);
    lookup.WakeSources();
    ask(kKrakatit);
    EXPECT_EQ(slowAsked(), 2);
    QTest::qWait(1600);
    ask(kOnlyOpenLibrary);
    EXPECT_EQ(slowAsked(), 3);
}

// "zkusit znovu" asks the rows that failed on the network again, and only them.
TEST_F(IsbnQueueTest, RetryAsksTheRowsThatFailedOnTheNetwork) {
    const quint16 port = FreePort();
    IsbnWindow* w =
        Open("openlibrary=http://127.0.0.1:" + std::to_string(port) + ";openlibrary=" + ol.Url().toStdString());
    Scan(w, kNowhere);
    Scan(w, kOnlyOpenLibrary);
    WaitDone(w);
    ASSERT_TRUE(w->StateText(0).startsWith(QStringLiteral("chyba sítě"))) << w->StateText(0).toStdString();
    ASSERT_EQ(w->StateText(1), QStringLiteral("nalezeno"));
    const qsizetype asked = ol.requests.size();
    OpenLibraryServer late(port);
    QTest::mouseClick(w->form()->zkusitb, Qt::LeftButton);
    EXPECT_EQ(w->StateText(0), QStringLiteral("hledám"));
    WaitDone(w);
    EXPECT_EQ(w->StateText(0), QStringLiteral("nenalezeno"));
    EXPECT_EQ(late.requests.size(), 1);
    EXPECT_EQ(ol.requests.size(), asked + 1);  // the found row was not asked again
    EXPECT_EQ(w->focusWidget(), w->form()->isbnle);
    w->close();
}

}  // namespace

namespace {

class IsbnQuitTest : public testsupport::WindowFixture {};

// Quitting the program with unstored rows asks first; "Ano" keeps both windows open.
TEST_F(IsbnQuitTest, QuittingWithUnstoredRowsAsksFirst) {
    MakeCatalogue({});
    TForm1& form = OpenWindow();
    ProfileFile(form.SettingsPath()).WriteString("nastaveni", "zdrojeisbn", "");
    form.capability<IsbnCapability>().Command().trigger();
    IsbnWindow* w = form.capability<IsbnCapability>().isbnWindow();
    ASSERT_TRUE(w);
    QTest::keyClicks(w->form()->isbnle, QString::fromLatin1(kNowhere));
    QTest::keyClick(w->form()->isbnle, Qt::Key_Return);
    ui.QueueQuestion(true);
    form.close();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Question);
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ui.boxes.size(), 2u);  // asked once for this quit, not again by the closing window
    QFile kept(QString::fromStdString(CataloguePath()) + QStringLiteral(".fronta"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll().contains(kNowhere));
}

}  // namespace
