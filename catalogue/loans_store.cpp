#include "catalogue/loans_store.h"

#include <algorithm>
#include <functional>
#include <map>

#include "catalogue/in_transaction.h"
#include "catalogue/loan_history.h"
#include "storage/connection.h"
#include "storage/query.h"

namespace {

// The queries deliver at most this many bytes of a text.
constexpr std::string::size_type kDeliveredTextBytes = 255;

// The row key as text under a name of its own: a column named "rowid" would
// become the result store's 32-bit key instead of a field, and read as an
// integer column it would be cut to 32 bits as well.
const char* const kLoanColumns =
    "select cast(rowid as text) as radek, cast(id as text) as cislo, zapujcenokomu, zapujcenokdy, autor, titul, "
    "umisteni from svazkovna";

std::vector<LoanRow> ReadRows(TASQLite3DB& db, const std::string& sql) {
    TASQLite3Query query("loansq");
    query.SetConnection(&db);
    query.SQL().Add(sql);
    query.Open();
    std::vector<LoanRow> rows;
    const int n = query.RecordCount();
    rows.reserve(static_cast<size_t>(n));
    query.First();
    for (int i = 0; i < n; ++i) {
        rows.push_back({std::stoll(query.Fields(0).AsString()), query.Fields(1).AsString(), query.Fields(2).AsString(),
                        query.Fields(3).AsString(), query.Fields(4).AsString(), query.Fields(5).AsString(),
                        query.Fields(6).AsString()});
        query.Next();
    }
    return rows;
}

// The column still holds what was read: the text as a query delivers it (up
// to its first zero byte, which another tool may have written, and at most
// kDeliveredTextBytes bytes) is the text read.
std::string Holds(const char* column, const std::string& read) {
    const std::string text = std::string("cast(ifnull(") + column + ",'') as blob)";
    const std::string zero = "instr(" + text + ",x'00')";
    const std::string delivered = "substr(" + text + ",1,case when " + zero + ">0 and " + zero +
                                  "<=" + std::to_string(kDeliveredTextBytes) + " then " + zero + "-1 else " +
                                  std::to_string(kDeliveredTextBytes) + " end)";
    // Compared as hexadecimal digits: an empty blob and an empty text are not equal in the engine.
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : read) hex += {digits[c >> 4], digits[c & 15]};
    return "hex(" + delivered + ")='" + hex + "'";
}

}  // namespace

std::vector<LoanRow> ReadLoanRows(TASQLite3DB& db) {
    return ReadRows(db, std::string(kLoanColumns) + " where zapujcenokomu<>'' or zapujcenokdy<>''");
}

std::optional<LoanRow> ReadLoanRow(TASQLite3DB& db, int64_t rowKey) {
    std::vector<LoanRow> rows = ReadRows(db, std::string(kLoanColumns) + " where rowid=" + std::to_string(rowKey));
    if (rows.empty()) return std::nullopt;
    return std::move(rows.front());
}

std::vector<std::string> ReadBorrowers(TASQLite3DB& db) {
    TASQLite3Query query("borrowersq");
    query.SetConnection(&db);
    query.SQL().Add("select distinct zapujcenokomu from svazkovna order by zapujcenokomu");
    query.Open();
    std::vector<std::string> names;
    query.First();
    for (int i = 0, n = query.RecordCount(); i < n; ++i) {
        std::string name = query.Fields(0).AsString();
        if (!name.empty() && (names.empty() || names.back() != name)) names.push_back(std::move(name));
        query.Next();
    }
    return names;
}

std::string LoanUpdateSql(const LoanRow& row, const std::string& komu, const std::string& kdy) {
    return "update svazkovna set zapujcenokomu='" + QuoteLiteralBody(komu) + "',zapujcenokdy='" +
           QuoteLiteralBody(kdy) + "' where rowid=" + std::to_string(row.rowid) + " and " +
           Holds("zapujcenokomu", row.komu) + " and " + Holds("zapujcenokdy", row.kdy) + " and " +
           Holds("autor", row.autor) + " and " + Holds("titul", row.titul);
}

namespace {

// Runs the rows' updates in one transaction; `before` runs inside it first,
// `after` last with the rows that were changed.
std::vector<LoanRow> WriteInTransaction(TASQLite3DB& db, const std::vector<LoanRow>& rows, const std::string& komu,
                                        const std::string& kdy, const std::function<void()>& before,
                                        const std::function<void(const std::vector<LoanRow>&)>& after) {
    std::vector<std::string> statements;
    statements.reserve(rows.size());
    for (const LoanRow& row : rows) statements.push_back(LoanUpdateSql(row, komu, kdy));

    std::vector<LoanRow> changed;
    InTransaction(db, [&] {
        if (before) before();
        TASQLite3Query query("loanq");
        query.SetConnection(&db);
        for (size_t i = 0; i < rows.size(); ++i) {
            query.SQL().Clear();
            query.SQL().Add(statements[i]);
            query.ExecSQL();
            if (db.RowsAffected() > 0) changed.push_back(rows[i]);
        }
        if (after) after(changed);
    });
    return changed;
}

}  // namespace

std::vector<LoanRow> WriteLoanFields(TASQLite3DB& db, const std::vector<LoanRow>& rows, const std::string& komu,
                                     const std::string& kdy) {
    return WriteInTransaction(db, rows, komu, kdy, {}, {});
}

ReturnResult ReturnLoanRows(TASQLite3DB& db, const std::vector<LoanRow>& rows, const std::string& returned) {
    ReturnResult result;
    // The loan texts whole (a read row holds at most 255 bytes of each), read
    // inside the transaction before they are emptied.
    std::map<int64_t, RowLoanState> whole;
    const auto readWhole = [&] {
        for (const LoanRow& row : rows) {
            const int64_t key = row.rowid;
            if (std::optional<RowLoanState> state = ReadRowLoanState(db, key)) whole[key] = std::move(*state);
        }
    };
    const auto keepHistory = [&](const std::vector<LoanRow>& changed) {
        std::vector<EndedLoan> ended;
        ended.reserve(changed.size());
        for (const LoanRow& row : changed) {
            const RowLoanState& state = whole[row.rowid];
            ended.push_back({row.rowid, state.komu, state.kdy});
        }
        const std::vector<int64_t> lost = AppendLoanHistory(db, ended, returned);
        for (const LoanRow& row : changed)
            if (std::find(lost.begin(), lost.end(), row.rowid) != lost.end()) result.historyLost.push_back(row);
    };
    result.changed = WriteInTransaction(db, rows, "", "", readWhole, keepHistory);
    return result;
}
