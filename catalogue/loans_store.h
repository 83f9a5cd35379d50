#pragma once
// The catalogue's loans, read and written through the query layer: every row
// whose "zapujcenokomu" or "zapujcenokdy" is not empty, and the change of
// those two fields on exactly the rows the user chose. Texts are the stored
// 8-bit bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TASQLite3DB;

// One row as read. The ids of a catalogue may repeat, be NULL, 0 or beyond 32
// bits, so a row is told apart by the engine's row key, and a change is made
// only while the row still holds the texts read here.
struct LoanRow {
    int64_t rowid = 0;
    std::string id;  // decimal text of the id column, empty for NULL
    std::string komu;
    std::string kdy;
    std::string autor;
    std::string titul;
    std::string umisteni;
};

// Every lent row, in storage order.
std::vector<LoanRow> ReadLoanRows(TASQLite3DB& db);
// The row with this key; none when it is gone.
std::optional<LoanRow> ReadLoanRow(TASQLite3DB& db, int64_t rowKey);
// The distinct names lent to so far, sorted by the engine, without the empty one.
std::vector<std::string> ReadBorrowers(TASQLite3DB& db);

// Sets "zapujcenokomu" and "zapujcenokdy" of each row, one statement per row,
// all in one transaction, so a failure (a locked or read-only catalogue)
// changes nothing and raises the engine's message. A row that no longer holds
// what was read (another program changed the catalogue meanwhile) is left as
// it is. Returns the rows that were changed.
std::vector<LoanRow> WriteLoanFields(TASQLite3DB& db, const std::vector<LoanRow>& rows, const std::string& komu,
                                     const std::string& kdy);

// Empties both loan fields of each row, as WriteLoanFields does, and keeps
// each loan it finished in that row's history (`udaj3`), in the same
// transaction. `returned` is the day, d.m.yyyy.
struct ReturnResult {
    std::vector<LoanRow> changed;
    std::vector<LoanRow> historyLost;  // returned, but their `udaj3` holds foreign text
};
ReturnResult ReturnLoanRows(TASQLite3DB& db, const std::vector<LoanRow>& rows, const std::string& returned);

// The update statement for one row (exposed for tests and the fuzzer of literals).
std::string LoanUpdateSql(const LoanRow& row, const std::string& komu, const std::string& kdy);
