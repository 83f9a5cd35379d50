#pragma once
// The rows the main window's tree is made of, read in one pass over the table:
// the distinct authors exactly as "select distinct autor from svazkovna order
// by autor" delivers them through the query component, and for each the
// titles of the rows whose delivered author is all of the stored one, in
// storage order, with their row keys. One pass instead of a sorted distinct
// and a second scan: the tree is rebuilt after every change another program made.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TASQLite3DB;
class TASQLite3Query;

struct TreeTitle {
    size_t at = 0, size = 0;  // the title as the query component delivers it, in TreeRows::text
    int64_t key = 0;          // the row's engine key
    bool whole = false;       // a text, and all of it delivered
};

struct TreeRows {
    std::vector<std::string> authors;            // delivered, in the engine's order
    std::vector<std::vector<TreeTitle>> titles;  // per author, in storage order
    bool keysKnown = true;                       // false where the rows have no keys (a view)
    // Every title's bytes one after another: one buffer, not one per title.
    std::string text;

    std::string_view Title(const TreeTitle& t) const { return std::string_view(text).substr(t.at, t.size); }
    void AddTitle(std::vector<TreeTitle>& to, std::string_view title, int64_t key, bool whole) {
        to.push_back({text.size(), title.size(), key, whole});
        text.append(title);
    }
};

// The same through the statements the tree is specified with, on the query
// component: the distinct authors first, then every row's title.
std::vector<std::string> ReadTreeAuthors(TASQLite3Query& query);
void ReadTreeTitles(TASQLite3Query& query, TreeRows& rows);

// None when one pass cannot tell for sure what the statements would deliver:
// a table declared with a collation or with columns of another kind, authors
// that are numbers or blobs, a table that is a view, a busy or failing read.
// The caller then runs the statements, which also report what fails.
std::optional<TreeRows> ReadTreeRows(TASQLite3DB& db);
