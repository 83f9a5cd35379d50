// The collection's statistics as shown: groups labelled and ordered in Czech,
// the empty value a group of its own, loans counted by month and length from
// the history and the current loans; the window charts every figure with a
// table beside it and exports the charts and the page.
#include <QAction>
#include <QChartView>
#include <QCoreApplication>
#include <QMenu>
#include <QFile>
#include <QGroupBox>
#include <QPointer>
#include <QScrollArea>
#include <QImage>
#include <QBarCategoryAxis>
#include <QCategoryAxis>
#include <QHorizontalBarSeries>
#include <QTableWidget>
#include <QValueAxis>
#include <cmath>

#include "app/loans/loans.h"
#include "app/loans/loans_capability.h"
#include "app/statistics/figures/collection_stats.h"
#include "app/statistics/statistics_capability.h"
#include "app/statistics/statistics_window.h"
#include "catalogue/collection_counts.h"
#include "catalogue/loan_history.h"
#include "catalogue/loans_store.h"
#include "storage/connection.h"
#include "support/app_catalogue_rows.h"
#include "support/app_pdf_words.h"
#include "support/app_session_fixture.h"
#include "support/app_window_fixture.h"
#include "app/window/tree_node.h"
#include "ui_main_window.h"
#include "ui_statistics_window.h"

namespace testsupport {
namespace {

const QDate kToday(2026, 12, 8);

QStringList Labels(const std::vector<LabelCount>& rows) {
    QStringList labels;
    for (const LabelCount& row : rows) labels << row.label + "=" + QString::number(row.count);
    return labels;
}

class StatisticsTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("svazkovna.db");
        CreateCatalogue(path);
        con.SetDatabase(path);
        con.SetConnected(true);
    }
    Book B(std::string autor, std::string zanr, int rating = 3) {
        Book b = BookOf(std::move(autor), "t");
        b.zanr = std::move(zanr);
        b.hodnoceni = rating;
        return b;
    }
    TempDir dir;
    std::string path;
    TASQLite3DB con{"con1"};
};

TEST_F(StatisticsTest, GroupsInCzechOrderWithTheEmptyValueAsAGroup) {
    // Windows-1250: "Čapek", "Chalupa", "Hrabal", "Cibulka", "Dyk".
    InsertBooks(path, {B("\xC8\x61pek", "rom\xE1n", 5), B("Chalupa", "", 1), B("Hrabal", "rom\xE1n", 5),
                       B("Cibulka", "poezie"), B("Dyk", ""), B("\xC8\x61pek", "drama"), B("Hrabal", "sci-fi", 4)});
    ExecSql(
        path,
        "update svazkovna set hodnoceni=NULL where autor='Dyk'; update svazkovna set zanr=NULL where autor='Cibulka'");
    const CollectionStats s = ComputeStats(con, kToday, 30);
    EXPECT_EQ(s.books, 7);
    EXPECT_EQ(Labels(s.genres), QStringList({"(nevyplněno)=3", "román=2", "drama=1", "sci-fi=1"}));
    EXPECT_EQ(Labels(s.ratings), QStringList({"1=1", "3=2", "4=1", "5=2", "(nevyplněno)=1"}));
    // Equal counts in Czech order: C, Č, D, H, Ch.
    EXPECT_EQ(Labels(s.topAuthors), QStringList({"Čapek=2", "Hrabal=2", "Cibulka=1", "Dyk=1", "Chalupa=1"}));
    EXPECT_EQ(Labels(s.topPublishers), QStringList({"(nevyplněno)=7"}));
}

