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
// date that is not d.m.yyyy or a text holding a zero byte.
std::string EncodeLoanLine(const FinishedLoan& loan);

// The loans the column holds, oldest first; no value when the column holds
// anything but our lines (an empty column holds none).
std::optional<std::vector<FinishedLoan>> DecodeLoanHistory(std::string_view udaj3);

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
// foreign text are left as they are; their keys are returned.
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

// The loan fields and history of one row, its texts whole; no value when the row is gone.
struct RowLoanState {
    std::string komu;
    std::string kdy;
    std::string udaj3;
    std::string autor;
    std::string titul;
};
std::optional<RowLoanState> ReadRowLoanState(TASQLite3DB& db, int64_t rowKey);

// Whether a change of a row's loan fields from `before` to `after` finishes the
// loan: the book was lent, and either both fields are now empty or the
// borrower's name was replaced by another (or emptied).
bool FinishesLoan(const RowLoanState& before, const RowLoanState& after);

// Runs `change` (a statement on the row `rowKey`) and, in the same
// transaction, keeps the loan it finished in the row's history. Either both
// land or neither. Returns the row as changed when a finished loan could not
// be kept because the column holds foreign text.
std::optional<RowLoanState> ChangeKeepingLoanHistory(TASQLite3DB& db, int64_t rowKey, const std::string& returned,
                                                     const std::function<void()>& change);
