// Finished loans kept in the book's `udaj3` by the real window: a return from
// the loans window and a panel save that replaces the borrower each leave a
// history line; foreign text in the column is left alone and told once.
#include <QAction>
#include <QDate>
#include <QDialog>
#include <array>
#include <QComboBox>
#include <QMenu>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>

#include "app/window/tree_node.h"
#include "app/loans/loan_history_model.h"
#include "app/loans/loan_history_notice.h"
#include "app/loans/loan_history_view.h"
#include "app/loans/loan_line_dialog.h"
#include "app/loans/loans_capability.h"
#include "app/loans/loans_window.h"
#include "app/statistics/statistics_capability.h"
#include "app/statistics/statistics_window.h"
#include "catalogue/loan_history.h"
#include "support/app_catalogue_rows.h"
#include "support/app_pdf_words.h"
#include "support/app_window_fixture.h"
#include "ui_loans_window.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

Book Lent(std::string titul, std::string komu, std::string kdy) {
    Book b = BookOf("Autor", std::move(titul));
    b.zapujcenokomu = std::move(komu);
    b.zapujcenokdy = std::move(kdy);
    return b;
}

class LoanHistoryKeepTest : public WindowFixture {
protected:
    std::string History(size_t row) const {
        const Value v = ReadAllRows(CataloguePath()).at(row)[13];
        return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : std::string();
    }
    int NoticesShown() const {
        int n = 0;
        for (const auto& box : ui.boxes) n += box.text.startsWith(QString::fromUtf8(kHistoryNotKept));
        return n;
    }
    void ReturnAllFromLoansWindow() {
        Command("zapujcky").trigger();
        LoansWindow& loans = *window->capability<LoansCapability>().loansWindow();
        loans.Refresh();
        loans.form()->zapujckytw->selectAll();
        ui.QueueQuestion(true);
        loans.form()->vracenob->click();
        QCoreApplication::processEvents();
    }
    const std::string today = TodayReturnText();
};

TEST_F(LoanHistoryKeepTest, AReturnFromTheLoansWindowKeepsTheLoan) {
    MakeCatalogue({Lent("A", "Jan Nov\xE1k", "1.11.2026"), Lent("B", "Eva", "2.11.2026"), Lent("C", "Ota", "jaro")});
    ExecSql(CataloguePath(), "update svazkovna set udaj3='moje pozn\xE1mka' where titul='C'");
    OpenWindow();
    // The statistics, open meanwhile, follow the return without "obnovit".
    Command("statistika").trigger();
    StatisticsWindow& stats = *window->capability<StatisticsCapability>().statisticsWindow();
    ASSERT_EQ(stats.Stats().lentNow, 3);
    ReturnAllFromLoansWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(stats.Stats().lentNow, 0);
    EXPECT_EQ(stats.Stats().finishedLoans, 2);
    EXPECT_EQ(History(0), "#vypujcka\tJan Nov\xE1k\t1.11.2026\t" + today + "\n");
    EXPECT_EQ(History(1), "#vypujcka\tEva\t2.11.2026\t" + today + "\n");
    EXPECT_EQ(History(2), "moje pozn\xE1mka");
    ASSERT_EQ(NoticesShown(), 1);
    EXPECT_EQ(ReadAllRows(CataloguePath())[2][7], Value(std::string()));  // returned all the same

    // "historie…" in the loans window lists the returns.
    LoansWindow& loans = *window->capability<LoansCapability>().loansWindow();
    loans.form()->historieb->click();
    const auto views = loans.findChildren<LoanHistoryView*>();
    ASSERT_EQ(views.size(), 1);
    EXPECT_TRUE(views[0]->isVisible());
    EXPECT_EQ(views[0]->ShownRows().size(), 2u);

    // Lent and returned again: the line is appended; the foreign book is not told twice.
    // The history view left open follows the return.
    ExecSql(CataloguePath(), "update svazkovna set zapujcenokomu='Iva', zapujcenokdy='3.12.2026'");
    ReturnAllFromLoansWindow();
    EXPECT_EQ(views[0]->ShownRows().size(), 4u);
    EXPECT_EQ(DecodeLoanHistory(History(0))->size(), 2u);
    EXPECT_EQ(DecodeLoanHistory(History(1))->back(), (FinishedLoan{"Iva", "3.12.2026", today}));
    EXPECT_EQ(History(2), "moje pozn\xE1mka");
    EXPECT_EQ(NoticesShown(), 1);
}

