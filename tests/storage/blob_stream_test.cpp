// Blob fields through a byte stream: reading the stored bytes, and writing
// that marks the row modified so that the next move posts it.
#include "query_fixture.h"
#include "storage/blob_stream.h"
#include "storage/errors.h"
#include "storage/update_sql.h"

using querytest::MessageOf;
using querytest::RunSql;
using querytest::Select1;

namespace {

class BlobStreamTest : public querytest::QueryFixture {
protected:
    void SetUp() override {
        QueryFixture::SetUp();
        RunSql(path, "create table obal(id integer, data blob); insert into obal values(1, x'00ff41'), (2, null)");
        usql.UpdateSQL.Add("update obal * where id=:id");
        query.SetUpdateSQL(&usql);
        OpenSql("select id, data from obal order by id");
    }
    TASQLite3UpdateSQL usql{"usql1"};
};

TEST_F(BlobStreamTest, ReadsTheStoredBytes) {
    TASQLite3BlobStream stream(query.Fields(1), TBlobStreamMode::bmRead);
    EXPECT_EQ(stream.Size(), 3);
    char buffer[8] = {};
    EXPECT_EQ(stream.Seek(1, TSeekOrigin::soBeginning), 1);
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 2u);
    EXPECT_EQ(std::string(buffer, 2),
              "\xff"
              "A");
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0u);
    EXPECT_THROW(stream.Write("x", 1), EDatabaseError);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { TASQLite3BlobStream(query.Fields(0), TBlobStreamMode::bmRead); }),
              "Field 'id' is not a blob field");
}

TEST_F(BlobStreamTest, WritingMarksTheRowModifiedAndAMovePostsIt) {
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { TASQLite3BlobStream(query.Fields(1), TBlobStreamMode::bmWrite); }),
              "query1: Dataset not in edit or insert mode");
    query.Edit();
    EXPECT_FALSE(query.Modified());
    {
        TASQLite3BlobStream stream(query.Fields(1), TBlobStreamMode::bmReadWrite);
        stream.Seek(0, TSeekOrigin::soEnd);
        stream.Write("BC", 2);
        stream.Seek(0, TSeekOrigin::soBeginning);
        stream.Write("a", 1);
    }
    EXPECT_TRUE(query.Modified());
    EXPECT_EQ(query.Fields(1).AsString(), std::string("a\xff"
                                                      "ABC",
                                                      5));
    query.Next();
    query.Edit();
    TASQLite3BlobStream(query.Fields(1), TBlobStreamMode::bmWrite).Write("nové", 5);
    query.First();  // posts row 2
    EXPECT_EQ(Select1(path, "select cast(data as text) from obal where id=2"), "nové");
    EXPECT_EQ(Select1(path, "select hex(data) from obal where id=1"), "61FF414243");
}

}  // namespace
