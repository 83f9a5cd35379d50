#pragma once
// A finished loan that could not be kept because the book's `udaj3` holds
// someone else's text: the user is told, once per book in a run of the program.
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TASQLite3DB;
class UiServices;
struct LoanRow;

inline constexpr const char* kHistoryNotKept = "historii výpůjček nelze uložit: pole udaj3 obsahuje jiná data";

// Tells about the books not told about before (keyed by catalogue and row key).
void TellHistoryNotKept(UiServices& ui, const QString& caption, TASQLite3DB& db, const std::vector<LoanRow>& rows);

// Runs `change` (the panel's save of the row `rowKey`) and keeps, in the same
// transaction, the loan the save finishes (the borrower emptied or replaced by
// a new loan); it finishes today. When the rule cannot tell a corrected name
// from a new loan, the user is asked.
void SaveKeepingLoanHistory(TASQLite3DB& db, int64_t rowKey, UiServices& ui, const QString& caption,
                            const std::function<void()>& change);

// The question put when a new name may be a correction or a new loan.
QString CorrectionQuestionText(const QString& before, const QString& after);

// Today as a history line's return day.
std::string TodayReturnText();
