// Running changes through a query: ExecSQL, the optional transaction and the
// posting of rows through the update-statement component.
#include "query_fixture.h"
#include "storage/errors.h"
#include "storage/update_sql.h"

using querytest::MessageOf;
using querytest::RunSql;
using querytest::Select1;

namespace {

class QueryExecTest : public querytest::QueryFixture {
protected:
    void SetUp() override {
        QueryFixture::SetUp();
        RunSql(path,
               "insert into svazkovna(id,autor,titul,hodnoceni) values"
               "(1,'Hašek','Švejk',5),(2,'Čapek','Krakatit',4),(3,'Čapek','R.U.R.',3)");
    }
};

TEST_F(QueryExecTest, SqlListReportsEveryChangeButClearingAnEmptyList) {
    TStringList list;
    int reports = 0;
    list.OnChange = [&] { ++reports; };
    list.Clear();
    list.Add("a");
    list.Add("b");
    list.Assign(std::vector<std::string>{"c"});
    list.Clear();
    EXPECT_EQ(reports, 4);
    list.Assign(std::vector<std::string>{"x", "y"});
    EXPECT_EQ(list.Text(), "x\r\ny\r\n");
}

TEST_F(QueryExecTest, UpdateAfterSelectKeepsTheSelectsFieldsWithNoRows) {
    OpenSql("select autor, titul from svazkovna order by id");
    ExecSql("update svazkovna set autor='it''s :x \"' where (id=2)");
    EXPECT_TRUE(query.Active());
    EXPECT_EQ(query.RecordCount(), 0);
    ASSERT_EQ(query.FieldCount(), 2);
    EXPECT_EQ(query.Fields(1).FieldName(), "titul");
    EXPECT_TRUE(query.Params().empty());
    EXPECT_EQ(Select1(path, "select autor from svazkovna where id=2"), "it's :x \"");
    RunSql(path, "insert into svazkovna(id) values(9)");
    query.Open();  // still open on the empty result: nothing runs again
    EXPECT_EQ(query.RecordCount(), 0);

    ExecSql("delete from svazkovna where (id=5)");
    EXPECT_TRUE(query.Active());
    EXPECT_EQ(Select1(path, "select count(*) from svazkovna"), "4");

    ExecSql("select id from svazkovna order by id");  // a SELECT behaves as Open
    EXPECT_EQ(query.RecordCount(), 4);
}

TEST_F(QueryExecTest, OnlyTheFirstOfTwoStatementsRuns) {
    ExecSql("delete from svazkovna where id=1; delete from svazkovna where id=2");
    EXPECT_EQ(Select1(path, "select group_concat(id) from svazkovna"), "2,3");
}

TEST_F(QueryExecTest, FailingInsertLeavesTheQueryClosedAndRunsAgainOnTheNextOpen) {
    OpenSql("select autor from svazkovna");
    query.SQL().Clear();
    query.SQL().Add("insert into kniha values(1)");
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { query.ExecSQL(); }), "no such table: kniha");
    EXPECT_FALSE(query.Active());
    RunSql(path, "create table kniha(n integer)");
    query.Open();
    EXPECT_EQ(Select1(path, "select count(*) from kniha"), "1");
}

TEST_F(QueryExecTest, AutoCommitWrapsTheStatementInTheChosenTransaction) {
    con.SetConnected(true);
    std::vector<std::string> sent;
    auto trace = [](unsigned, void* context, void* p, void*) -> int {
        auto* list = static_cast<std::vector<std::string>*>(context);
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(p));
        list->push_back(sql ? sql : "");
        return 0;
    };
    ASSERT_EQ(sqlite3_trace_v2(con.Handle(), SQLITE_TRACE_STMT, trace, &sent), SQLITE_OK);
    query.SetAutoCommit(true);
    query.SetTransactionType("immediate");
    ExecSql("update svazkovna set hodnoceni=1 where id=1");
    EXPECT_EQ(sent,
              (std::vector<std::string>{"begin immediate transaction",
                                        "update svazkovna set hodnoceni=1 where id=1\r\n", "commit transaction"}));

    // A failing statement is rolled back, so the connection is not left
    // inside a transaction.
    sent.clear();
    query.SQL().Clear();
    query.SQL().Add("update svazkovna set nic=1");
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { query.ExecSQL(); }), "no such column: nic");
    EXPECT_EQ(sent.back(), "rollback transaction");
    EXPECT_EQ(sqlite3_get_autocommit(con.Handle()), 1);
    sqlite3_trace_v2(con.Handle(), 0, nullptr, nullptr);
}