TEST_F(LoanHistoryKeepTest, APanelSaveThatChangesTheBorrowerFinishesTheLoan) {
    MakeCatalogue({Lent("A", "Jan", "1.11.2026"), Lent("B", "", "")});
    OpenWindow();
    auto clickTitle = [&](const QString& title) {
        QTreeWidgetItem* author = Tree().topLevelItem(0);
        for (int i = 0; i < AsTreeNode(*author).TitleCount(); ++i)
            if (TitleNode(*author, i)->text(0) == title) ClickItem(Tree(), TitleNode(*author, i));
    };
    clickTitle("A");
    window->form()->poznamkale->setText("jen poznámka");
    window->form()->ulozitb->click();
    EXPECT_EQ(History(0), "") << "the loan goes on";

    window->form()->zapujcenokomucb->setEditText("Jna");  // a typo on the same loan date
    window->form()->ulozitb->click();
    EXPECT_EQ(History(0), "") << "a corrected name is the same loan";

    window->form()->zapujcenokomucb->setEditText("Eva");
    window->form()->zapujcenokdyle->setText("5.11.2026");
    window->form()->ulozitb->click();
    EXPECT_EQ(History(0), "#vypujcka\tJna\t1.11.2026\t" + today + "\n");
    // A name a typo apart with another date: the user is asked; "Ano" keeps the loan going.
    window->form()->zapujcenokomucb->setEditText("Eve");
    window->form()->zapujcenokdyle->setText("6.11.2026");
    ui.QueueQuestion(true);
    window->form()->ulozitb->click();
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().kind, ScriptedUi::BoxKind::Question);
    EXPECT_TRUE(ui.boxes.back().text.contains("Je to oprava jména, nebo nová výpůjčka?"));
    EXPECT_EQ(History(0), "#vypujcka\tJna\t1.11.2026\t" + today + "\n");
    EXPECT_EQ(ReadAllRows(CataloguePath())[0][7], Value(std::string("Eve")));

    clickTitle("B");
    window->form()->zapujcenokomucb->setEditText("Ota");
    window->form()->ulozitb->click();
    EXPECT_EQ(History(1), "") << "lending finishes nothing";
}

