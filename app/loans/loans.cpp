#include "app/loans/loans.h"

#include <algorithm>
#include <set>

#include "app/loans/loan_history_notice.h"
#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "app/platform/catalogue_session.h"

Loan LoanOf(const LoanRow& row, const QDate& today) {
    Loan loan{row,
              FromCodePage(row.komu),
              FromCodePage(row.kdy),
              FromCodePage(row.autor),
              FromCodePage(row.titul),
              FromCodePage(row.umisteni),
              {}};
    loan.date = ReadLoanDate(loan.kdy, today);
    return loan;
}

std::vector<Loan> ReadLoans(TASQLite3DB& db, const QDate& today) {
    const std::vector<LoanRow> rows = ReadLoanRows(db);
    std::vector<Loan> loans;
    loans.reserve(rows.size());
    for (const LoanRow& row : rows) loans.push_back(LoanOf(row, today));
    return loans;
}

LoanSummary Summarize(const std::vector<Loan>& loans, const QDate& today, int periodDays) {
    LoanSummary s;
    std::set<QString> names;
    for (const Loan& loan : loans) {
        ++s.books;
        if (const QString name = loan.Borrower(); !name.isEmpty()) names.insert(name);
        if (IsOverdue(loan.date, today, periodDays)) ++s.overdue;
    }
    s.borrowers = static_cast<int>(names.size());
    return s;
}

QString SummaryText(const LoanSummary& s) {
    return QStringLiteral("Zapůjčených knih: %1, vypůjčitelů: %2, po lhůtě: %3.")
        .arg(s.books)
        .arg(s.borrowers)
        .arg(s.overdue);
}

QString BooksGenitive(int count) {
    return QString::number(count) + (count == 1 ? QStringLiteral(" knihy") : QStringLiteral(" knih"));
}

QString LoanStatus(const LoanDate& date, const QDate& today, int periodDays) {
    if (date.impossible) return QStringLiteral("neplatné datum");
    if (date.Future(today)) return QStringLiteral("budoucí datum");
    if (IsOverdue(date, today, periodDays)) return QStringLiteral("po lhůtě");
    return {};
}

QStringList BorrowerNames(TASQLite3DB& db) {
    std::set<QString> seen;
    QStringList names;
    for (const std::string& stored : ReadBorrowers(db)) {
        const QString name = FromCodePage(stored).trimmed();
        if (!name.isEmpty() && seen.insert(name).second) names << name;
    }
    const LocaleOrder order;
    std::sort(names.begin(), names.end(),
              [&order](const QString& a, const QString& b) { return order.Compare(a, b) < 0; });
    return names;
}

QString LoanDateText(const QDate& date) {
    return QString::number(date.day()) + u'.' + QString::number(date.month()) + u'.' + QString::number(date.year());
}

namespace {

std::vector<int64_t> KeysOf(const std::vector<LoanRow>& rows) {
    std::vector<int64_t> keys;
    keys.reserve(rows.size());
    for (const LoanRow& row : rows) keys.push_back(row.rowid);
    return keys;
}

// Only loan fields changed, which the tree does not show; a return may also
// have kept each finished loan in the row's `udaj3`.
RowsChange LoanFieldsChange(size_t changed) {
    RowsChange change;
    change.changed = static_cast<int64_t>(changed);
    change.treeShape = false;
    change.historyLines = change.changed;
    return change;
}

}  // namespace

std::optional<std::vector<LoanRow>> LoanWriter::Return(const std::vector<LoanRow>& rows) {
    if (rows.empty()) return std::nullopt;
    ReturnResult result;
    const bool done = session_.Change(KeysOf(rows), [&] {
        result = ReturnLoanRows(session_.Connection(), rows, TodayReturnText());
        return LoanFieldsChange(result.changed.size());
    });
    if (!done) return std::nullopt;
    if (!result.historyLost.empty()) historyLost(result.historyLost);
    return std::move(result.changed);
}

std::optional<std::vector<LoanRow>> LoanWriter::Lend(const LoanRow& row, const QString& komu, const QDate& today) {
    const std::string name = ToCodePage(komu.trimmed());
    std::vector<LoanRow> changed;
    const bool done = session_.Change({row.rowid}, [&] {
        changed = WriteLoanFields(session_.Connection(), {row}, name, ToCodePage(LoanDateText(today)));
        return LoanFieldsChange(changed.size());
    });
    if (!done) return std::nullopt;
    return changed;
}
