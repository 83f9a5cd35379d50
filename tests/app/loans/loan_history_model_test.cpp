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
#include "catalogue/loan_history.h"

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

}  // namespace
