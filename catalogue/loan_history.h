#pragma once
// The finished loans of a book, kept in its spare column `udaj3` so they travel
// with the catalogue, its backups and its exports. One line per loan:
//
//   #vypujcka<TAB>borrower<TAB>loan date as typed<TAB>returned d.m.yyyy<LF>
//
// Inside the three fields a backslash, a tab, a line feed and a carriage
// return are written as \\, \t, \n and \r. The column is ours only when it is
// empty (or NULL) or consists of such lines alone; anything else belongs to
// someone else and is never rewritten. Texts are the stored 8-bit bytes.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TASQLite3DB;

struct FinishedLoan {
    std::string komu;
    std::string kdy;       // as it was typed
    std::string returned;  // d.m.yyyy
    bool operator==(const FinishedLoan&) const = default;
};

inline constexpr std::string_view kLoanLineMarker = "#vypujcka";

// One line, its line feed included. Throws std::invalid_argument for a return
// date that is not d.m.yyyy. A zero byte (written by another tool) is left out:
// no statement of the program can carry it.
std::string EncodeLoanLine(const FinishedLoan& loan);

// The loans the column holds, oldest first; no value when the column holds
// anything but our lines (an empty column holds none).
std::optional<std::vector<FinishedLoan>> DecodeLoanHistory(std::string_view udaj3);

// A history line as views of the column's bytes (or of `unescaped` for a text
// that was escaped), valid while both are.
struct LoanLineView {
    std::string_view komu;
    std::string_view kdy;
    std::string_view returned;
};
// The same loans as DecodeLoanHistory without a copy: for a pass over every
// row, which reuses `lines` and `unescaped`. False when the column is not ours.
bool ViewLoanHistory(std::string_view udaj3, std::vector<LoanLineView>& lines, std::deque<std::string>& unescaped);

// Whether `text` is a day written d.m.yyyy (no leading zeros needed, a real calendar day).
bool IsReturnDate(std::string_view text);
// d.m.yyyy of a calendar day.
std::string ReturnDateText(int year, int month, int day);

// A loan that just finished on a row, as it was before the change.
struct EndedLoan {
    int64_t rowKey = 0;
    std::string komu;
    std::string kdy;
};

// Appends a line for each loan to its row's `udaj3`, inside the caller's
// transaction: a statement of its own on the row key. Rows whose column holds
// foreign text are left as they are; their keys are returned. A loan without a
// borrower whose date is that of the row's last line is the rest of that loan
// (its borrower was emptied first, which wrote the line): nothing is added.
std::vector<int64_t> AppendLoanHistory(TASQLite3DB& db, const std::vector<EndedLoan>& loans,
                                       const std::string& returned);

// The finished loans of the books, with the book they belong to, in storage
// order; `condition` (an SQL expression) narrows the rows, empty for all.
// Rows without history or with foreign text in `udaj3` are left out.
struct BookHistory {
    int64_t rowKey = 0;
    std::string autor;
    std::string titul;
    std::vector<FinishedLoan> loans;
};
std::vector<BookHistory> ReadLoanHistories(TASQLite3DB& db, const std::string& condition = {});

using LoanBookVisitor = std::function<void(int64_t rowKey, std::string_view autor, std::string_view titul,
                                           const std::vector<LoanLineView>& lines)>;
// The same books as ReadLoanHistories, each handed over as read, without a
// copy of its texts: a large catalogue's history is read in one pass.
void VisitLoanHistories(TASQLite3DB& db, const std::string& condition, const LoanBookVisitor& each);

// The loan fields and history of one row, its texts whole; no value when the row is gone.
struct RowLoanState {
    std::string komu;
    std::string kdy;
    std::string udaj3;
    std::string autor;
    std::string titul;
};
std::optional<RowLoanState> ReadRowLoanState(TASQLite3DB& db, int64_t rowKey);

// A history line mended by hand: rewritten with `replacement`, or removed
// without one, only while the row's `udaj3` is still ours and holds `shown` as
// its line `line` (counted from 0, oldest first); nothing else in it changes.
enum class LoanLineEdit { Done, Changed, Foreign };
LoanLineEdit EditLoanLine(TASQLite3DB& db, int64_t rowKey, size_t line, const FinishedLoan& shown,
                          const std::optional<FinishedLoan>& replacement);

// A name without the blanks around it, as a borrower is told apart.
std::string_view TrimmedName(std::string_view name);

// Whether two stored names are one borrower: equal without the blanks around
// them and without regard to letter case (Windows-1250 letters included).
bool SameBorrower(std::string_view a, std::string_view b);

// What a change of a row's loan fields from `before` to `after` does to the loan.
enum class LoanEdit {
    GoesOn,    // nothing finished: other fields, the same borrower, or a corrected name
    Finishes,  // the loan ended: both fields emptied, the borrower emptied, or a new loan
    Unsure,    // another name with another date where one of them is missing or the names are alike
};
// A new name with the same loan date is a correction; the same name (trimmed,
// any case) is the same borrower.
LoanEdit ClassifyLoanEdit(const RowLoanState& before, const RowLoanState& after);

// Answers an unsure edit: true when the new name corrects the old one.
using CorrectionQuestion = std::function<bool(const RowLoanState& before, const RowLoanState& after)>;

// Runs `change` (a statement on the row `rowKey`) and, in the same
// transaction, keeps the loan it finished in the row's history. Either both
// land or neither. Returns the row as changed when a finished loan could not
// be kept because the column holds foreign text. Unsure edits are put to
// `isCorrection`; without it they finish the loan.
std::optional<RowLoanState> ChangeKeepingLoanHistory(TASQLite3DB& db, int64_t rowKey, const std::string& returned,
                                                     const std::function<void()>& change,
                                                     const CorrectionQuestion& isCorrection = {});
