// Finding books by any word: the folded index against rows written by the
// engine itself, and the index following rows changed, added and deleted.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "catalogue/book_search.h"
#include "storage/query_fixture.h"

namespace {

using querytest::RunSql;

uint32_t Bit(SearchField f) { return 1u << static_cast<unsigned>(f); }

std::set<int64_t> Keys(const SearchResult& result) {
    std::set<int64_t> keys;
    for (const SearchHit& hit : result.hits) keys.insert(hit.key);
    return keys;
}

class BookSearchTest : public querytest::QueryFixture {
protected:
    void SetUp() override {
        QueryFixture::SetUp();
        // Windows-1250 bytes as other programs stored them: NULLs, stray blanks, ISBNs in several forms.
        RunSql(
            path,
            "insert into svazkovna(rowid,id,autor,titul,zanr,vydal,serie,umisteni,zapujcenokomu,poznamka,udaj1) values"
            "(1,1,'\xC8\x61pek Karel','V\xE1lka s mloky','rom\xE1n','Odeon',NULL,'ob\xFDv\xE1k',NULL,NULL,NULL),"
            "(2,2,'Tolkien J.R.R.','Hobit','fantasy','Argo','St\xF8"
            "edozem\xEC','',"
            "'\x8A\x9D\x61stn\xFD Petr','', '80-7203-123-4'),"
            "(3,2,'Tolkien J.R.R.','Hobit','fantasy','Argo','','p\xF9\x64\x61','','ten druh\xFD v\xFDtisk',"
            "'978 80 257 0000 1'),"
            "(4,4,'Nov','\xE1k','','','','','','',''),"
            "(5,5,'Ibsen','Peer Gynt','drama','','','','','p\xF9j\xE8\x65no na chat\xEC','9788025700001'),"
            "(7,7,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL)");
        con.SetConnected(true);
        search.Build(con);
    }
    BookSearch search;
};

TEST_F(BookSearchTest, FindsEveryWordInAnyFieldCaseAndAccentsIgnored) {
    struct Case {
        const char* query;
        std::set<int64_t> keys;
        uint32_t fieldsOfFirst;
    };
    const Case cases[] = {
        {"capek valka", {1}, Bit(SearchField::Author) | Bit(SearchField::Title)},
        {"  VALKA\t \xC8\x41PEK ", {1}, Bit(SearchField::Author) | Bit(SearchField::Title)},
        {"\x8A\x8D\x41STN\xDD", {2}, Bit(SearchField::Borrower)},  // typed in capitals with háčky
        {"chata", {}, 0},                                          // "chatě" folds to "chate"
        {"chate", {5}, Bit(SearchField::Note)},
        {"druhy vytisk", {3}, Bit(SearchField::Note)},
        {"stredozem", {2}, Bit(SearchField::Series)},
        {"obyvak roman", {1}, Bit(SearchField::Genre) | Bit(SearchField::Location)},
        // Namesakes: both rows, each by its own key.
        {"tolkien hobit", {2, 3}, Bit(SearchField::Author) | Bit(SearchField::Title)},
        // ISBNs found as typed with or without hyphens, whatever form they were stored in.
        {"8072031234", {2}, Bit(SearchField::Isbn)},
        {"80-7203", {2}, Bit(SearchField::Isbn)},
        {"978-80-257-0000-1", {3, 5}, Bit(SearchField::Isbn)},
        // A word never runs over from the author into the title.
        {"novak", {}, 0},
        {"nov ak", {4}, Bit(SearchField::Author) | Bit(SearchField::Title)},
        {"capek hobit", {}, 0},
        {" .,; ", {}, 0},
        {"", {}, 0},
    };
    for (const Case& c : cases) {
        const SearchResult result = search.Find(c.query, 100);
        EXPECT_EQ(Keys(result), c.keys) << c.query;
        EXPECT_EQ(result.total, c.keys.size()) << c.query;
        if (!result.hits.empty()) {
            EXPECT_EQ(result.hits.front().fields, c.fieldsOfFirst) << c.query;
        }
    }
    const SearchResult capek = search.Find("capek", 100);
    ASSERT_EQ(capek.hits.size(), 1u);
    EXPECT_EQ(capek.hits[0].author, "\xC8\x61pek Karel");
    EXPECT_EQ(capek.hits[0].title, "V\xE1lka s mloky");
}

TEST_F(BookSearchTest, LimitKeepsTheTotalAndOrdersByAuthorTitleAndKey) {
    const SearchResult all = search.Find("a", 100);
    std::vector<int64_t> order;
    for (const SearchHit& hit : all.hits) order.push_back(hit.key);
    // Čapek, Ibsen, Nov, Tolkien (2 before 3).
    EXPECT_EQ(order, (std::vector<int64_t>{1, 5, 4, 2, 3}));
    const SearchResult two = search.Find("a", 2);
    EXPECT_EQ(two.total, 5u);
    ASSERT_EQ(two.hits.size(), 2u);
    EXPECT_EQ(two.hits[1].key, 5);
}

TEST_F(BookSearchTest, FollowsRowsChangedAddedAndDeleted) {
    RunSql(path,
           "update svazkovna set autor='Hrabal Bohumil' where rowid=1;"
           "delete from svazkovna where rowid=2;"
           "insert into svazkovna(rowid,autor,titul) values(9,'Hrabal Bohumil','Ostře sledované vlaky');"
           "update svazkovna set autor='Hrabal' where rowid=5;");
    // Row 5 is not named: the index keeps what it read of it until told.
    search.Reread(con, {1, 2, 9, 9});
    EXPECT_EQ(Keys(search.Find("hrabal", 100)), (std::set<int64_t>{1, 9}));
    EXPECT_EQ(Keys(search.Find("capek", 100)), (std::set<int64_t>{}));
    EXPECT_EQ(Keys(search.Find("hobit", 100)), (std::set<int64_t>{3}));
    EXPECT_EQ(Keys(search.Find("ibsen", 100)), (std::set<int64_t>{5}));
    EXPECT_EQ(search.Rows(), 6u);
    search.Remove({3, 42});
    EXPECT_EQ(Keys(search.Find("hobit", 100)), (std::set<int64_t>{}));
    EXPECT_EQ(search.Rows(), 5u);
}

TEST_F(BookSearchTest, ManyRewritesOfOneRowLeaveOneLiveCopy) {
    // Past the compaction threshold: each reading leaves a dead copy behind.
    for (int i = 0; i < 3000; ++i) search.Reread(con, {4, 1});
    RunSql(path, "update svazkovna set titul='pokus 2999' where rowid=4");
    search.Reread(con, {4});
    EXPECT_EQ(search.Find("pokus", 100).total, 1u);
    EXPECT_EQ(Keys(search.Find("pokus 2999", 100)), (std::set<int64_t>{4}));
    EXPECT_EQ(Keys(search.Find("capek", 100)), (std::set<int64_t>{1}));
    EXPECT_EQ(Keys(search.Find("tolkien", 100)), (std::set<int64_t>{2, 3}));
}

}  // namespace
