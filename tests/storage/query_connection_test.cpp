// Connection scenarios run through a real query rather than a double.
#include "query_fixture.h"
#include "storage/errors.h"

using querytest::MessageOf;
using querytest::RunSql;
using querytest::Select1;

namespace {

using QueryConnectionTest = querytest::QueryFixture;

TEST_F(QueryConnectionTest, OpenConnectsByItselfAndReportsEngineMessagesWordForWord) {
    ASSERT_FALSE(con.Connected());
    OpenSql("select count(*) from svazkovna");
    EXPECT_TRUE(con.Connected());
    EXPECT_EQ(query.Fields(0).AsString(), "0");
    struct Case {
        const char* sql;
        const char* message;
    } cases[] = {
        {"select * from nikde", "no such table: nikde"},
        {"selec 1", "near \"selec\": syntax error"},
        {"insert into svazkovna(id, nic) values(1, 2)", "table svazkovna has no column named nic"},
    };
    for (const Case& c : cases) {
        query.SQL().Clear();
        query.SQL().Add(c.sql);
        EXPECT_EQ(MessageOf<EDatabaseError>([&] { query.ExecSQL(); }), c.message);
        EXPECT_FALSE(query.Active());
    }
}

TEST_F(QueryConnectionTest, MissingFileWithMustExistLeavesTheQueryClosed) {
    TASQLite3DB missing("con2");
    missing.SetDatabase(dir.file("nothere.db"));
    missing.SetMustExist(true);
    TASQLite3Query q("q");
    q.SetConnection(&missing);
    q.SQL().Add("select 1");
    EXPECT_NE(MessageOf<EDatabaseError>([&] { q.Open(); }).find("does not exist"), std::string::npos);
    EXPECT_FALSE(q.Active());
}

TEST_F(QueryConnectionTest, BlobParameterIsBoundAsBytes) {
    RunSql(path, "create table obr(n integer, data blob)");
    const std::string bytes("\x00\x01\x02?'\xFF", 6);
    query.SQL().Add("insert into obr values(1, :data)");
    query.ParamByName("data").SetAsBlob(bytes);
    query.ExecSQL();
    OpenSql("select data from obr");
    EXPECT_EQ(query.Fields(0).DataType(), TFieldType::ftBlob);
    EXPECT_EQ(query.Fields(0).AsString(), bytes);
}

TEST_F(QueryConnectionTest, ControlByteTwoInAStoredTextIsKeptWithoutBlobParameters) {
    // Byte 2 marks blob places only when the statement has blob parameters.
    const std::string text = "a\x02b";
    query.SQL().Add("insert into svazkovna(id, titul) values(1, '" + text + "')");
    query.ExecSQL();
    OpenSql("select titul from svazkovna");
    EXPECT_EQ(query.Fields(0).AsString(), text);
}

TEST_F(QueryConnectionTest, DestroyingTheConnectionClosesTheQueryAndDropsTheLink) {
    auto other = std::make_unique<TASQLite3DB>("con3");
    other->SetDatabase(path);
    TASQLite3Query q("q");
    q.SetConnection(other.get());
    q.SQL().Add("select autor from svazkovna");
    q.Open();
    other.reset();
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(q.Connection(), nullptr);
    EXPECT_EQ(MessageOf<AsgError>([&] { q.Open(); }), "no database connection");
}

TEST_F(QueryConnectionTest, RowsAffectedAndLastRowAfterExecSQL) {
    RunSql(path, "insert into svazkovna(id, autor) values(1,'a'),(2,'a'),(3,'b')");
    ExecSql("update svazkovna set autor='c' where autor='a'");
    EXPECT_EQ(con.RowsAffected(), 2);
    EXPECT_EQ(Select1(path, "select count(*) from svazkovna where autor='c'"), "2");
}

}  // namespace