TEST_F(StatisticsTest, LoansCountedFromHistoryAndCurrentLoans) {
    Book now = B("A", "x");
    now.zapujcenokomu = "Eva";
    now.zapujcenokdy = "1.10.2026";  // overdue by 8.12.
    Book fresh = B("B", "x");
    fresh.zapujcenokomu = "Jan";
    fresh.zapujcenokdy = "1.12.2026";
    InsertBooks(path, {now, fresh, B("C", "x"), B("D", "x")});
    const std::string history = EncodeLoanLine({"Eva", "1.3.2026", "11.3.2026"}) +
                                EncodeLoanLine({"Eva",
                                                "b\xF8"
                                                "ezen 2026",
                                                "1.5.2026"}) +                     // no day: not measured
                                EncodeLoanLine({"Ota", "5.1.2020", "25.1.2020"});  // before the months shown
    ExecSql(path, "update svazkovna set udaj3='" + history +
                      "' where autor='C'; "
                      "update svazkovna set udaj3='cizí poznámka' where autor='D'");
    const CollectionStats s = ComputeStats(con, kToday, 30);
    EXPECT_EQ(s.lentNow, 2);
    EXPECT_EQ(s.overdueNow, 1);
    EXPECT_EQ(s.finishedLoans, 3);
    EXPECT_EQ(s.measuredLoans, 2);
    EXPECT_DOUBLE_EQ(s.averageLoanDays, 15.0);
    EXPECT_EQ(s.foreignHistories, 1);
    EXPECT_EQ(Labels(s.topBorrowers), QStringList({"Eva=3", "Jan=1", "Ota=1"}));
    ASSERT_EQ(s.loansPerMonth.size(), static_cast<size_t>(kMonthsShown));
    EXPECT_EQ(s.loansPerMonth.front().month, QDate(2024, 1, 1));
    EXPECT_EQ(s.loansPerMonth.back().month, QDate(2026, 12, 1));
    long long total = 0;
    for (const MonthCount& m : s.loansPerMonth) {
        total += m.count;
        if (m.month == QDate(2026, 3, 1)) {
            EXPECT_EQ(m.count, 2);
        }
    }
    EXPECT_EQ(total, 4);
}

TEST_F(StatisticsTest, TopBorrowersCountANameOnceAndCutTiesInCzechOrder) {
    // "Jan Novák" three ways, lent now and in the history; eight names with two
    // loans; then "Žák" and "Čapek" tie at the cut ("Ž" is 0x8E, "Č" 0xC8).
    std::vector<Book> books;
    const auto lend = [&](std::string komu) {
        Book b = B("A", "x");
        b.zapujcenokomu = std::move(komu);
        b.zapujcenokdy = "1.12.2026";
        books.push_back(b);
    };
    for (const char* name : {"Jan Nov\xE1k", "Jan Nov\xE1k ", " Jan Nov\xE1k", "\x8E\xE1k", "\xC8\x61pek"}) lend(name);
    for (const char* name : {"Bo", "Cyril", "Dan", "Ema", "Filip", "Gita", "Hana", "Ivo"}) lend(name), lend(name);
    InsertBooks(path, books);
    ExecSql(path, "update svazkovna set udaj3='" + EncodeLoanLine({"Jan Nov\xE1k  ", "1.1.2026", "2.2.2026"}) +
                      "' where rowid=1");
    const QStringList top = Labels(ComputeStats(con, kToday, 30).topBorrowers);
    ASSERT_EQ(top.size(), kTopCount);
    EXPECT_EQ(top.front(), "Jan Novák=4");
    EXPECT_EQ(top.back(), "Čapek=1") << top.join(", ").toStdString();
}

