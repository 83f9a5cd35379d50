// Books held twice: by ISBN in the forms catalogues really hold, by author
// and title under the shared keys (a series suffix left out), and the deletion
// of chosen copies only while they are as read.
#include <gtest/gtest.h>

#include "catalogue/book_duplicates.h"
#include "storage/query_fixture.h"

namespace {

using querytest::RunSql;
using querytest::Select1;

std::vector<std::vector<int64_t>> Keys(const std::vector<DuplicateGroup>& groups) {
    std::vector<std::vector<int64_t>> keys;
    for (const DuplicateGroup& g : groups) {
        std::vector<int64_t>& k = keys.emplace_back();
        for (const DuplicateBook& b : g.books) k.push_back(b.key);
        std::sort(k.begin(), k.end());
    }
    return keys;
}

class BookDuplicatesTest : public querytest::QueryFixture {
protected:
    void SetUp() override {
        QueryFixture::SetUp();
        // The ISBN 80-7203-123-6 as other programs stored it: hyphens, ISBN-13,
        // a prefix and a binding note; author and title differ in spelling only.
        RunSql(path,
               "insert into svazkovna(rowid,id,autor,titul,zanr,udaj1) values"
               "(1,1,'Hrabal Bohumil','Ob\xF8\x61 sn\xEC\x9Eky','rom\xE1n','80-7203-123-6'),"
               "(2,2,'Hrabal B.','Obsluhoval jsem anglick\xE9ho kr\xE1le','rom\xE1n','9788072031238'),"
               "(3,3,'Ji\xF8\xED Kol\xE1\xF8','Prometheova j\xE1tra','','ISBN 80-7203-123-6 (v\xE1z.)'),"
               "(4,4,'Pratchett Terry','Mort (Discworld, #4)','fantasy',''),"
               "(5,5,'PRATCHETT, Terry','Mort','fantasy',NULL),"
               "(6,6,'Pratchett Terry','Mort (2. vyd\xE1n\xED)','fantasy',''),"
               "(7,7,'\xC8\x61pek Karel','Krakatit','','80-7203-999-9'),"
               "(8,8,'Kolektiv autor\xF9','','','80-7203-999-9x'),"
               "(9,9,'','Bez autora',NULL,''),(10,10,NULL,'Bez autora',NULL,'')");
        con.SetConnected(true);
    }
};

TEST_F(BookDuplicatesTest, SameIsbnInAnyStoredFormOrSameAuthorAndTitle) {
    const std::vector<DuplicateGroup> groups = FindDuplicates(con, {});
    // The ISBN group first; a title in parentheses that is no series stays apart;
    // an invalid ISBN and books without an author match nothing.
    EXPECT_EQ(Keys(groups), (std::vector<std::vector<int64_t>>{{1, 2, 3}, {4, 5}}));
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_TRUE(groups[0].byIsbn);
    EXPECT_FALSE(groups[1].byIsbn);
    ASSERT_EQ(groups[1].books[0].fields.size(), static_cast<size_t>(kDuplicateColumns));
    EXPECT_EQ(groups[1].books[0].fields[2], "Mort (Discworld, #4)");

    // "dva výtisky": the kept group is not offered again, until another copy joins it.
    EXPECT_EQ(Keys(FindDuplicates(con, {groups[1].identity})), (std::vector<std::vector<int64_t>>{{1, 2, 3}}));
    RunSql(path, "insert into svazkovna(rowid,autor,titul) values(11,'Terry Pratchett','Mort')");
    EXPECT_EQ(Keys(FindDuplicates(con, {groups[1].identity})),
              (std::vector<std::vector<int64_t>>{{1, 2, 3}, {4, 5, 11}}));
}

TEST_F(BookDuplicatesTest, DeletesOnlyTheChosenCopiesStillAsRead) {
    const std::vector<DuplicateGroup> groups = FindDuplicates(con, {});
    ASSERT_EQ(groups.size(), 2u);
    RunSql(path, "update svazkovna set udaj1='80-7203-123-6 (bro\x9E.)' where rowid=2");
    const std::vector<int64_t> deleted = DeleteCopies(con, {groups[0].books[1], groups[0].books[2]});
    EXPECT_EQ(deleted, (std::vector<int64_t>{3}));
    EXPECT_EQ(Select1(path, "select group_concat(rowid) from svazkovna"), "1,2,4,5,6,7,8,9,10");
}

}  // namespace