TEST_F(LoanHistoryKeepTest, TheHistoryViewListsFiltersGroupsAndExports) {
    MakeCatalogue({BookOf("\xC8\x61pek", "Krakatit"), BookOf("Hrabal", "Obsluhoval"), BookOf("Hrabal", "Bez")});
    const std::string a =
        EncodeLoanLine({"Eva", "1.3.2026", "11.3.2026"}) + EncodeLoanLine({"Jan", "jaro", "1.6.2026"});
    const std::string b = EncodeLoanLine({"Eva\ttab", "2.2.2026", "4.2.2026"});
    ExecSql(CataloguePath(), "update svazkovna set udaj3='" + a +
                                 "' where titul='Krakatit';"
                                 "update svazkovna set udaj3='" +
                                 b +
                                 "' where titul='Obsluhoval';"
                                 "update svazkovna set udaj3='cizí' where titul='Bez'");
    OpenWindow();
    LoanHistoryView view(window->con1, ui, nullptr);
    view.Refresh();
    view.List()->sortByColumn(LoanHistoryView::Vraceno, Qt::AscendingOrder);
    std::vector<QStringList> rows = view.ShownRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], QStringList({"Eva\ttab", "2.2.2026", "4.2.2026", "2", "Hrabal", "Obsluhoval"}));
    EXPECT_EQ(rows[1], QStringList({"Eva", "1.3.2026", "11.3.2026", "10", "Čapek", "Krakatit"}));
    EXPECT_EQ(rows[2][LoanHistoryView::Dni], "") << "no day of lending, no length";
    view.List()->sortByColumn(LoanHistoryView::Dni, Qt::DescendingOrder);
    EXPECT_EQ(view.ShownRows()[0][LoanHistoryView::Dni], "10");

    view.SetGrouping(LoanHistoryView::ByBorrower);
    const auto groupCount = [&] {
        int groups = 0;
        for (int i = 0; i < view.Model().rowCount(); ++i) groups += view.Model().IsGroup(view.Model().index(i, 0));
        return groups;
    };
    EXPECT_EQ(groupCount(), 3);
    view.SetGrouping(LoanHistoryView::ByBook);
    EXPECT_EQ(groupCount(), 2);
    view.Filter()->setText("krakatit");
    EXPECT_EQ(view.ShownRows().size(), 2u);

    // One book's history from the tree's menu on its title.
    QTreeWidgetItem* hrabal = Tree().findItems("Hrabal", Qt::MatchExactly).value(0);
    ASSERT_NE(hrabal, nullptr);
    QTreeWidgetItem* title = nullptr;
    for (int i = 0; i < AsTreeNode(*hrabal).TitleCount(); ++i)
        if (TitleNode(*hrabal, i)->text(0) == "Obsluhoval") title = TitleNode(*hrabal, i);
    ASSERT_NE(title, nullptr);
    const std::unique_ptr<QMenu> menu = window->TitleMenu(*title);
    QAction* entry = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == "historie výpůjček…") entry = a;
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    const auto open = window->findChildren<LoanHistoryView*>();
    ASSERT_EQ(open.size(), 1);
    ASSERT_EQ(open[0]->ShownRows().size(), 1u);
    EXPECT_EQ(open[0]->ShownRows()[0][LoanHistoryView::Titul], "Obsluhoval");
    EXPECT_EQ(open[0]->windowTitle(), "historie výpůjček – Obsluhoval");

    const QString csv = QString::fromStdString(startDir.file("historie.csv"));
    ui.QueueSaveFile(csv);
    view.csvbClick();
    EXPECT_EQ(ReadFile(csv.toStdString()),
              "vypůjčitel;půjčeno;vráceno;dní;autor;titul\r\n"
              "Eva;1.3.2026;11.3.2026;10;Čapek;Krakatit\r\n"
              "Jan;jaro;1.6.2026;;Čapek;Krakatit\r\n");
}

// The history view as a person reads it: a filter without háčky, months
// sorted as dates, borrower groups in Czech order (one per name, blanks or
// not) whichever way a column sorts, and a CSV a spreadsheet cannot run.
TEST_F(LoanHistoryKeepTest, TheHistoryViewFiltersSortsAndGroupsAsAPersonReads) {
    MakeCatalogue({BookOf("Autor", "A"), BookOf("Autor", "B")});
    const std::string a = EncodeLoanLine({"\x8A\x9D"
                                          "astn\xFD",
                                          "10.3.2025", "1.4.2025"}) +
                          EncodeLoanLine({"\x8E\xE1k",
                                          "b\xF8"
                                          "ezen 2025",
                                          "2.4.2025"}) +
                          EncodeLoanLine({"\xC8\x61pek ", "15.2.2025", "3.4.2025"});
    const std::string b =
        EncodeLoanLine({"\xC8\x61pek", "2025", "4.4.2025"}) + EncodeLoanLine({"=1+2", "1.1.2025", "5.4.2025"});
    ExecSql(CataloguePath(), "update svazkovna set udaj3='" + a + "' where titul='A'; update svazkovna set udaj3='" +
                                 b + "' where titul='B'");
    OpenWindow();
    LoanHistoryView view(window->con1, ui, nullptr);
    view.Refresh();
    const auto column = [&](int c) {
        QStringList texts;
        for (const QStringList& row : view.ShownRows()) texts << row[c];
        return texts;
    };
    view.Filter()->setText("stastny");
    EXPECT_EQ(column(LoanHistoryView::Komu), QStringList({"Šťastný"}));
    view.Filter()->setText("");

    // A month sorts as that month, a year as that year.
    view.List()->sortByColumn(LoanHistoryView::Od, Qt::AscendingOrder);
    EXPECT_EQ(column(LoanHistoryView::Od), QStringList({"2025", "1.1.2025", "15.2.2025", "březen 2025", "10.3.2025"}));

    view.SetGrouping(LoanHistoryView::ByBorrower);
    for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        view.List()->sortByColumn(LoanHistoryView::Vraceno, order);
        QStringList groups;
        for (int i = 0; i < view.Model().rowCount(); ++i) {
            if (!view.Model().IsGroup(view.Model().index(i, 0))) continue;
            groups << view.Model().index(i, 0).data().toString();
            EXPECT_TRUE(view.List()->isFirstColumnSpanned(i, QModelIndex()));
        }
        EXPECT_EQ(groups, QStringList({"=1+2 (1)", "Čapek (2)", "Šťastný (1)", "Žák (1)"})) << order;
    }

    const QString csv = QString::fromStdString(startDir.file("h.csv"));
    ui.QueueSaveFile(csv);
    view.csvbClick();
    EXPECT_NE(ReadFile(csv.toStdString()).find("\n'=1+2;1.1.2025;5.4.2025;"), std::string::npos);
}