TEST_F(StatisticsTest, WindowChartsEveryFigureWithItsNumbersAndExports) {
    Book lent = B("Autor", "rom\xE1n");
    lent.zapujcenokomu = "Eva";
    lent.zapujcenokdy = "1.12.2026";
    InsertBooks(path, {lent, B("Autor", ""), B("Jiný", "poezie")});
    ScriptedUi ui;
    StatisticsWindow window(
        con, ui, [] { return 30; }, nullptr);
    window.SetToday(kToday);
    window.Refresh();
    ASSERT_EQ(window.Sections().size(), 8u);
    const StatisticsWindow::Section& genres = window.Sections()[0];
    EXPECT_EQ(genres.chart->accessibleName(), "Knihy podle žánru");
    ASSERT_EQ(genres.table->rowCount(), 3);
    EXPECT_EQ(genres.table->item(0, 0)->text(), "(nevyplněno)");
    EXPECT_EQ(genres.table->item(1, 1)->text(), "1");
    EXPECT_FALSE(genres.table->accessibleName().isEmpty());
    EXPECT_EQ(window.Sections()[6].table->rowCount(), kMonthsShown);

    // Charted when first in sight: the top on showing, the bottom once scrolled to.
    window.show();
    QCoreApplication::processEvents();
    const auto charted = [&](size_t at) { return !window.Sections()[at].chart->chart()->series().isEmpty(); };
    EXPECT_TRUE(charted(0));
    EXPECT_FALSE(charted(7));
    window.form()->grafysa->ensureWidgetVisible(window.Sections()[7].box);
    QCoreApplication::processEvents();
    EXPECT_TRUE(charted(7));
    EXPECT_FALSE(charted(3));

    const QStringList files = window.ExportPng(QString::fromStdString(dir.file("graf.png")));
    ASSERT_EQ(files.size(), 8);
    for (size_t at = 0; at < window.Sections().size(); ++at) EXPECT_TRUE(charted(at)) << "exported whole: " << at;
    EXPECT_TRUE(files[0].endsWith("graf-zanr.png"));
    for (const QString& file : files) EXPECT_FALSE(QImage(file).isNull()) << file.toStdString();

    const QString pdf = QString::fromStdString(dir.file("statistika.pdf"));
    window.ExportPdf(pdf);
    QFile written(pdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(5) == "%PDF-");
    // A file that cannot be written is an error, not a silent success.
    EXPECT_THROW(window.ExportPdf(QString::fromStdString(dir.file("chybi/statistika.pdf"))), std::runtime_error);
}

