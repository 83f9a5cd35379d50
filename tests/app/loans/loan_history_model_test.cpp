// The history's model held to a plain reading of the same loans: every text
// compared through the collator, every date read where it is compared, rows
// filtered by folding their whole text. Histories as catalogues hold them:
// one borrower typed with blanks and in other cases, dates typed many ways or
// not at all, an impossible date, books with the same author and title.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>

#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "app/core/loan_date.h"
#include "app/loans/loan_history_model.h"
#include "app/loans/loan_history_view.h"
#include "catalogue/loan_history.h"
#include "support/app_session_fixture.h"
#include "support/sql_rows.h"

namespace {

using Model = LoanHistoryModel;

std::vector<BookHistory> RandomHistories(unsigned seed) {
    const char* names[] = {"Jan Nov\xE1k",
                           "Jan Nov\xE1k ",
                           " jan nov\xE1k",
                           "\x8A\x9D"
                           "astn\xFD",
                           "\xC8"
                           "apek",
                           "\x8E\xE1k",
                           "Eva",
                           "",
                           "=1+2",
                           "Old\xF8ich Hor\xE1k"};
    const char* dates[] = {"12. 3. 2024",
                           "12.3.2024",
                           "b\xF8"
                           "ezen 2024",
                           "2024",
                           "",
                           "jaro 2023",
                           "2024-03-05",
                           "31.2.2024",
                           "5.1.2025",
                           "v roce 2019"};
    const char* returns[] = {"1.4.2024", "20.3.2024", "2.1.2025", "10.3.2024", "1.1.2020"};
    const char* books[][2] = {{"\xC8"
                               "apek",
                               "Krakatit"},
                              {"Hrabal", "Obsluhoval"},
                              {"Hrabal", "Obsluhoval"},
                              {"", "Bez autora"},
                              {"\x8E\xE1k",
                               "\xC8"
                               "as"}};
    std::mt19937 random(seed);
    std::vector<BookHistory> histories;
    for (int b = 0; b < 25; ++b) {
        BookHistory book{b + 1, books[b % 5][0], books[b % 5][1], {}};
        for (unsigned i = 0, n = random() % 9; i < n; ++i)
            book.loans.push_back({names[random() % 10], dates[random() % 10], returns[random() % 5]});
        histories.push_back(book);
    }
    return histories;
}

struct Plain {
    QStringList texts;
    LoanDate begun;
    QDate returned;
    int days = -1;
    int index = 0;
};

std::vector<Plain> PlainReading(const std::vector<BookHistory>& books, const QDate& today) {
    std::vector<Plain> rows;
    for (const BookHistory& book : books)
        for (const FinishedLoan& loan : book.loans) {
            Plain row;
            row.begun = ReadLoanDate(FromCodePage(loan.kdy), today);
            row.returned = QDate::fromString(QString::fromStdString(loan.returned), "d.M.yyyy");
            if (row.begun.precision == LoanDate::Precision::Day && row.begun.first <= row.returned)
                row.days = static_cast<int>(row.begun.first.daysTo(row.returned));
            row.texts = {FromCodePage(loan.komu),
                         FromCodePage(loan.kdy),
                         QString::fromStdString(loan.returned),
                         row.days >= 0 ? QString::number(row.days) : QString(),
                         FromCodePage(book.autor),
                         FromCodePage(book.titul)};
            row.index = static_cast<int>(rows.size());
            rows.push_back(row);
        }
    return rows;
}

TEST(LoanHistoryModelTest, EveryOrderFilterAndGroupingAgreesWithAPlainReading) {
    const QDate today(2026, 12, 1);
    const LocaleOrder czech;
    for (unsigned seed : {1u, 2u, 3u}) {
        const std::vector<BookHistory> books = RandomHistories(seed);
        const std::vector<Plain> rows = PlainReading(books, today);
        Model model;
        model.SetFilter(QStringLiteral("zbytek"));  // a filter set before the loans are read applies to them
        model.Load(books, today);
        EXPECT_EQ(model.ShownRows().size(), 0u);
        model.SetFilter(QString());
        ASSERT_EQ(model.rowCount(), static_cast<int>(rows.size()));
        // Each row tells the book and the line it was read from.
        for (int r = 0; r < model.rowCount(); ++r) {
            const auto origin = model.OriginOf(model.index(r, 0));
            ASSERT_TRUE(origin);
            const BookHistory& book = books[static_cast<size_t>(origin->rowKey - 1)];
            const FinishedLoan& loan = book.loans[static_cast<size_t>(origin->line)];
            EXPECT_EQ(
                model.Texts(model.index(r, 0)).mid(0, 3),
                QStringList({FromCodePage(loan.komu), FromCodePage(loan.kdy), QString::fromStdString(loan.returned)}));
        }

        const auto before = [&](int column, const Plain& a, const Plain& b) {
            const auto date = [](const QDate& x, const QDate& y) {
                return x == y ? 0 : !x.isValid() ? 1 : !y.isValid() ? -1 : x < y ? -1 : 1;
            };
            int c = 0;
            if (column == Model::Od)
                c = date(a.begun.Known() ? a.begun.first : QDate(), b.begun.Known() ? b.begun.first : QDate());
            else if (column == Model::Vraceno)
                c = date(a.returned, b.returned);
            else if (column == Model::Dni)
                c = a.days - b.days;
            else
                c = czech.Compare(a.texts[column], b.texts[column]);
            return c != 0 ? c < 0 : a.index < b.index;
        };
        for (const char* filter : {"", "novak", "STASTNY", "2024", "obsluhoval", "=1"})
            for (int grouping : {Model::NoGroups, Model::ByBorrower, Model::ByBook})
                for (int column = 0; column < Model::ColumnCount; ++column)
                    for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                        model.SetFilter(QString::fromLatin1(filter));
                        model.SetGrouping(static_cast<Model::Grouping>(grouping));
                        model.sort(column, order);
                        std::vector<Plain> expected;
                        for (const Plain& row : rows)
                            if (WithoutCaseAndAccents(row.texts.join(u'\n')).contains(WithoutCaseAndAccents(filter)))
                                expected.push_back(row);
                        std::sort(expected.begin(), expected.end(),
                                  [&](const Plain& a, const Plain& b) { return before(column, a, b); });
                        if (order == Qt::DescendingOrder) std::reverse(expected.begin(), expected.end());
                        // Groups in Czech order of their name whichever way the column sorts; a label counts
                        // every loan of the group, shown or not.
                        std::map<QString, int> counts;
                        const auto key = [&](const Plain& row) {
                            return grouping == Model::ByBorrower
                                       ? row.texts[Model::Komu].trimmed()
                                       : row.texts[Model::Autor] + ": " + row.texts[Model::Titul];
                        };
                        for (const Plain& row : rows) ++counts[key(row)];
                        if (grouping != Model::NoGroups)
                            std::stable_sort(expected.begin(), expected.end(), [&](const Plain& a, const Plain& b) {
                                return czech.Compare(key(a), key(b)) < 0;
                            });
                        std::vector<QStringList> texts;
                        QStringList labels, expectedLabels;
                        for (const Plain& row : expected) {
                            texts.push_back(row.texts);
                            const QString name = key(row).isEmpty() ? QStringLiteral("(nevyplněno)") : key(row);
                            const QString label = name + QStringLiteral(" (%1)").arg(counts[key(row)]);
                            if (grouping != Model::NoGroups &&
                                (expectedLabels.isEmpty() || expectedLabels.back() != label))
                                expectedLabels << label;
                        }
                        for (int r = 0; r < model.rowCount(); ++r)
                            if (model.IsGroup(model.index(r, 0))) labels << model.index(r, 0).data().toString();
                        const std::string where = "seed " + std::to_string(seed) + " filter " + filter + " grouping " +
                                                  std::to_string(grouping) + " column " + std::to_string(column) +
                                                  (order == Qt::DescendingOrder ? " descending" : "");
                        EXPECT_EQ(model.ShownRows(), texts) << where;
                        EXPECT_EQ(labels, expectedLabels) << where;
                    }
    }
}

