#include "catalogue/tree_rows.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string_view>
#include <unordered_map>

#include "storage/connection.h"
#include "storage/engine_api.h"
#include "storage/field_info.h"
#include "storage/query.h"

namespace {

const char* const kAuthorsSql = "select distinct autor from svazkovna order by autor";

// Every title in storage order with its author, the author's stored length,
// the row's key and the title's stored length (-1 when it is not a text).
// A node's titles are those whose author equals its text byte for byte; the
// queries deliver an author cut (to the column's declared size, at most 255
// bytes, and at a zero byte), and a cut author equals no node's text, so rows
// whose delivered author is shorter than the stored one are left out. NULL and
// blob authors never equal a text either.
const char* const kTitlesSql =
    "select autor, titul, length(cast(autor as blob)), cast(rowid as text), "
    "case typeof(titul) when 'text' then length(cast(titul as blob)) else -1 end from svazkovna "
    "where typeof(autor) = 'text'";

void ReplaceSQL(TASQLite3Query& query, const char* sql) {
    query.SQL().Clear();
    query.SQL().Add(sql);
}

// The engine's result codes and value types.
constexpr int kOk = 0, kRow = 100, kDone = 101;
constexpr int kText = 3, kNull = 5;

struct Statement {
    const EngineApi& api;
    sqlite3_stmt* st = nullptr;
    ~Statement() {
        if (st) api.finalize(st);
    }
};

std::string_view Text(const EngineApi& api, sqlite3_stmt* st, int column) {
    const auto* chars = reinterpret_cast<const char*>(api.column_text(st, column));
    return chars ? std::string_view(chars, static_cast<size_t>(api.column_bytes(st, column))) : std::string_view();
}

// What the query component makes of a text in a string field of `size` bytes.
std::string_view Delivered(std::string_view text, size_t size) {
    text = text.substr(0, std::min(text.size(), size));
    if (const void* zero = text.empty() ? nullptr : std::memchr(text.data(), 0, text.size()))
        text = text.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - text.data()));
    return text;
}

// The table as the template declares it: no collation that would make the
// engine's distinct and order differ from comparing bytes, and no index that
// could make it read the rows in another order than the statements would.
bool PlainTable(TASQLite3DB& db) {
    const EngineApi& api = db.Api();
    Statement s{api};
    if (api.prepare(db.Handle(), "select type, sql from sqlite_master where tbl_name='svazkovna'", -1, &s.st,
                    nullptr) != kOk ||
        !s.st)
        return false;
    int tables = 0, rc;
    while ((rc = api.step(s.st)) == kRow) {
        if (Text(api, s.st, 0) == "trigger") continue;
        if (Text(api, s.st, 0) != "table") return false;
        std::string sql(Text(api, s.st, 1));
        std::transform(sql.begin(), sql.end(), sql.begin(), [](unsigned char c) { return std::tolower(c); });
        if (sql.find("collate") != std::string::npos) return false;
        ++tables;
    }
    return rc == kDone && tables == 1;
}

// The size of the string field the component gives a column, or none for another kind.
std::optional<size_t> StringFieldSize(const char* declared) {
    try {
        const FieldInfo info = GetFieldInfo(declared ? declared : "string");
        if (info.kind != TFieldType::ftString) return std::nullopt;
        return static_cast<size_t>(std::max(info.size, 0));
    } catch (...) {
        return std::nullopt;  // the component would refuse the column; let it say so
    }
}

}  // namespace

std::vector<std::string> ReadTreeAuthors(TASQLite3Query& query) {
    ReplaceSQL(query, kAuthorsSql);
    query.Open();
    query.First();
    const int count = query.RecordCount();
    std::vector<std::string> authors;
    authors.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        authors.push_back(query.Fields(0).AsString());
        query.Next();
    }
    return authors;
}

