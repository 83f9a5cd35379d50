// Spellings of one author grouped as a collector reads them, on the names
// collections really hold, and the rewrite of exactly the rows read, read back
// through the system's own SQLite library.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <set>

#include "catalogue/author_groups.h"
#include "catalogue/book_match.h"
#include "storage/query_fixture.h"

namespace {

using querytest::RunSql;

// Every row, every column as text, by row key: what the rewrite must leave alone.
std::vector<std::string> AllRows(const std::string& path) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select rowid, * from svazkovna order by rowid", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            row += (text ? text : "<NULL>") + std::string("|");
        }
        rows.push_back(row);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

std::string Shown(const AuthorGroup& g) {
    std::string s = (g.maybe ? "~" : "=") + std::to_string(g.books) + ":";
    for (const AuthorSpelling& sp : g.spellings) s += " " + sp.autor + "(" + std::to_string(sp.books) + ")";
    return s;
}

class AuthorGroupsTest : public querytest::QueryFixture {
protected:
    void Add(const std::string& autor, int copies = 1, const std::string& titul = "Hobit") {
        for (int i = 0; i < copies; ++i) {
            const std::string id = std::to_string(++id_);
            RunSql(path, "insert into svazkovna(id,autor,titul,zanr,poznamka,udaj1) values(" + id + ",'" + autor +
                             "','" + titul + "','fantasy','pozn " + id + "','80-1')");
        }
    }
    std::vector<std::string> Groups(const std::set<std::string>& dismissed = {}) {
        con.SetConnected(true);
        std::vector<std::string> shown;
        for (const AuthorGroup& g : FindAuthorGroups(con, dismissed)) shown.push_back(Shown(g));
        return shown;
    }
    int id_ = 0;
};

TEST_F(AuthorGroupsTest, GroupsRealWorldSpellingsSureOnesFirst) {
    // Windows-1250 bytes: Č \xC8, á \xE1, í \xED, ů \xF9.
    Add("Tolkien J.R.R.", 3);
    Add("Tolkien J. R. R.");
    Add("TOLKIEN J.R.R.");
    Add("J.R.R. Tolkien");
    Add("Tolkien, J.R.R.");
    Add("Tolkien John Ronald Reuel", 2);
    Add("Tolkien Christopher");
    Add("\xC8\x61pek Karel", 2);
    Add("Capek Karel");
    Add("\xC8\x41PEK KAREL");
    Add("\xC8\x61pek K.");
    Add("\xC8\x61pek Josef");
    Add("\xC8\x61pek Karel a kol.");  // a collective, never one person
    Add("Goethe Johann Wolfgang von");
    Add("Goethe J. W.");
    Add("Remarque Erich Maria");
    Add("Erich Maria Remarque");
    Add("Garc\xED\x61 M\xE1rquez Gabriel");
    Add("Gabriel Garc\xED\x61 M\xE1rquez");
    Add("Garc\xED\x61 M\xE1rquez G.");
    Add("Kolektiv autor\xF9", 2);
    Add("kolektiv autor\xF9");
    Add("Kolektiv A.");
    Add("Nakladatelstv\xED Albatros");
    Add("Albatros N.");
    Add("Mann Thomas");
    Add("Mann Heinrich");
    Add("Mann T.");
    Add("");
    RunSql(path, "insert into svazkovna(autor,titul) values(NULL,'bez autora')");

    const std::vector<std::string> expected = {
        "=7: Tolkien J.R.R.(3) J.R.R. Tolkien(1) TOLKIEN J.R.R.(1) Tolkien J. R. R.(1) Tolkien, J.R.R.(1)",
        "=4: \xC8\x61pek Karel(2) Capek Karel(1) \xC8\x41PEK KAREL(1)",
        "=3: Kolektiv autor\xF9(2) kolektiv autor\xF9(1)",
        "=2: Erich Maria Remarque(1) Remarque Erich Maria(1)",
        "=2: Gabriel Garc\xED\x61 M\xE1rquez(1) Garc\xED\x61 M\xE1rquez Gabriel(1)",
        "~9: Tolkien J.R.R.(3) Tolkien John Ronald Reuel(2) J.R.R. Tolkien(1) TOLKIEN J.R.R.(1) Tolkien J. R. "
        "R.(1) Tolkien, J.R.R.(1)",
        "~5: \xC8\x61pek Karel(2) Capek Karel(1) \xC8\x41PEK KAREL(1) \xC8\x61pek K.(1)",
        "~3: Gabriel Garc\xED\x61 M\xE1rquez(1) Garc\xED\x61 M\xE1rquez G.(1) Garc\xED\x61 M\xE1rquez Gabriel(1)",
        "~2: Goethe J. W.(1) Goethe Johann Wolfgang von(1)",
        "~2: Mann T.(1) Mann Thomas(1)",
    };
    EXPECT_EQ(Groups(), expected);

    // A dismissed group is not offered again; the others stay.
    con.SetConnected(true);
    const std::vector<AuthorGroup> all = FindAuthorGroups(con, {});
    std::vector<std::string> fewer = Groups({all[1].identity, all[9].identity});
    EXPECT_EQ(fewer.size(), expected.size() - 2);
    EXPECT_EQ(std::count(fewer.begin(), fewer.end(), expected[1]), 0);
    EXPECT_EQ(std::count(fewer.begin(), fewer.end(), expected[9]), 0);
    // Until another spelling joins it.
    Add("Karel \xC8\x61pek");
    EXPECT_EQ(Groups({all[1].identity})[1],
              "=5: \xC8\x61pek Karel(2) Capek Karel(1) Karel \xC8\x61pek(1) \xC8\x41PEK KAREL(1)");
}

