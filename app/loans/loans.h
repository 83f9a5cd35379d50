#pragma once
// The loans as the window shows them (texts converted at the window's edge,
// the date read from the free text), their counts, and the one place that
// changes them in the catalogue.
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "app/core/loan_date.h"
#include "app/core/loan_period.h"
#include "catalogue/loans_store.h"

class CatalogueSession;
class TASQLite3DB;

struct Loan {
    LoanRow row;
    QString komu, kdy, autor, titul, umisteni;
    LoanDate date;
    // The borrower as one person: "Jan Novák " and "Jan Novák" are the same.
    QString Borrower() const { return komu.trimmed(); }
};

std::vector<Loan> ReadLoans(TASQLite3DB& db, const QDate& today);
Loan LoanOf(const LoanRow& row, const QDate& today);

struct LoanSummary {
    int books = 0;
    int borrowers = 0;  // distinct names; a loan without a name counts no one
    int overdue = 0;
    bool operator==(const LoanSummary&) const = default;
};
LoanSummary Summarize(const std::vector<Loan>& loans, const QDate& today, int periodDays);
QString SummaryText(const LoanSummary& summary);

// "1 knihy", "3 knih": a count in the genitive, as after "vrácení".
QString BooksGenitive(int count);

// The status column: "neplatné datum" for a date that cannot be, "budoucí
// datum" for one ahead of `today`, "po lhůtě" when overdue, else empty.
QString LoanStatus(const LoanDate& date, const QDate& today, int periodDays);

// The names lent to so far, as the "půjčit" dialog offers them: trimmed, each
// once, in Czech order.
QStringList BorrowerNames(TASQLite3DB& db);

// Lends and returns, each a change through the session: the backup gate
// first (declined, nothing is written), then the notice of the rows changed.
class LoanWriter {
public:
    explicit LoanWriter(CatalogueSession& session) : session_(session) {}
    // Told about returned rows whose loan could not be kept in their history.
    std::function<void(const std::vector<LoanRow>&)> historyLost = [](const std::vector<LoanRow>&) {};

    // Empties both loan fields of the rows and keeps each finished loan in the
    // row's history, returned today; none when declined, else the rows changed.
    std::optional<std::vector<LoanRow>> Return(const std::vector<LoanRow>& rows);
    // Writes `komu` without the blanks around it and `today` as d.m.yyyy. A
    // name the code page cannot hold is refused (CodePageError) before anything
    // else happens.
    std::optional<std::vector<LoanRow>> Lend(const LoanRow& row, const QString& komu, const QDate& today);

private:
    CatalogueSession& session_;
};

// A date as the program writes it into "zapujcenokdy": d.m.yyyy.
QString LoanDateText(const QDate& date);
