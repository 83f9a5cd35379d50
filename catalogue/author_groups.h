#pragma once
// Spellings of one author gathered from the whole catalogue ("Tolkien J.R.R.",
// "J.R.R. Tolkien", "TOLKIEN J. R. R."), and the rewrite of the rows the user
// chose to one spelling. Rows are found by their engine key and written only
// while they still hold the author they were read with.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

class TASQLite3DB;

struct AuthorSpelling {
    std::string autor;  // the stored bytes
    int64_t books = 0;
};

struct AuthorGroup {
    // Only initials against full names ("možná"); else the same letters and words.
    bool maybe = false;
    std::vector<AuthorSpelling> spellings;  // most books first, then by the bytes
    int64_t books = 0;
    // The members' keys: a group the user dismissed is known by it, and is
    // offered again only when another spelling joins it.
    std::string identity;
};

// Every group of two or more spellings, the sure ones first, then by books;
// groups whose identity is in `dismissed` are left out. One pass over the rows.
std::vector<AuthorGroup> FindAuthorGroups(TASQLite3DB& db, const std::set<std::string>& dismissed);

struct AuthorRow {
    int64_t key = 0;
    std::string autor;  // as read: the row is written only while it still holds it
    std::string titul;
};

// The rows whose author is exactly one of these spellings, in storage order.
std::vector<AuthorRow> RowsOfAuthors(TASQLite3DB& db, const std::vector<std::string>& spellings);

struct AuthorRewrite {
    std::vector<int64_t> written;
    std::vector<AuthorRow> leftOut;  // changed or deleted meanwhile by another program
};

// Writes `to` as the author of these rows in one transaction, each only while
// it still holds the author it was read with; nothing else of a row changes.
AuthorRewrite RewriteAuthors(TASQLite3DB& db, const std::vector<AuthorRow>& rows, const std::string& to);