// A family of namesakes, as a large collection holds them: many first names
// under one surname. Only names alike in their words' first letters are
// compared; the groups must be those that comparing every pair gives.
TEST_F(AuthorGroupsTest, MaybeGroupsAreThoseOfComparingEveryPair) {
    // Windows-1250 bytes: á \xE1, í \xED, ř \xF8, ů \xF9.
    const std::vector<std::string> names = {"Nov\xE1k Jan",
                                            "Nov\xE1k J.",
                                            "Nov\xE1k Josef",
                                            "Nov\xE1k J. K.",
                                            "Nov\xE1k Jan Karel",
                                            "Nov\xE1k Petr",
                                            "P. Nov\xE1k",
                                            "Nov\xE1kov\xE1 Jana",
                                            "Nov\xE1kov\xE1 J.",
                                            "Nov\xE1k Jan a kol.",
                                            "Dvo\xF8\xE1k Anton\xEDn",
                                            "Dvo\xF8\xE1k A.",
                                            "Dvo\xF8\xE1k A. L.",
                                            "Dvo\xF8\xE1k Anton\xEDn Leopold",
                                            "Mann T.",
                                            "Mann Thomas",
                                            "Mann Heinrich",
                                            "Mann H.",
                                            "Mann Klaus",
                                            "K. Mann",
                                            "Goethe J. W.",
                                            "von Goethe Johann W.",
                                            "Goethe Johann Wolfgang von",
                                            "Garc\xED\x61 M\xE1rquez G.",
                                            "M\xE1rquez Garc\xED\x61 Gabriel",
                                            "Kolektiv autor\xF9",
                                            "Kolektiv A.",
                                            "Albatros N.",
                                            "Nakladatelstv\xED Albatros",
                                            "Hrabal B.",
                                            "Bohumil Hrabal",
                                            "Hrabal Bohumil",
                                            "Tolkien J.R.R.",
                                            "Tolkien John Ronald Reuel",
                                            "Tolkien Christopher",
                                            "Tolkien C.",
                                            "Tolkien J.R.",
                                            "Tolkien R."};
    for (const std::string& n : names) Add(n);

    // Every pair compared, the matching ones joined.
    std::map<std::string, std::string> classOf;
    for (const std::string& n : names) classOf[n] = n;
    const auto root = [&](std::string n) {
        while (classOf[n] != n) n = classOf[n];
        return n;
    };
    std::set<std::string> keys;
    std::vector<std::string> distinct;  // one spelling per author key: the sure groups aside
    for (const std::string& n : names)
        if (keys.insert(match::AuthorKey(n)).second) distinct.push_back(n);
    for (const std::string& a : distinct)
        for (const std::string& b : distinct)
            if (a < b && match::InitialsMatch(a, b)) classOf[root(a)] = root(b);
    std::map<std::string, std::set<std::string>> classes;
    for (const std::string& n : distinct) classes[root(n)].insert(n);
    std::set<std::set<std::string>> expected;
    for (const auto& [r, members] : classes)
        if (members.size() > 1) expected.insert(members);

    con.SetConnected(true);
    std::set<std::set<std::string>> found;
    for (const AuthorGroup& g : FindAuthorGroups(con, {})) {
        std::set<std::string> members;
        for (const AuthorSpelling& sp : g.spellings)
            if (std::find(distinct.begin(), distinct.end(), sp.autor) != distinct.end()) members.insert(sp.autor);
        if (g.maybe) found.insert(members);
    }
    EXPECT_EQ(found, expected);
    // The pairs a reader expects among them, so that the comparison above is not of two empty sets.
    const auto together = [&](const std::string& a, const std::string& b) {
        return std::any_of(found.begin(), found.end(), [&](const auto& g) { return g.count(a) && g.count(b); });
    };
    EXPECT_TRUE(together("Dvo\xF8\xE1k A. L.", "Dvo\xF8\xE1k Anton\xEDn Leopold"));
    EXPECT_TRUE(together("Mann Klaus", "K. Mann"));
    EXPECT_TRUE(together("Hrabal B.", "Bohumil Hrabal"));
    EXPECT_TRUE(together("Goethe J. W.", "Goethe Johann Wolfgang von"));
    EXPECT_TRUE(together("Tolkien Christopher", "Tolkien C."));
    EXPECT_FALSE(together("Mann Thomas", "Mann Heinrich"));
    EXPECT_FALSE(together("Nov\xE1k Jan a kol.", "Nov\xE1k Jan"));
    EXPECT_FALSE(together("Kolektiv autor\xF9", "Kolektiv A."));
}