// The view reads the catalogue straight into the model: held to the rows read
// back by the system's SQLite and decoded line by line. Columns as other tools
// and older copies leave them: NULL, empty, a note, lines an editor saved with
// CR LF, escaped tabs and backslashes, a return written with leading zeros, two
// copies of one book, a book without an author, a long history.
class LoanHistoryReadTest : public testsupport::SessionFixture {};

TEST_F(LoanHistoryReadTest, TheViewReadsTheCatalogueAsAPlainReadingDoes) {
    std::string many;
    for (int i = 0; i < 20; ++i)
        many += EncodeLoanLine({i % 3 ? "Old\xF8ich Hor\xE1k" : "old\xF8ich hor\xE1k ",
                                std::to_string(1 + i) + ". " + std::to_string(1 + i % 12) + ". 2023",
                                std::to_string(2 + i) + "." + std::to_string(1 + i % 12) + ".2023"});
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> udaj3 = {
        {"\xC8" "apek", EncodeLoanLine({"Jan Nov\xE1k ", "12. 3. 2024", "2.4.2024"}) +
                         EncodeLoanLine({"\x8A\x9D" "astn\xFD", "b\xF8" "ezen 2024", "9.4.2024"}) +
                         EncodeLoanLine({"Eva", "", "5.5.2024"})},
        {"Hrabal", ""},
        {"Hrabal", "viz se\x9A" "it 2, str. 14"},
        {"Kundera", "#vypujcka\tNov\\\\Star\xFD\\t2\t1.2.2024\t05.03.2024\n"},
        {"Kundera", "#vypujcka\tEva\t1.2.2024\t3.2.2024\r\n"},
        {"\xC8" "apek", EncodeLoanLine({"Jan Nov\xE1k", "2024-06-01", "30.6.2024"})},
        {"", EncodeLoanLine({"=SUM(A1)", "v roce 2019", "1.1.2020"})},
        {"Seifert", many},
        {"Hrabal", ""},
    };
    // clang-format on
    std::vector<testsupport::Book> rows;
    for (const auto& [autor, history] : udaj3) rows.push_back(testsupport::BookOf(autor, "Krakatit"));
    rows[6].autor.reset();
    OpenCatalogue(rows);
    for (size_t i = 0; i < udaj3.size(); ++i)
        if (i != 1)  // left NULL
            testsupport::ExecSql(CataloguePath(), "update svazkovna set udaj3='" + QuoteLiteralBody(udaj3[i].second) +
                                                      "' where rowid=" + std::to_string(i + 1));

    std::vector<BookHistory> books;
    for (const auto& row :
         testsupport::SelectValues(CataloguePath(), "select rowid, autor, titul, udaj3 from svazkovna")) {
        const auto loans = DecodeLoanHistory(
            testsupport::ValueText(row[3]) == testsupport::kNullText ? std::string() : testsupport::ValueText(row[3]));
        if (!loans || loans->empty()) continue;
        const auto text = [](const testsupport::Value& v) {
            return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : std::string();
        };
        books.push_back({std::get<long long>(row[0]), text(row[1]), text(row[2]), *loans});
    }
    ASSERT_EQ(books.size(), 5u);  // the note and the CR LF lines are not ours
    const QDate today(2026, 12, 1);
    std::vector<Plain> expected = PlainReading(books, today);
    std::stable_sort(expected.begin(), expected.end(), [](const Plain& a, const Plain& b) {
        return a.returned.isValid() && (!b.returned.isValid() || a.returned < b.returned);
    });
    std::vector<QStringList> texts;
    for (const Plain& row : expected) texts.push_back(row.texts);

    LoanHistoryView all(con, ui, &window);
    all.SetToday(today);
    all.Refresh();
    EXPECT_EQ(all.ShownRows(), texts);
    all.Refresh();  // read again over the numbers of the first reading
    EXPECT_EQ(all.ShownRows(), texts);

    LoanHistoryView one(con, ui, &window, 4);
    one.SetToday(today);
    one.Refresh();
    ASSERT_EQ(one.ShownRows().size(), 1u);
    EXPECT_EQ(one.ShownRows()[0].mid(0, 3), QStringList({"Nov\\Star\u00FD\t2", "1.2.2024", "05.03.2024"}));
    EXPECT_EQ(one.ShownRows()[0][LoanHistoryView::Dni], "33");
    EXPECT_TRUE(one.windowTitle().endsWith("Krakatit"));
}

}  // namespace
