#include "catalogue/catalogue_transfer.h"

#include <algorithm>
#include <stdexcept>

#include "catalogue/book_match.h"
#include "catalogue/row_sink.h"
#include "storage/connection.h"
#include "storage/query.h"

const char* const kCatalogueColumns[kCatalogueColumnCount] = {
    "id",           "autor",     "titul",    "zanr",  "vydal", "serie", "umisteni", "zapujcenokomu",
    "zapujcenokdy", "hodnoceni", "poznamka", "udaj1", "udaj2", "udaj3"};

namespace {

// Thrown out of StoreRow to end a walk early; the connection finalizes the
// statement on its way out.
struct StopWalk {};

std::optional<std::string> FirstValue(TASQLite3DB& con, const std::string& sql) {
    std::optional<std::string> value;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (!value && !row.empty() && !row[0].isNull) value = std::string(row[0].text);
    });
    con.SQLiteExecute(sql, &sink);
    return value;
}

bool IsWholeNumber(const std::string& text) {
    size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
    if (i >= text.size() || text.size() - i > 18) return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

void AppendInsert(std::string& sql, const CatalogueRow& row, long long id) {
    sql += "insert into svazkovna values(";
    sql += std::to_string(id);
    for (int c = 1; c < kCatalogueColumnCount; ++c) {
        sql += ',';
        const std::optional<std::string>& value = row[static_cast<size_t>(c)];
        if (!value) {
            sql += "NULL";
        } else if (c == kRatingColumn) {
            if (!IsWholeNumber(*value)) throw std::invalid_argument("rating is not a whole number");
            sql += *value;
        } else {
            // The statement text ends at a zero byte: a text holding one would be cut short.
            if (value->find('\0') != std::string::npos) throw std::invalid_argument("a text holds a zero byte");
            sql += '\'';
            sql += QuoteLiteralBody(*value);
            sql += '\'';
        }
    }
    sql += ");\n";
}

}  // namespace

long long CountCatalogueRows(TASQLite3DB& con) {
    const auto value = FirstValue(con, "select count(*) from svazkovna");
    return value ? std::stoll(*value) : 0;
}

bool ForEachCatalogueRow(TASQLite3DB& con, const std::function<bool(const CatalogueRow&)>& each) {
    CatalogueRow row;
    RowSink sink([&](const std::vector<ColumnValue>& values) {
        for (size_t c = 0; c < row.size(); ++c) {
            if (c >= values.size() || values[c].isNull)
                row[c].reset();
            else
                row[c].emplace(values[c].text);
        }
        if (!each(row)) throw StopWalk{};
    });
    try {
        // Named columns: the export must not depend on how "*" expands.
        std::string sql = "select ";
        for (int c = 0; c < kCatalogueColumnCount; ++c) {
            if (c) sql += ',';
            sql += kCatalogueColumns[c];
        }
        con.SQLiteExecute(sql + " from svazkovna", &sink);
    } catch (const StopWalk&) {
        return false;
    }
    return true;
}

std::string AuthorTitleKey(const std::string& author, const std::string& title) {
    return match::BookKey(author, title);
}

std::unordered_set<std::string> StoredAuthorTitleKeys(TASQLite3DB& con) {
    std::unordered_set<std::string> keys;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (row.size() < 2 || row[0].isNull || row[1].isNull) return;
        std::string key = AuthorTitleKey(std::string(row[0].text), std::string(row[1].text));
        if (!key.empty()) keys.insert(std::move(key));
    });
    // One read of the whole table: it has no index, so a look-up per row would
    // scan it once per imported row.
    con.SQLiteExecute("select autor, titul from svazkovna", &sink);
    return keys;
}

std::unordered_map<std::string, std::string> StoredAuthorForms(TASQLite3DB& con) {
    std::unordered_map<std::string, std::string> forms;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (row.empty() || row[0].isNull) return;
        const std::string author(row[0].text);
        std::string key = match::AuthorKey(author);
        if (!key.empty()) forms.try_emplace(std::move(key), author);
    });
    con.SQLiteExecute("select autor from svazkovna order by id", &sink);
    return forms;
}

std::unordered_set<std::string> StoredUdaj1Texts(TASQLite3DB& con) {
    std::unordered_set<std::string> texts;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (!row.empty() && !row[0].isNull && !row[0].text.empty()) texts.insert(std::string(row[0].text));
    });
    con.SQLiteExecute("select udaj1 from svazkovna", &sink);
    return texts;
}

long long NextCatalogueId(TASQLite3DB& con) {
    const auto value = FirstValue(con, "select max(id)+1 as noveid from svazkovna");
    if (!value || value->empty()) return 1;
    try {
        return std::stoll(*value);
    } catch (const std::exception&) {
        return 1;  // a text id that is no number, as the dialog's integer read gives
    }
}

bool AppendCatalogueRows(TASQLite3DB& con, const std::vector<CatalogueRow>& rows,
                         const std::function<bool(size_t written)>& progress) {
    // Statements go to the engine in batches: one parse call per row would
    // cost more than the rows themselves.
    constexpr size_t kBatch = 250;
    con.StartTransaction();
    try {
        // Taken inside the transaction, so no other writer can take the same ids.
        const long long first = NextCatalogueId(con);
        std::string sql;
        for (size_t i = 0; i < rows.size();) {
            sql.clear();
            const size_t end = std::min(rows.size(), i + kBatch);
            for (; i < end; ++i) AppendInsert(sql, rows[i], first + static_cast<long long>(i));
            con.ExecStatements(sql);
            if (progress && !progress(i)) {
                con.RollBack();
                return false;
            }
        }
        con.Commit();
    } catch (...) {
        // The first failure is the one to report; a failing rollback adds nothing.
        try {
            con.RollBack();
        } catch (...) {}
        throw;
    }
    return true;
}
