// The date in a loan's free text: real-world spellings, texts that hold no
// date, and the overdue boundary.
#include <gtest/gtest.h>

#include <ostream>

#include "app/loans/loan_date.h"

inline void PrintTo(const QDate& date, std::ostream* os) { *os << date.toString(Qt::ISODate).toStdString(); }

namespace {

const QDate kToday(2026, 12, 8);

TEST(LoanDate, ReadsRealWorldSpellings) {
    using P = LoanDate::Precision;
    const struct {
        const char* text;
        P precision;
        QDate first;
        QDate last;
    } cases[] = {
        {"12.3.2024", P::Day, {2024, 3, 12}, {2024, 3, 12}},
        {"12. 3. 2024", P::Day, {2024, 3, 12}, {2024, 3, 12}},
        {"05.03.24", P::Day, {2024, 3, 5}, {2024, 3, 5}},
        {"5.3.99", P::Day, {1999, 3, 5}, {1999, 3, 5}},      // not 2099: after today
        {"1.1.26", P::Day, {2026, 1, 1}, {2026, 1, 1}},
        {"2024-03-12", P::Day, {2024, 3, 12}, {2024, 3, 12}},
        {"12/3/2024", P::Day, {2024, 3, 12}, {2024, 3, 12}},  // day first, as in Czech
        {"12-3-2024", P::Day, {2024, 3, 12}, {2024, 3, 12}},
        {"půjčeno 7.11.2023 na chatě", P::Day, {2023, 11, 7}, {2023, 11, 7}},
        {"5. března 2024", P::Day, {2024, 3, 5}, {2024, 3, 5}},
        {"5. III. 2024", P::Day, {2024, 3, 5}, {2024, 3, 5}},
        {"březen 2024", P::Month, {2024, 3, 1}, {2024, 3, 31}},
        {"v březnu 2024", P::Month, {2024, 3, 1}, {2024, 3, 31}},
        {"asi v unoru 2024", P::Month, {2024, 2, 1}, {2024, 2, 29}},
        {"ČERVENEC 2020", P::Month, {2020, 7, 1}, {2020, 7, 31}},
        {"v červnu 2020", P::Month, {2020, 6, 1}, {2020, 6, 30}},
        {"3/2024", P::Month, {2024, 3, 1}, {2024, 3, 31}},
        {"11.2019", P::Month, {2019, 11, 1}, {2019, 11, 30}},
        {"2019", P::Year, {2019, 1, 1}, {2019, 12, 31}},
        {"léto 2021, pak znovu", P::Year, {2021, 1, 1}, {2021, 12, 31}},
        {"2021 a pak 3.4.2022", P::Day, {2022, 4, 3}, {2022, 4, 3}},  // the most precise wins
        {"31.2.2024", P::Year, {2024, 1, 1}, {2024, 12, 31}},         // no such day: the year stands
        // No date.
        {"", P::None, {}, {}},
        {"2. díl", P::None, {}, {}},
        {"kniha 3/4", P::None, {}, {}},
        {"Pepa", P::None, {}, {}},
        {"12.3.", P::None, {}, {}},
        {"13/2024", P::Year, {2024, 1, 1}, {2024, 12, 31}},  // no 13th month: the year stands
        {"1899", P::None, {}, {}},
        {"ISBN 80-7203-123-4", P::None, {}, {}},
        {"0.0.0000", P::None, {}, {}},
        {"99999999.3.2024", P::Year, {2024, 1, 1}, {2024, 12, 31}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const LoanDate d = ReadLoanDate(QString::fromUtf8(c.text), kToday);
        EXPECT_EQ(d.precision, c.precision);
        EXPECT_EQ(d.first, c.first);
        EXPECT_EQ(d.last, c.last);
    }
}

TEST(LoanDate, ShownAndOverdueAtThePeriodsBoundary) {
    EXPECT_EQ(ReadLoanDate("5.03.2024", kToday).Shown(), "5.3.2024");
    EXPECT_EQ(ReadLoanDate(QString::fromUtf8("v březnu 2024"), kToday).Shown(), QString::fromUtf8("březen 2024"));
    EXPECT_EQ(ReadLoanDate("kdysi", kToday).Shown(), "");

    const struct {
        const char* text;
        int daysOut;
        bool overdue;
    } cases[] = {
        {"8.11.2026", 30, false},  // exactly the period
        {"7.11.2026", 31, true},
        {"9.12.2026", -1, false},  // typed ahead
        {"listopad 2026", 8, false},  // counted from the month's last day
        {"říjen 2026", 38, true},
        {"2. díl", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const LoanDate d = ReadLoanDate(QString::fromUtf8(c.text), kToday);
        EXPECT_EQ(d.DaysOut(kToday), c.daysOut);
        EXPECT_EQ(IsOverdue(d, kToday, 30), c.overdue);
    }
}

}  // namespace