void ReadTreeTitles(TASQLite3Query& query, TreeRows& rows) {
    std::unordered_map<std::string, std::vector<TreeTitle>> titles;
    ReplaceSQL(query, kTitlesSql);
    query.Open();
    query.First();
    const int n = query.RecordCount();
    for (int i = 0; i < n; ++i) {
        std::string author = query.Fields(0).AsString();
        if (std::to_string(author.size()) == query.Fields(2).AsString()) {
            const std::string title = query.Fields(1).AsString();
            // A view in the table's place has no row keys: clicks then search as they always did.
            rows.keysKnown = rows.keysKnown && !query.Fields(3).AsString().empty();
            const bool whole = std::to_string(title.size()) == query.Fields(4).AsString();
            rows.AddTitle(titles[std::move(author)], title,
                          std::strtoll(query.Fields(3).AsString().c_str(), nullptr, 10), whole);
        }
        query.Next();
    }
    rows.titles.clear();
    rows.titles.reserve(rows.authors.size());
    for (const std::string& a : rows.authors) {
        const auto found = titles.find(a);
        rows.titles.push_back(found == titles.end() ? std::vector<TreeTitle>{} : found->second);
    }
}

std::optional<TreeRows> ReadTreeRows(TASQLite3DB& db) {
    if (!db.Connected() || !db.Handle() || !PlainTable(db)) return std::nullopt;
    const EngineApi& api = db.Api();
    Statement s{api};
    if (api.prepare(db.Handle(), "select autor, titul, rowid from svazkovna", -1, &s.st, nullptr) != kOk || !s.st)
        return std::nullopt;
    const std::optional<size_t> authorSize = StringFieldSize(api.column_decltype(s.st, 0));
    const std::optional<size_t> titleSize = StringFieldSize(api.column_decltype(s.st, 1));
    if (!authorSize || !titleSize) return std::nullopt;

    TreeRows rows;
    // Distinct stored authors (the engine tells them apart by all their bytes),
    // each with its titles when the query delivers all of it. The map's keys
    // view strings kept in the deque, which never moves them.
    struct Author {
        std::vector<TreeTitle> titles;
        bool whole = false;
        size_t usedAt = SIZE_MAX;  // the first node given the titles
    };
    std::deque<std::string> stored;
    std::unordered_map<std::string_view, Author> authors;
    bool anyNull = false;
    int rc;
    while ((rc = api.step(s.st)) == kRow) {
        const int type = api.column_type(s.st, 0);
        if (type == kNull) {
            anyNull = true;
            continue;
        }
        if (type != kText) return std::nullopt;
        const std::string_view text = Text(api, s.st, 0);
        auto found = authors.find(text);
        if (found == authors.end()) {
            found = authors.emplace(stored.emplace_back(text), Author{}).first;
            found->second.whole = Delivered(text, *authorSize).size() == text.size();
        }
        if (!found->second.whole) continue;  // a cut author equals no node's text
        // A value's type is asked before its text: reading it as text may convert it.
        const bool titleText = api.column_type(s.st, 1) == kText;
        const std::string_view title = Text(api, s.st, 1);
        const std::string_view shown = Delivered(title, *titleSize);
        const bool keyed = api.column_type(s.st, 2) != kNull;
        rows.keysKnown = rows.keysKnown && keyed;
        rows.AddTitle(found->second.titles, shown, keyed ? api.column_int64(s.st, 2) : 0,
                      titleText && shown.size() == title.size());
    }
    if (rc != kDone) return std::nullopt;

    // The engine orders distinct texts by their bytes, NULL before them.
    std::vector<std::string_view> order(stored.begin(), stored.end());
    std::sort(order.begin(), order.end());
    if (anyNull) rows.authors.emplace_back();
    for (std::string_view a : order) rows.authors.emplace_back(Delivered(a, *authorSize));
    // A node's titles are those of the rows whose author is all of its text:
    // authors cut to the same text, and NULL beside the empty text, share them.
    rows.titles.reserve(rows.authors.size());
    for (size_t i = 0; i < rows.authors.size(); ++i) {
        const auto found = authors.find(rows.authors[i]);
        if (found == authors.end() || !found->second.whole) {
            rows.titles.emplace_back();
        } else if (found->second.usedAt == SIZE_MAX) {
            found->second.usedAt = i;
            rows.titles.push_back(std::move(found->second.titles));
        } else {
            rows.titles.push_back(rows.titles[found->second.usedAt]);  // reserved: no reallocation
        }
    }
    return rows;
}
