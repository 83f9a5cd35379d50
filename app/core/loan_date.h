#pragma once
// The date in a loan's free text ("zapujcenokdy"), read leniently: years of
// catalogues hold dates typed any way, with words around them. Reading never
// changes the stored text.
#include <QDate>
#include <QString>

struct LoanDate {
    enum class Precision { None, Year, Month, Day };
    Precision precision = Precision::None;
    // The earliest and the latest day the text may mean (equal for a full date).
    QDate first;
    QDate last;
    // The text is written as a date that cannot be ("31.2.2026", "1.13.2024",
    // "2024-02-30") and holds no valid one: it is no date, but worth a mark.
    bool impossible = false;

    bool Known() const { return precision != Precision::None; }
    // Written ahead: the earliest day meant is after `today`.
    bool Future(const QDate& today) const { return Known() && first > today; }
    // Whole days from the latest day meant to `today`: a loan of "březen 2024"
    // is at least that old, so it is never called overdue too early.
    int DaysOut(const QDate& today) const;
    // The date as understood: "5.3.2024", "březen 2024", "2024"; empty when none.
    QString Shown() const;
};

// Understood: d.m.yyyy, d. m. yyyy, d.m.yy, d/m/yyyy, d-m-yyyy, yyyy-mm-dd,
// yyyy/mm/dd, "5. března 2024", "5. III. 2024", a Czech month name with a year
// ("březen 2024", "v březnu 2024", also without diacritics), m/yyyy, m.yyyy, a
// day and month without a year before a full date ("1.2.-3.4.2024"), and a year
// 1900-2099 standing alone or after a word that makes it a date ("v roce
// 2019", "léto 2019"); a number among other words ("2. vyd. 1998") is none.
// A loan starts at the earliest date written: of several, the one whose last
// day comes first (the more precise one on a tie), then the leftmost. A
// two-digit year is this century's unless that lies after `today`.
LoanDate ReadLoanDate(const QString& text, const QDate& today);

// Overdue: more than `periodDays` whole days out. A text without a date never is.
bool IsOverdue(const LoanDate& date, const QDate& today, int periodDays);