// A wrong line mended in the view: one borrower corrected, one line removed
// after a question, each only while the row still holds what was read; the
// other lines keep their bytes and another tool's text is never rewritten.
TEST_F(LoanHistoryKeepTest, AHistoryLineIsMendedOrRemovedAsRead) {
    const std::string jna = EncodeLoanLine({"Jna", "1.3.2024", "5.3.2024"});
    const std::string eva = EncodeLoanLine({"Eva\ttab",
                                            "b\xF8"
                                            "ezen 2024",
                                            "9.4.2024"});
    const std::string ota = EncodeLoanLine({"Ota", "", "1.5.2024"});
    MakeCatalogue({BookOf("A", "Prvn\xED"), BookOf("B", "Druh\xE1")});
    ExecSql(CataloguePath(), "update svazkovna set udaj3='" + jna + eva + ota + "' where titul='Prvn\xED';" +
                                 "update svazkovna set udaj3='" + ota + "' where titul='Druh\xE1'");
    OpenWindow();
    Command("zapujcky").trigger();
    LoansWindow& loans = *window->capability<LoansCapability>().loansWindow();
    loans.form()->historieb->click();
    LoanHistoryView& view = *loans.findChildren<LoanHistoryView*>().at(0);
    const auto select = [&](const QString& komu, const QString& titul) {
        for (int r = 0; r < view.Model().rowCount(); ++r) {
            const QStringList texts = view.Model().Texts(view.Model().index(r, 0));
            if (texts.value(LoanHistoryView::Komu) == komu && texts.value(LoanHistoryView::Titul) == titul)
                return view.List()->setCurrentIndex(view.Model().index(r, 0));
        }
        FAIL() << komu.toStdString();
    };
    // "opravit…" fills the dialog with the line as read; the script types over it and presses OK.
    const auto type = [&](std::optional<std::array<QString, 3>> typed) {
        ui.QueueDialog([&view, typed](QDialog& dialog) {
            auto& mend = static_cast<LoanLineDialog&>(dialog);
            const QStringList shown = view.Model().Texts(view.List()->currentIndex());
            EXPECT_EQ(mend.Komu()->text(), shown.value(LoanHistoryView::Komu));
            EXPECT_EQ(mend.Kdy()->text(), shown.value(LoanHistoryView::Od));
            EXPECT_EQ(mend.Returned()->text(), shown.value(LoanHistoryView::Vraceno));
            if (!typed) return;  // closed without OK
            mend.Komu()->setText((*typed)[0]);
            mend.Kdy()->setText((*typed)[1]);
            mend.Returned()->setText((*typed)[2]);
            for (QPushButton* button : dialog.findChildren<QPushButton*>())
                if (button->text() == QStringLiteral("OK")) button->click();
        });
    };
    using Typed = std::optional<std::array<QString, 3>>;
    const QDate today = QDate::currentDate();
    const QString nextYear = QString::number(today.year() + 1);
    const std::string jan = EncodeLoanLine({"Jan", "1.3.2024", "5.3.2024"});
    const std::string redated = EncodeLoanLine({"Jan", "1. 2. 2024", "5.2.2024"});
    const std::string otaApril = EncodeLoanLine({"Ota", "duben 2024", "1.5.2024"});
    struct Step {
        const char* what;
        QString komu, titul;
        bool remove;
        std::optional<QString> answer;  // removal: the question's answer ("" = no)
        Typed typed;                    // correction: name, loan date, return typed; none = cancelled
        std::function<void()> meanwhile;
        std::string first, second;  // udaj3 of both books afterwards
        QString box;                // the box shown, if any
    };
    // clang-format off
    const std::vector<Step> steps = {
        {"a typo corrected", "Jna", "První", false, {}, Typed({"Jan", "1.3.2024", "5.3.2024"}), {},
         jan + eva + ota, ota, {}},
        {"the correction cancelled", "Jan", "První", false, {}, Typed(), {}, jan + eva + ota, ota, {}},
        {"both dates corrected, typed with blanks and a leading zero", "Jan", "První", false, {},
         Typed({"Jan", " 1. 2. 2024", "05. 02. 2024"}), {}, redated + eva + ota, ota, {}},
        {"a return before the loan", "Jan", "První", false, {}, Typed({"Jan", "1. 2. 2024", "31.1.2024"}), {},
         redated + eva + ota, ota, "dříve než byla půjčena"},
        {"a return on a day that cannot be", "Jan", "První", false, {}, Typed({"Jan", "1. 2. 2024", "30.2.2024"}),
         {}, redated + eva + ota, ota, "není platný den"},
        {"a return typed as a month", "Jan", "První", false, {}, Typed({"Jan", "1. 2. 2024", "únor 2024"}), {},
         redated + eva + ota, ota, "není platný den"},
        {"a return ahead of today", "Jan", "První", false, {},
         Typed({"Jan", "1. 2. 2024", today.addDays(40).toString("d.M.yyyy")}), {}, redated + eva + ota, ota,
         "v budoucnosti"},
        {"a loan on a day that cannot be", "Jan", "První", false, {}, Typed({"Jan", "31.4.2024", "5.2.2024"}), {},
         redated + eva + ota, ota, "není platné datum výpůjčky"},
        {"a loan date naming no date", "Jan", "První", false, {}, Typed({"Jan", "2. díl", "5.2.2024"}), {},
         redated + eva + ota, ota, "není platné datum výpůjčky"},
        {"a loan ahead of today", "Jan", "První", false, {}, Typed({"Jan", "1.1." + nextYear, "5.2.2024"}), {},
         redated + eva + ota, ota, "v budoucnosti"},
        {"a loan never dated given a month", "Ota", "Druhá", false, {}, Typed({"Ota", "duben 2024", "1.5.2024"}),
         {}, redated + eva + ota, otaApril, {}},
        {"removal declined", "Ota", "První", true, QString(), {}, {}, redated + eva + ota, otaApril, {}},
        {"the middle line removed", "Eva\ttab", "První", true, QStringLiteral("ano"), {}, {}, redated + ota,
         otaApril, {}},
        {"changed meanwhile", "Ota", "Druhá", true, QStringLiteral("ano"), {},
         [&] { ExecSql(CataloguePath(), "update svazkovna set udaj3='" + jna + "' where titul='Druh\xE1'"); },
         redated + ota, jna, "Řádek historie se mezitím změnil"},
        {"foreign text meanwhile", "Ota", "První", false, {}, Typed({"Oto", "", "1.5.2024"}),
         [&] { ExecSql(CataloguePath(), "update svazkovna set udaj3='pozn\xE1mka' where titul='Prvn\xED'"); },
         "pozn\xE1mka", jna, "obsahuje jiná data"},
    };
    // clang-format on
    for (const Step& step : steps) {
        view.Refresh();
        select(step.komu, step.titul);
        if (step.meanwhile) step.meanwhile();
        const size_t boxes = ui.boxes.size();
        if (step.remove)
            ui.QueueQuestion(!step.answer->isEmpty());
        else
            type(step.typed);
        (step.remove ? view.smazatbClick() : view.opravitbClick());
        QCoreApplication::processEvents();
        EXPECT_EQ(History(0), step.first) << step.what;
        EXPECT_EQ(History(1), step.second) << step.what;
        if (step.remove) {
            EXPECT_TRUE(ui.boxes.at(boxes).text.contains("Opravdu smazat tento řádek historie?")) << step.what;
        }
        const bool told = !step.box.isEmpty();
        EXPECT_EQ(ui.boxes.size() > boxes + (step.remove ? 1 : 0), told) << step.what;
        if (told) {
            EXPECT_TRUE(ui.boxes.back().text.contains(step.box)) << step.what;
        }
    }
}

