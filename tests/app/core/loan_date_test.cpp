// The date in a loan's free text: real-world spellings, texts that hold no
// date, and the overdue boundary.
#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>

#include "app/core/loan_date.h"
#include "app/loans/loans.h"

inline void PrintTo(const QDate& date, std::ostream* os) { *os << date.toString(Qt::ISODate).toStdString(); }

namespace {

const QDate kToday(2026, 12, 8);
using P = LoanDate::Precision;

struct Reading {
    const char* text;
    P precision;
    QDate first;
    QDate last;
};

void ExpectReadings(std::initializer_list<Reading> cases) {
    for (const Reading& c : cases) {
        SCOPED_TRACE(c.text);
        const LoanDate d = ReadLoanDate(QString::fromUtf8(c.text), kToday);
        EXPECT_EQ(d.precision, c.precision);
        EXPECT_EQ(d.first, c.first);
        EXPECT_EQ(d.last, c.last);
    }
}

TEST(LoanDate, ReadsRealWorldSpellings) {
    ExpectReadings({
        {"12.3.2024", P::Day, {2024, 3, 12}, {2024, 3, 12}},
        {"12. 3. 2024", P::Day, {2024, 3, 12}, {2024, 3, 12}},
        {"05.03.24", P::Day, {2024, 3, 5}, {2024, 3, 5}},
        {"5.3.99", P::Day, {1999, 3, 5}, {1999, 3, 5}},  // not 2099: after today
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
        {"2021 a pak 3.4.2022", P::Day, {2022, 4, 3}, {2022, 4, 3}},  // a year among words is none
        // No date.
        {"", P::None, {}, {}},
        {"2. díl", P::None, {}, {}},
        {"kniha 3/4", P::None, {}, {}},
        {"Pepa", P::None, {}, {}},
        {"12.3.", P::None, {}, {}},
        {"13/2024", P::None, {}, {}},  // no 13th month: a number, not a date
        {"1899", P::None, {}, {}},
        {"ISBN 80-7203-123-4", P::None, {}, {}},
        {"0.0.0000", P::None, {}, {}},
        {"99999999.3.2024", P::None, {}, {}},
    });
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
        {"8.11.2026", 30, false},                               // exactly the period
        {"7.11.2026", 31, true},     {"9.12.2026", -1, false},  // typed ahead
        {"listopad 2026", 8, false},                            // counted from the month's last day
        {"říjen 2026", 38, true},    {"2. díl", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const LoanDate d = ReadLoanDate(QString::fromUtf8(c.text), kToday);
        EXPECT_EQ(d.DaysOut(kToday), c.daysOut);
        EXPECT_EQ(IsOverdue(d, kToday, 30), c.overdue);
    }
}

TEST(LoanDate, ImpossibleDatesAndStrayNumbersAreNoDates) {
    // Written as a date, but no such day: marked, never read as its year.
    for (const char* text : {"31.2.2026", "29.2.2023", "0.1.2024", "1.13.2024", "2024-02-30", "31. 4. 2025", "31.2.26",
                             "30. února 2024", "půjčeno 1.1.1850", "0.0.0000"}) {
        SCOPED_TRACE(text);
        const LoanDate d = ReadLoanDate(QString::fromUtf8(text), kToday);
        EXPECT_FALSE(d.Known());
        EXPECT_TRUE(d.impossible);
        EXPECT_FALSE(IsOverdue(d, kToday, 1));
        EXPECT_EQ(LoanStatus(d, kToday, 30), QString::fromUtf8("neplatné datum"));
    }
    // A number that merely falls in the years, among other words: no date at all.
    for (const char* text : {"2. vyd. 1998", "záloha 2000 Kč", "tel. 603-12-2024", "1999-2001", "ISBN 80-7203-123-4"}) {
        SCOPED_TRACE(text);
        const LoanDate d = ReadLoanDate(QString::fromUtf8(text), kToday);
        EXPECT_FALSE(d.Known());
        EXPECT_FALSE(d.impossible);
        EXPECT_EQ(LoanStatus(d, kToday, 30), "");
    }
    // A year alone, or with words that make it a date.
    for (const char* text :
         {"2019", " 2019. ", "(2019)", "v roce 2019", "léto 2019", "Léto, 2019", "cca 2019", "koncem roku 2019"}) {
        SCOPED_TRACE(text);
        const LoanDate d = ReadLoanDate(QString::fromUtf8(text), kToday);
        EXPECT_EQ(d.precision, LoanDate::Precision::Year);
        EXPECT_EQ(d.first, QDate(2019, 1, 1));
    }
    // A valid date beside an impossible one is the date.
    EXPECT_EQ(ReadLoanDate("31.2.2024, znovu 5.3.2024", kToday).first, QDate(2024, 3, 5));
    EXPECT_FALSE(ReadLoanDate("31.2.2024, znovu 5.3.2024", kToday).impossible);

    // Written ahead: marked, never overdue; today itself is not ahead.
    const struct {
        const char* text;
        const char* status;
    } marks[] = {{"9.12.2026", "budoucí datum"},
                 {"leden 2027", "budoucí datum"},
                 {"8.12.2026", ""},
                 {"prosinec 2026", ""},
                 {"7.11.2026", "po lhůtě"}};
    for (const auto& m : marks) {
        SCOPED_TRACE(m.text);
        EXPECT_EQ(LoanStatus(ReadLoanDate(QString::fromUtf8(m.text), kToday), kToday, 30), QString::fromUtf8(m.status));
    }
}

TEST(LoanDate, RangesStartAtTheEarliestDate) {
    const QDate feb1(2024, 2, 1);
    ExpectReadings({
        {"1.2.-3.4.2024", P::Day, feb1, feb1},
        {"1.2. - 3.4.2024", P::Day, feb1, feb1},
        {"od 1.2. do 3.4.2024", P::Day, feb1, feb1},
        {"20.12.-5.1.2025", P::Day, {2024, 12, 20}, {2024, 12, 20}},  // began the year before
        {"od března 2024 do 5.4.2024", P::Month, {2024, 3, 1}, {2024, 3, 31}},
        {"do 3.4.2024 (půjčeno 1.2.2024)", P::Day, feb1, feb1},
        {"3.4.2024 - 1.2.2024", P::Day, feb1, feb1},
        {"1.2.2024-3.4.2024", P::Day, feb1, feb1},
        {"v březnu 2024, přesně 5.3.2024", P::Day, {2024, 3, 5}, {2024, 3, 5}},  // the day inside the month
        {"léto 2021, pak znovu 3.4.2022", P::Year, {2021, 1, 1}, {2021, 12, 31}},
        {"12.3.", P::None, {}, {}},  // a day and month with no year anywhere
    });
}

}  // namespace