// Charts a person can read: whole names on horizontal bars, the months
// labelled sparsely, whole-number axes, every entry in the screen reader's
// description, and a PDF that lists every row in readable type.
TEST_F(StatisticsTest, ChartsCarryWholeNamesAndThePdfListsEveryRow) {
    std::vector<Book> books;
    const std::string longName = "Jaroslava Dlouhojmenn\xE1 z Vysok\xE9ho M\xFDta a Hradu ";
    for (int author = 1; author <= 12; ++author)
        for (int copy = 0; copy < author % 3 + 1; ++copy) {
            Book b = B(longName + std::to_string(author), "\x9E\xE1nr " + std::to_string(author * 7 + copy));
            if (author == 1 && copy == 0) {
                b.zapujcenokomu = "Eva";
                b.zapujcenokdy = "1.12.2026";
            }
            books.push_back(b);
        }
    InsertBooks(path, books);
    ScriptedUi ui;
    StatisticsWindow window(
        con, ui, [] { return 30; }, nullptr);
    window.SetToday(kToday);
    window.Refresh();
    window.ChartAll();
    const auto section = [&](const QString& name) {
        for (const auto& s : window.Sections())
            if (s.name == name) return s;
        ADD_FAILURE() << name.toStdString();
        return window.Sections().front();
    };
    const auto axis = [](const StatisticsWindow::Section& s, Qt::Orientation o) {
        return s.chart->chart()->axes(o).value(0);
    };

    // Whole names on horizontal bars.
    const auto authors = section("autori");
    EXPECT_NE(qobject_cast<QHorizontalBarSeries*>(authors.chart->chart()->series().value(0)), nullptr);
    auto* names = qobject_cast<QBarCategoryAxis*>(axis(authors, Qt::Vertical));
    ASSERT_NE(names, nullptr);
    EXPECT_FALSE(names->truncateLabels());
    for (const QString& name : names->categories())
        EXPECT_TRUE(name.startsWith("Jaroslava Dlouhojmenná z Vysokého Mýta a Hradu "));

    // The 36 months named sparsely, each label a month.
    auto* months = qobject_cast<QCategoryAxis*>(axis(section("mesice"), Qt::Horizontal));
    ASSERT_NE(months, nullptr);
    EXPECT_LE(months->categoriesLabels().size(), 12);
    EXPECT_GE(months->categoriesLabels().size(), 6);
    EXPECT_TRUE(months->categoriesLabels().contains("12/2026"));
    EXPECT_EQ(months->max() - months->min(), kMonthsShown) << "one column per month";

    // Count axes tick at whole numbers only, small counts too (the months top out at 1).
    for (const auto& s : window.Sections()) {
        if (s.name == "zapujcene") continue;  // a pie
        const auto* values = qobject_cast<QValueAxis*>(
            axis(s, qobject_cast<QHorizontalBarSeries*>(s.chart->chart()->series().value(0)) ? Qt::Horizontal
                                                                                             : Qt::Vertical));
        ASSERT_NE(values, nullptr) << s.name.toStdString();
        const double step = (values->max() - values->min()) / (values->tickCount() - 1);
        EXPECT_GE(step, 1.0) << s.name.toStdString();
        EXPECT_DOUBLE_EQ(step, std::round(step)) << s.name.toStdString();
        // Every entry of the table is in the description a screen reader reads.
        for (int r = 0; r < s.table->rowCount(); ++r)
            EXPECT_TRUE(s.chart->accessibleDescription().contains(s.table->item(r, 0)->text() + ": " +
                                                                  s.table->item(r, 1)->text()))
                << s.name.toStdString() << " " << r;
    }
    EXPECT_NE(section("zapujcene").table->horizontalHeaderItem(1)->text(), "počet") << "an average is no count";

    const QString pdf = QString::fromStdString(dir.file("statistika.pdf"));
    window.ExportPdf(pdf);
    const std::vector<PdfPage> pages = PdfWords(pdf);
    ASSERT_GE(pages.size(), 2u);
    QString all;
    for (size_t p = 0; p < pages.size(); ++p) {
        all += PageText(pages[p]) + " ";
        EXPECT_TRUE(PageText(pages[p]).contains(QStringLiteral("strana %1 z %2").arg(p + 1).arg(pages.size())));
    }
    const auto genres = section("zanr");
    ASSERT_GT(genres.table->rowCount(), 20);
    for (int r = 0; r < genres.table->rowCount(); ++r)
        EXPECT_TRUE(all.contains(genres.table->item(r, 0)->text() + " "))
            << genres.table->item(r, 0)->text().toStdString();
    EXPECT_GE(MedianWordHeight(pages), 9.0);
    EXPECT_LE(MedianWordHeight(pages), 13.5);
}

class StatisticsCommandTest : public SessionFixture {};

TEST_F(StatisticsCommandTest, OpensFromTheMenuAboveKonecAndFollowsTheCatalogue) {
    OpenCatalogue({BookOf("A", "t1"), BookOf("B", "t2")});
    QMenu databazem;
    QAction* konec = databazem.addAction("&konec");
    session->SetCommandPlace(databazem, *konec);
    StatisticsCapability statistics(*session, &window);
    const QList<QAction*> actions = databazem.actions();
    const auto at = std::find_if(actions.begin(), actions.end(), [](QAction* a) { return a->text() == "&statistika"; });
    ASSERT_NE(at, actions.end());
    ASSERT_NE(at + 1, actions.end());
    EXPECT_EQ(*(at + 1), konec);
    (*at)->trigger();
    StatisticsWindow* stats = statistics.statisticsWindow();
    ASSERT_NE(stats, nullptr);
    EXPECT_TRUE(stats->isVisible());
    EXPECT_EQ(stats->Stats().books, 2);
    EXPECT_TRUE(ui.boxes.empty());

    ExecSql(CataloguePath(), "insert into svazkovna(autor,titul) values('C','t3')");
    emit session->CatalogueChanged();
    QCoreApplication::processEvents();
    EXPECT_EQ(stats->Stats().books, 3) << "read anew after the tree";
}

