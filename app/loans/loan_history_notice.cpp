#include "app/loans/loan_history_notice.h"

#include <QDate>
#include <set>
#include <utility>

#include "app/core/codepage.h"
#include "app/platform/ui_services.h"
#include "catalogue/loan_history.h"
#include "catalogue/loans_store.h"
#include "storage/connection.h"

namespace {

std::set<std::pair<std::string, int64_t>>& ToldAbout() {
    static std::set<std::pair<std::string, int64_t>> told;
    return told;
}

}  // namespace

std::string TodayReturnText() {
    const QDate today = QDate::currentDate();
    return ReturnDateText(today.year(), today.month(), today.day());
}

void TellHistoryNotKept(UiServices& ui, const QString& caption, TASQLite3DB& db, const std::vector<LoanRow>& rows) {
    QStringList books;
    for (const LoanRow& row : rows)
        if (ToldAbout().insert({db.Database(), row.rowid}).second)
            books << FromCodePage(row.autor) + QStringLiteral(": ") + FromCodePage(row.titul);
    if (books.isEmpty()) return;
    ui.InformationBox(caption, QString::fromUtf8(kHistoryNotKept) + QStringLiteral("\n\n") + books.join(u'\n'));
}

QString CorrectionQuestionText(const QString& before, const QString& after) {
    return QStringLiteral(
               "Vypůjčitel „%1“ je nyní „%2“.\n\nJe to oprava jména, nebo nová výpůjčka?\n\n"
               "Ano: oprava jména, výpůjčka trvá.\nNe: nová výpůjčka, předchozí se zapíše do historie.")
        .arg(before.trimmed(), after.trimmed());
}

void SaveKeepingLoanHistory(TASQLite3DB& db, int64_t rowKey, UiServices& ui, const QString& caption,
                            const std::function<void()>& change) {
    const auto isCorrection = [&](const RowLoanState& before, const RowLoanState& after) {
        return ui.Question(caption, CorrectionQuestionText(FromCodePage(before.komu), FromCodePage(after.komu)));
    };
    const std::optional<RowLoanState> lost =
        ChangeKeepingLoanHistory(db, rowKey, TodayReturnText(), change, isCorrection);
    if (!lost) return;
    LoanRow book;
    book.rowid = rowKey;
    book.autor = lost->autor;
    book.titul = lost->titul;
    TellHistoryNotKept(ui, caption, db, {book});
}