TEST_F(AuthorGroupsTest, RewritesExactlyTheRowsReadThatStillHoldTheirAuthor) {
    Add("Tolkien J.R.R.", 3);  // namesakes: one author, one title, three rows
    Add("J.R.R. Tolkien", 2);
    Add("Tolkien J.R.R.", 1, "P\xE1n prsten\xF9");
    Add("Tolkien J. R. R.");           // the kept form
    Add("Tolkien John Ronald Reuel");  // unticked: stays
    con.SetConnected(true);
    const std::vector<AuthorRow> rows = RowsOfAuthors(con, {"Tolkien J.R.R.", "J.R.R. Tolkien"});
    std::vector<int64_t> keys;
    for (const AuthorRow& r : rows) keys.push_back(r.key);
    EXPECT_EQ(keys, (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));

    // Another program changes one row and deletes another between reading and writing.
    RunSql(path,
           "update svazkovna set autor='Tolkien J.R.R. (ed.)' where rowid=2; delete from svazkovna where rowid=5");
    const std::vector<std::string> before = AllRows(path);
    const AuthorRewrite done = RewriteAuthors(con, rows, "Tolkien J. R. R.");
    EXPECT_EQ(done.written, (std::vector<int64_t>{1, 3, 4, 6}));
    ASSERT_EQ(done.leftOut.size(), 2u);
    EXPECT_EQ(done.leftOut[0].key, 2);
    EXPECT_EQ(done.leftOut[1].key, 5);
    EXPECT_EQ(done.leftOut[1].titul, "Hobit");

    std::vector<std::string> expected = before;
    for (std::string& row : expected) {
        for (const char* from : {"|Tolkien J.R.R.|", "|J.R.R. Tolkien|"}) {
            const size_t at = row.find(from);
            if (at != std::string::npos && row.rfind("2|", 0) != 0) row.replace(at, strlen(from), "|Tolkien J. R. R.|");
        }
    }
    EXPECT_EQ(AllRows(path), expected);
}

}  // namespace