// The window keeps its counts row by row between changes: after each of the
// program's own changes (named rows read anew) and another program's (read
// whole after the tree's rebuild), they and the figures are what a full count
// of the file gives. Minimised, it draws the figures once restored.
TEST_F(StatisticsCommandTest, KeptFiguresFollowEveryKindOfChangeAsAFullCountSeesThem) {
    // Windows-1250 names as users type them: a trailing blank, háčky, a shared surname.
    const char* const authors[] = {"\xC8\x61pek Karel", "Hrabal Bohumil", "Kundera Milan", "Nezval V\xEDt\xECzslav",
                                   "\x8A\x6Avoreck\xFD Josef"};
    const char* const borrowers[] = {"Jan Nov\xE1k ", "Eva Dvo\xF8\xE1kov\xE1", "", "Jan Nov\xE1k", ""};
    const char* const dates[] = {"12. 3. 2024", "1.11.2026", "",
                                 "b\xF8"
                                 "ezen 2026",
                                 "2026-12-01"};
    std::vector<Book> books;
    for (int i = 0; i < 30; ++i) {
        Book b = BookOf(authors[i % 5], "titul " + std::to_string(i));
        b.zanr = i % 7 == 0 ? "" : i % 2 ? "rom\xE1n" : "poezie";
        b.umisteni = i % 3 ? "ob\xFDv\xE1k" : "sklep";
        b.zapujcenokomu = borrowers[i % 5];
        b.zapujcenokdy = dates[(i / 5) % 5];
        b.hodnoceni = i % 6;
        books.push_back(b);
    }
    OpenCatalogue(books);
    const std::string lines = EncodeLoanLine({"Jan Nov\xE1k", "5. 1. 2026", "20.1.2026"}) +
                              EncodeLoanLine({"\x8A\xE1rka ", "\xFAnor 2026", "3.3.2026"});
    ExecSql(CataloguePath(), "update svazkovna set udaj3='" + QuoteLiteralBody(lines) + "' where rowid % 4 = 1;" +
                                 "update svazkovna set udaj3='v\xE1zan\xE1 kniha' where rowid=6;" +
                                 "update svazkovna set zanr=NULL, hodnoceni=NULL where rowid=9");
    LoansCapability loans(*session, &window);
    StatisticsCapability statistics(*session, &window);
    statistics.statistikaExecute();
    StatisticsWindow& stats = *statistics.statisticsWindow();
    stats.SetToday(kToday);
    stats.Refresh();

    const auto write = [this](int64_t row, const std::string& sql, CatalogueSession::Edit edit) {
        session->Change(
            {row},
            [&] {
                con.ExecStatements(sql + " where rowid=" + std::to_string(row));
                RowsChange change;
                change.changed = 1;
                change.treeShape = false;
                change.deleted = sql.starts_with("delete");
                return change;
            },
            edit);
    };
    const auto check = [&](const char* what) {
        QCoreApplication::processEvents();
        EXPECT_EQ(stats.Tally().Plain(), CountCollection(con)) << what;
        EXPECT_EQ(stats.Stats(), ComputeStats(con, kToday, 30)) << what;
    };
    struct Step {
        const char* what;
        std::function<void()> change;
    };
    const Step steps[] = {
        {"a save changing the genre and the borrower (the loan it ends goes to the history)",
         [&] {
             write(1, "update svazkovna set zanr='detektivka', zapujcenokomu='Old\xF8ich', zapujcenokdy='5.12.2026'",
                   CatalogueSession::Edit::Record);
         }},
        {"a return writing a history line", [&] { LoanWriter(*session).Return({*ReadLoanRow(con, 2)}); }},
        {"a delete", [&] { write(3, "delete from svazkovna", CatalogueSession::Edit::Fields); }},
        {"an insert",
         [&] {
             session->Change({}, [&] {
                 con.ExecStatements(
                     "insert into svazkovna(autor,titul,zanr,zapujcenokomu,zapujcenokdy,udaj3) "
                     "values('Dyk Viktor','Krysa\xF8','poezie','Petr','1.12.2026','" +
                     QuoteLiteralBody(lines) + "')");
                 RowsChange change;
                 change.changed = 1;
                 for (const LoanRow& row : ReadLoanRows(con))
                     if (row.komu == "Petr") change.added = {row.rowid};
                 return change;
             });
         }},
        {"another program's change of a row, then the program's own save of it",
         [&] {
             ExecSql(CataloguePath(), "update svazkovna set zanr='sci-fi', udaj3=NULL where rowid=5");
             write(5,
                   "update svazkovna set poznamka='obal natr\xBE"
                   "en\xFD'",
                   CatalogueSession::Edit::Fields);
         }},
        {"another program's changes, then the tree read anew",
         [&] {
             ExecSql(CataloguePath(),
                     "delete from svazkovna where rowid=7; update svazkovna set "
                     "zapujcenokomu=' Eva Dvo\xF8\xE1kov\xE1' where rowid=8");
             emit session->CatalogueChanged();
         }},
    };
    for (const Step& step : steps) {
        const CollectionStats before = stats.Stats();
        step.change();
        check(step.what);
        EXPECT_NE(stats.Stats(), before) << step.what << ": the figures were to change";
    }

    stats.setWindowState(Qt::WindowMinimized);
    write(10, "update svazkovna set zanr='drama'", CatalogueSession::Edit::Fields);
    QCoreApplication::processEvents();
    EXPECT_EQ(stats.Tally().Plain(), CountCollection(con)) << "the counts follow at once";
    EXPECT_NE(stats.Stats(), ComputeStats(con, kToday, 30)) << "the charts wait while minimised";
    stats.setWindowState(Qt::WindowNoState);
    check("restored");
    EXPECT_TRUE(ui.boxes.empty());
}

