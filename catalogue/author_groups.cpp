#include "catalogue/author_groups.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <numeric>
#include <unordered_map>

#include "catalogue/book_match.h"
#include "catalogue/in_transaction.h"
#include "catalogue/row_sink.h"
#include "storage/connection.h"
#include "storage/query.h"

namespace {

struct Key {
    std::string autorKey;
    std::vector<size_t> spellings;  // into the spellings read
    bool initials = false;          // has a word of one letter
};

// The keys linked by initials, as the classes of a union-find.
struct Classes {
    explicit Classes(size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), size_t{0}); }
    size_t Find(size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    }
    void Join(size_t a, size_t b) { parent[Find(a)] = Find(b); }
    std::vector<size_t> parent;
};

AuthorGroup MakeGroup(bool maybe, const std::vector<const Key*>& keys, const std::vector<AuthorSpelling>& all) {
    AuthorGroup group;
    group.maybe = maybe;
    std::vector<std::string> identity;
    for (const Key* k : keys) {
        identity.push_back(k->autorKey);
        for (const size_t s : k->spellings) group.spellings.push_back(all[s]);
    }
    std::sort(group.spellings.begin(), group.spellings.end(), [](const AuthorSpelling& a, const AuthorSpelling& b) {
        return a.books != b.books ? a.books > b.books : a.autor < b.autor;
    });
    for (const AuthorSpelling& s : group.spellings) group.books += s.books;
    std::sort(identity.begin(), identity.end());
    group.identity = maybe ? "~" : "=";
    for (const std::string& k : identity) group.identity.append(group.identity.size() > 1 ? "|" : "").append(k);
    // Same-letter groups are told by their spellings' folded texts instead: their key is one.
    if (!maybe) {
        std::vector<std::string> folded;
        for (const AuthorSpelling& s : group.spellings) folded.push_back(match::Fold(s.autor));
        std::sort(folded.begin(), folded.end());
        folded.erase(std::unique(folded.begin(), folded.end()), folded.end());
        group.identity = "=";
        for (const std::string& f : folded) group.identity.append(group.identity.size() > 1 ? "|" : "").append(f);
    }
    return group;
}

int64_t KeyOf(std::string_view text) {
    int64_t key = 0;
    std::from_chars(text.data(), text.data() + text.size(), key);
    return key;
}

}  // namespace

std::vector<AuthorGroup> FindAuthorGroups(TASQLite3DB& db, const std::set<std::string>& dismissed) {
    std::unordered_map<std::string, int64_t> counts;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (!row.empty() && !row[0].isNull) ++counts[std::string(row[0].text)];
    });
    db.SQLiteExecute("select autor from svazkovna", &sink);

    std::vector<AuthorSpelling> spellings;
    spellings.reserve(counts.size());
    for (auto& [autor, books] : counts) spellings.push_back({autor, books});
    std::vector<Key> keys;
    std::unordered_map<std::string, size_t> keyAt;
    for (size_t s = 0; s < spellings.size(); ++s) {
        std::string k = match::AuthorKey(spellings[s].autor);
        if (k.empty()) continue;
        auto [it, fresh] = keyAt.try_emplace(k, keys.size());
        if (fresh) keys.push_back({std::move(k), {}, false});
        keys[it->second].spellings.push_back(s);
    }

    std::vector<AuthorGroup> groups;
    for (const Key& k : keys)
        if (k.spellings.size() > 1) groups.push_back(MakeGroup(false, {&k}, spellings));

    // Initials against full names. Each name is split once; a name with an
    // initial is compared only with names alike in the first letters of their
    // words and sharing one whole word with it (the surname), so a catalogue
    // of many authors compares few pairs.
    std::vector<match::NameWords> names(keys.size());
    std::unordered_map<std::string, std::vector<size_t>> alike;  // letters + one whole word
    std::vector<std::string> letters(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        if (match::IsCollective(keys[i].autorKey)) continue;
        // The spellings as written: the order of the first names counts here.
        names[i] = match::SplitName(spellings[keys[i].spellings[0]].autor);
        letters[i] = match::InitialLetters(names[i]);
        for (const std::string& w : names[i].words) {
            if (w.size() == 1)
                keys[i].initials = true;
            else
                alike[letters[i] + ' ' + w].push_back(i);
        }
    }
    Classes classes(keys.size());
    std::vector<bool> linked(keys.size(), false);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i].initials) continue;
        for (const std::string& w : names[i].words) {
            if (w.size() < 2) continue;
            const auto bucket = alike.find(letters[i] + ' ' + w);
            if (bucket == alike.end()) continue;
            for (const size_t j : bucket->second) {
                if (j == i || classes.Find(i) == classes.Find(j)) continue;
                if (!match::InitialsMatch(names[i], names[j])) continue;
                classes.Join(i, j);
                linked[i] = linked[j] = true;
            }
        }
    }
    std::map<size_t, std::vector<const Key*>> maybe;
    for (size_t i = 0; i < keys.size(); ++i)
        if (linked[i]) maybe[classes.Find(i)].push_back(&keys[i]);
    for (const auto& [root, members] : maybe) groups.push_back(MakeGroup(true, members, spellings));

    groups.erase(std::remove_if(groups.begin(), groups.end(),
                                [&](const AuthorGroup& g) { return dismissed.count(g.identity) > 0; }),
                 groups.end());
    std::sort(groups.begin(), groups.end(), [](const AuthorGroup& a, const AuthorGroup& b) {
        if (a.maybe != b.maybe) return !a.maybe;
        if (a.books != b.books) return a.books > b.books;
        return a.identity < b.identity;
    });
    return groups;
}

std::vector<AuthorRow> RowsOfAuthors(TASQLite3DB& db, const std::vector<std::string>& spellings) {
    std::vector<AuthorRow> rows;
    if (spellings.empty()) return rows;
    std::string in;
    for (const std::string& s : spellings) in.append(in.empty() ? "'" : ",'").append(QuoteLiteralBody(s)).append("'");
    // The row key as text under a name of its own: a column named "rowid" becomes no value.
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (row.size() >= 3) rows.push_back({KeyOf(row[0].text), std::string(row[1].text), std::string(row[2].text)});
    });
    db.SQLiteExecute("select cast(rowid as text) as radek, autor, titul from svazkovna where autor in (" + in + ")",
                     &sink);
    return rows;
}

AuthorRewrite RewriteAuthors(TASQLite3DB& db, const std::vector<AuthorRow>& rows, const std::string& to) {
    AuthorRewrite done;
    const std::string set = "update svazkovna set autor='" + QuoteLiteralBody(to) + "' where rowid=";
    InTransaction(db, [&] {
        for (const AuthorRow& row : rows) {
            db.ExecStatements(set + std::to_string(row.key) + " and autor='" + QuoteLiteralBody(row.autor) + "'");
            if (db.RowsAffected() > 0)
                done.written.push_back(row.key);
            else
                done.leftOut.push_back(row);
        }
    });
    return done;
}
