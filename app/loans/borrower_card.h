#pragma once
// One borrower's loans on one card: the books out now and the loans finished
// before, as the books' `udaj3` keeps them. A borrower is one person whatever
// the blanks around the name and its letter case.
#include <QDate>
#include <QString>
#include <vector>

#include "app/loans/loans.h"

class TASQLite3DB;

struct BorrowerCard {
    struct Finished {
        QString autor, titul;
        QString kdy;          // the loan date as typed
        QString returned;     // d.m.yyyy
        int days = -1;        // unknown unless the loan date names a day
        int returnedDay = 0;  // Julian day; 0 when unreadable
    };
    QString name;                    // as the user chose it, without the blanks around it
    std::vector<Loan> out;           // longest out first; loans without a date last
    std::vector<Finished> finished;  // the latest return first
    int overdue = 0;                 // books out past the loan period
    int longestOverdue = -1;         // index into `out` of the loan longest past the period
};

BorrowerCard ReadBorrowerCard(TASQLite3DB& db, const QString& name, const QDate& today, int periodDays);

// "Knih vypůjčených nyní: 2, z toho po lhůtě: 1. Nejdéle po lhůtě: …".
QString BorrowerCardSummary(const BorrowerCard& card, const QDate& today, int periodDays);

// "1 den", "3 dny", "5 dní".
QString DaysText(int days);