// Closed, the window keeps its counts and follows the program's own changes:
// opened again it reads no row, and shows what a full count of the file gives.
// Another program's commit while it was closed is read whole on opening.
TEST_F(StatisticsCommandTest, ReopenedReadsWholeOnlyAfterAnotherProgramsCommit) {
    std::vector<Book> books;
    const char* const borrowers[] = {"Jan Nov\xE1k ", "", "\x8A\xE1rka", "", " Jan Nov\xE1k"};
    for (int i = 0; i < 24; ++i) {
        Book b = BookOf(i % 3 ? "\xC8\x61pek Karel" : "Hrabal Bohumil", "titul " + std::to_string(i));
        b.zanr = i % 4 ? "rom\xE1n" : "";
        b.zapujcenokomu = borrowers[i % 5];
        b.zapujcenokdy = b.zapujcenokomu.empty() ? ""
                         : i % 2                 ? "3.11.2026"
                                                 : "b\xF8"
                                                   "ezen 2026";
        books.push_back(b);
    }
    OpenCatalogue(books);
    ExecSql(CataloguePath(), "update svazkovna set udaj3='" +
                                 QuoteLiteralBody(EncodeLoanLine({"Eva ", "5. 1. 2026", "20.1.2026"})) +
                                 "' where rowid % 3 = 0");
    StatisticsCapability statistics(*session, &window);
    statistics.statistikaExecute();
    StatisticsWindow& stats = *statistics.statisticsWindow();
    stats.SetToday(kToday);
    stats.Refresh();
    const auto save = [this](int64_t row, const std::string& set) {
        session->Change({row}, [&] {
            con.ExecStatements("update svazkovna set " + set + " where rowid=" + std::to_string(row));
            RowsChange change;
            change.changed = 1;
            change.treeShape = false;
            return change;
        });
    };
    struct Step {
        const char* what;
        std::function<void()> change;
        bool readsWhole;
    };
    const Step steps[] = {
        {"nothing changed", [] {}, false},
        {"a save of the genre", [&] { save(2, "zanr='detektivka'"); }, false},
        {"a return writing a history line", [&] { LoanWriter(*session).Return({*ReadLoanRow(con, 1)}); }, false},
        {"two saves, one lending a book", [&] { save(4, "zanr='poezie'"), save(5, "zapujcenokomu='Petr'"); }, false},
        {"another program's commit", [&] { ExecSql(CataloguePath(), "delete from svazkovna where rowid=6"); }, true},
        {"another program's commit, then a save of another row",
         [&] {
             ExecSql(CataloguePath(), "update svazkovna set zanr='sci-fi' where rowid=7");
             save(8, "zanr='drama'");
         },
         true},
    };
    for (const Step& step : steps) {
        stats.close();
        step.change();
        QCoreApplication::processEvents();
        const int reads = stats.WholeReads();
        statistics.statistikaExecute();
        QCoreApplication::processEvents();
        EXPECT_EQ(stats.WholeReads() - reads, step.readsWhole ? 1 : 0) << step.what;
        EXPECT_EQ(stats.Tally().Plain(), CountCollection(con)) << step.what;
        EXPECT_EQ(stats.Stats(), ComputeStats(con, kToday, 30)) << step.what;
    }
    EXPECT_TRUE(ui.boxes.empty());
}