// Both lists print readable on every page: body text of 9–11 pt (an 11-pixel
// font laid out at printer resolution came out about 1 pt high), the title,
// the column header and "strana N z M" on each page.
TEST_F(LoanHistoryKeepTest, ExportedPdfsAreReadableOnEveryPage) {
    std::vector<Book> books;
    const char* names[] = {"Jan Nov\xE1k",
                           "\x8A\x9D"
                           "astn\xFD",
                           "Jaroslava Dlouhojmenn\xE1 z Vysok\xE9ho M\xFDta", "Eva"};
    for (int i = 0; i < 70; ++i)
        books.push_back(Lent("Titul " + std::to_string(i), names[i % 4], std::to_string(1 + i % 28) + ".10.2026"));
    MakeCatalogue(books);
    std::string history;
    for (int i = 0; i < 3; ++i) history += EncodeLoanLine({names[i], std::to_string(i + 1) + ".3.2025", "1.4.2025"});
    ExecSql(CataloguePath(), "update svazkovna set udaj3='" + history + "'");
    OpenWindow();
    Command("zapujcky").trigger();
    LoansWindow& loans = *window->capability<LoansCapability>().loansWindow();
    LoanHistoryView view(window->con1, ui, nullptr);
    view.Refresh();
    struct Export {
        QString file, title, column;
        std::function<void()> run;
    };
    const std::vector<Export> exports = {
        {"zapujcky.pdf", "Zápůjčky", "komu", [&] { loans.form()->pdfb->click(); }},
        {"historie.pdf", "historie", "vypůjčitel", [&] { view.pdfbClick(); }},
    };
    for (const Export& e : exports) {
        const QString pdf = QString::fromStdString(startDir.file(e.file.toStdString()));
        ui.QueueSaveFile(pdf);
        e.run();
        const std::vector<PdfPage> pages = PdfWords(pdf);
        ASSERT_GE(pages.size(), 2u) << e.file.toStdString();
        const double median = MedianWordHeight(pages);
        EXPECT_GE(median, 9.0) << e.file.toStdString();
        EXPECT_LE(median, 13.5) << e.file.toStdString();
        for (size_t p = 0; p < pages.size(); ++p) {
            const QString text = PageText(pages[p]);
            EXPECT_TRUE(text.contains(e.title)) << e.file.toStdString() << " page " << p + 1;
            EXPECT_TRUE(text.contains(e.column)) << e.file.toStdString() << " page " << p + 1;
            EXPECT_TRUE(text.contains(QStringLiteral("strana %1 z %2").arg(p + 1).arg(pages.size())))
                << text.toStdString();
            for (const PdfWord& word : pages[p]) EXPECT_GE(word.height, 7.0) << word.text.toStdString();
        }
    }
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace testsupport
