#include "app/loans/borrower_card.h"

#include <algorithm>

#include "app/core/codepage.h"
#include "app/core/loan_date.h"
#include "app/loans/borrower_address.h"
#include "catalogue/loan_history.h"

namespace {

BorrowerCard::Finished FinishedOf(const BookHistory& book, const FinishedLoan& loan, const QDate& today) {
    BorrowerCard::Finished f{FromCodePage(book.autor),
                             FromCodePage(book.titul),
                             FromCodePage(loan.kdy),
                             QString::fromLatin1(loan.returned),
                             -1,
                             0};
    const QDate returned = QDate::fromString(f.returned, QStringLiteral("d.M.yyyy"));
    if (returned.isValid()) f.returnedDay = static_cast<int>(returned.toJulianDay());
    const LoanDate begun = ReadLoanDate(f.kdy, today);
    if (begun.precision == LoanDate::Precision::Day && returned.isValid() && begun.first <= returned)
        f.days = static_cast<int>(begun.first.daysTo(returned));
    return f;
}

}  // namespace

BorrowerCard ReadBorrowerCard(TASQLite3DB& db, const QString& name, const QDate& today, int periodDays) {
    BorrowerCard card;
    card.name = QString(name).remove(QChar(u'\0')).trimmed();
    const QString who = BorrowerIdentity(name);
    for (Loan& loan : ReadLoans(db, today))
        if (BorrowerIdentity(loan.komu) == who) card.out.push_back(std::move(loan));
    std::stable_sort(card.out.begin(), card.out.end(), [&today](const Loan& a, const Loan& b) {
        if (a.date.Known() != b.date.Known()) return a.date.Known();
        return a.date.Known() && a.date.DaysOut(today) > b.date.DaysOut(today);
    });
    for (size_t i = 0; i < card.out.size(); ++i) {
        if (!IsOverdue(card.out[i].date, today, periodDays)) continue;
        // Sorted longest out first: the first overdue loan is the longest overdue.
        if (card.overdue++ == 0) card.longestOverdue = static_cast<int>(i);
    }
    // A column holding another tool's text is left out by the reader: it is no history of ours.
    for (const BookHistory& book : ReadLoanHistories(db))
        for (const FinishedLoan& loan : book.loans)
            if (BorrowerIdentity(FromCodePage(loan.komu)) == who)
                card.finished.push_back(FinishedOf(book, loan, today));
    std::stable_sort(
        card.finished.begin(), card.finished.end(),
        [](const BorrowerCard::Finished& a, const BorrowerCard::Finished& b) { return a.returnedDay > b.returnedDay; });
    return card;
}

QString DaysText(int days) {
    if (days == 1) return QStringLiteral("1 den");
    if (days >= 2 && days <= 4) return QStringLiteral("%1 dny").arg(days);
    return QStringLiteral("%1 dní").arg(days);
}

QString BorrowerCardSummary(const BorrowerCard& card, const QDate& today, int periodDays) {
    if (card.out.empty()) return QStringLiteral("Nyní nemá vypůjčenou žádnou knihu.");
    QString text = QStringLiteral("Knih vypůjčených nyní: %1").arg(card.out.size());
    if (card.overdue == 0) return text + QStringLiteral(", žádná po lhůtě.");
    const Loan& longest = card.out[static_cast<size_t>(card.longestOverdue)];
    const QString book = longest.autor.isEmpty() ? longest.titul : longest.autor + QStringLiteral(": ") + longest.titul;
    return text + QStringLiteral(", z toho po lhůtě: %1. Nejdéle po lhůtě: %2, %3 po lhůtě.")
                      .arg(card.overdue)
                      .arg(book, DaysText(longest.date.DaysOut(today) - periodDays));
}