// Saves in the main window's panel with the statistics open: the tree follows
// each in place and says the rows may have changed; the figures follow the
// saved row, and a save after another program's commit reads that commit too.
class StatisticsPanelTest : public WindowFixture {};

TEST_F(StatisticsPanelTest, PanelSavesFollowedAndAnotherProgramsCommitSeen) {
    Book lent = BookOf("\xC8\x61pek Karel", "V\xE1lka s mloky");
    lent.zanr = "rom\xE1n";
    lent.zapujcenokomu = "Jan Nov\xE1k ";
    lent.zapujcenokdy = "12. 3. 2024";
    Book other = BookOf("Hrabal Bohumil",
                        "Ost\xF8"
                        "e sledovan\xE9 vlaky");
    other.zanr = "rom\xE1n";
    MakeCatalogue({lent, other,
                   BookOf("Kundera Milan",
                          "\x8E"
                          "ert")});
    OpenWindow();
    Command("statistika").trigger();
    auto* stats = window->findChild<StatisticsWindow*>();
    ASSERT_NE(stats, nullptr);
    stats->SetToday(kToday);
    stats->Refresh();
    TASQLite3DB oracle{"oracle"};
    oracle.SetDatabase(CataloguePath());
    oracle.SetConnected(true);
    const auto save = [&](const char* author, const QString& genre) {
        QTreeWidgetItem* node = Tree().findItems(QString::fromUtf8(author), Qt::MatchExactly).value(0);
        ASSERT_NE(node, nullptr);
        ClickItem(Tree(), TitleNode(*node, 0));
        window->form()->zanrcb->setEditText(genre);
        window->form()->ulozitb->click();
        QCoreApplication::processEvents();
    };

    const auto box = [&](const char* name) {
        for (const StatisticsWindow::Section& section : stats->Sections())
            if (section.name == name) return section.box;
        return static_cast<QGroupBox*>(nullptr);
    };
    // Watched, not compared by address: a box made anew may take the freed one's place.
    const QPointer<QGroupBox> genres = box("zanr"), authors = box("autori");
    save("Čapek Karel", QStringLiteral("detektivka"));
    EXPECT_EQ(stats->Stats(), ComputeStats(oracle, kToday, 30));
    EXPECT_TRUE(genres.isNull()) << "the genres drawn anew";
    EXPECT_FALSE(authors.isNull()) << "the authors kept as drawn";
    EXPECT_EQ(box("autori"), authors.data());
    EXPECT_EQ(stats->form()->grafylayout->indexOf(box("zanr")), 0);
    EXPECT_EQ(stats->Stats().genres, (std::vector<LabelCount>{{"(nevyplněno)", 1}, {"detektivka", 1}, {"román", 1}}));

    ExecSql(CataloguePath(), "update svazkovna set zanr='poezie', zapujcenokomu='Eva' where autor='Kundera Milan'");
    save("Hrabal Bohumil", QStringLiteral("drama"));
    EXPECT_EQ(stats->Stats(), ComputeStats(oracle, kToday, 30));
    EXPECT_EQ(stats->Stats().lentNow, 2);
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace testsupport