TEST_F(QueryExecTest, PostingEditedNewAndDeletedRowsThroughTheMacros) {
    TASQLite3UpdateSQL usql("usql1");
    usql.InsertSQL.Add("insert into svazkovna *");
    usql.UpdateSQL.Add("update svazkovna * where id=:id");
    usql.DeleteSQL.Add("delete from svazkovna where id=:id");
    OpenSql("select id, autor, hodnoceni from svazkovna order by id");

    query.Edit();
    EXPECT_EQ(MessageOf<AsgError>([&] { query.Post(); }), "Missing TASQLite3UpdateSQL component");
    query.Cancel();
    query.SetUpdateSQL(&usql);

    query.Edit();
    query.FieldByName("autor").SetAsString("Jaroslav O'Hašek");
    query.Post();
    EXPECT_EQ(query.Fields(1).AsString(), "Jaroslav O'Hašek");
    EXPECT_EQ(Select1(path, "select autor from svazkovna where id=1"), "Jaroslav O'Hašek");

    query.Next();
    query.Insert();
    query.Fields(0).SetAsInteger(10);
    query.Fields(1).SetAsString("Nový");
    query.Post();
    EXPECT_EQ(query.RecordCount(), 4);
    EXPECT_EQ(query.Fields(1).AsString(), "Nový");
    EXPECT_EQ(Select1(path, "select autor from svazkovna where id=10"), "Nový");

    query.Delete();
    EXPECT_EQ(query.RecordCount(), 3);
    EXPECT_EQ(Select1(path, "select count(*) from svazkovna where id=10"), "0");

    query.SetReadOnly(true);
    EXPECT_EQ(MessageOf<AsgError>([&] { query.Delete(); }), "Cannot delete from a read-only dataset");
    EXPECT_EQ(MessageOf<AsgError>([&] { query.AppendRecord({"11"}); }), "Cannot write to a read-only dataset");
    query.Edit();
    EXPECT_EQ(MessageOf<AsgError>([&] { query.Post(); }), "Cannot post into a read-only dataset");
    query.Cancel();
    query.SetReadOnly(false);

    usql.UpdateSQL.Clear();
    usql.UpdateSQL.Add("update svazkovna set autor=:autor");
    query.Edit();
    EXPECT_EQ(MessageOf<AsgError>([&] { query.Post(); }), "SQL macro syntax error on sql, expected where");
    query.Cancel();
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { query.Fields(1).SetAsString("x"); }),
              "query1: Dataset not in edit or insert mode");

    // A delete that the engine refuses is reported and the row stays.
    usql.DeleteSQL.Clear();
    usql.DeleteSQL.Add("delete from svazkovna where nic=:id");
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { query.Delete(); }), "no such column: nic");
    EXPECT_EQ(query.RecordCount(), 3);
}

TEST_F(QueryExecTest, ProviderOperations) {
    query.SQL().Add("select autor from svazkovna where id > 1");
    EXPECT_EQ(query.PSGetTableName(), "svazkovna");
    EXPECT_EQ(query.PSExecuteStatement("update svazkovna set hodnoceni=0 where autor='Čapek'", {}), 2);
    query.Open();
    query.Fields(0).InKey = true;
    EXPECT_EQ(query.PSGetKeyFields(), "autor");
    query.PSSetCommandText("select 1");
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(query.PSGetQuoteChar(), "\"");
}

}  // namespace
