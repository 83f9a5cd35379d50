// Editing rows of an open result and posting them through the update-statement
// component: what a move, a delete or a post does to a pending change, the
// explicit macro forms, and a result that keeps its shape.
#include "query_fixture.h"
#include "storage/errors.h"
#include "storage/update_sql.h"

using querytest::MessageOf;
using querytest::RunSql;
using querytest::Select1;

namespace {

class QueryEditTest : public querytest::QueryFixture {
protected:
    void SetUp() override {
        QueryFixture::SetUp();
        RunSql(path,
               "insert into svazkovna(id,autor,titul,hodnoceni) values"
               "(1,'Hašek','Švejk',5),(2,'Čapek','Krakatit',4),(3,'Čapek','R.U.R.',3),(4,'','Anonym',1)");
        usql.InsertSQL.Add("insert into svazkovna *");
        usql.UpdateSQL.Add("update svazkovna * where id=:id");
        usql.DeleteSQL.Add("delete from svazkovna where autor=:autor");
        query.SetUpdateSQL(&usql);
        OpenSql("select id, autor, hodnoceni from svazkovna order by id");
    }
    std::string Authors() { return Select1(path, "select group_concat(id || '=' || autor, ',') from svazkovna"); }

    TASQLite3UpdateSQL usql{"usql1"};
};

TEST_F(QueryEditTest, DeletingAPendingRowTouchesOnlyWhatIsStored) {
    const std::string before = Authors();
    // A row that was never posted: the insert is cancelled, nothing stored changes.
    query.Last();
    query.Insert();
    query.Delete();
    EXPECT_EQ(query.State(), TASQLite3BaseQuery::TDataSetState::dsBrowse);
    EXPECT_EQ(Authors(), before);
    EXPECT_EQ(query.RecordCount(), 4);

    // An edited row is deleted by its stored values, not by the edited ones.
    query.First();
    query.Edit();
    query.FieldByName("autor").SetAsString("Čapek");
    query.Delete();
    EXPECT_EQ(Authors(), "2=Čapek,3=Čapek,4=");
    EXPECT_EQ(query.RecordCount(), 3);
    EXPECT_EQ(query.Fields(0).AsInteger(), 2);
}

TEST_F(QueryEditTest, EveryMovePostsAModifiedRowAndCancelsAnUntouchedOne) {
    struct Case {
        const char* name;
        std::function<void(TASQLite3Query&)> move;
        int landsOn;  // id of the row current after the move
    } cases[] = {
        {"Next", [](TASQLite3Query& q) { q.Next(); }, 3},
        {"MoveBy", [](TASQLite3Query& q) { q.MoveBy(2); }, 4},
        {"Prior", [](TASQLite3Query& q) { q.Prior(); }, 1},
        {"First", [](TASQLite3Query& q) { q.First(); }, 1},
        {"Last", [](TASQLite3Query& q) { q.Last(); }, 4},
        {"RecNo", [](TASQLite3Query& q) { q.SetRecNo(3); }, 3},
        {"Locate", [](TASQLite3Query& q) { q.Locate("id", {"4"}); }, 4},
        {"Bookmark", [](TASQLite3Query& q) { q.GotoBookmark(2); }, 3},
    };
    for (const Case& c : cases) {
        query.First();
        query.Next();  // id 2
        query.Edit();
        query.FieldByName("autor").SetAsString(std::string("edited by ") + c.name);
        c.move(query);
        EXPECT_EQ(query.State(), TASQLite3BaseQuery::TDataSetState::dsBrowse) << c.name;
        EXPECT_EQ(query.Fields(0).AsInteger(), c.landsOn) << c.name;
        EXPECT_EQ(Select1(path, "select autor from svazkovna where id=2"), std::string("edited by ") + c.name);
        // The result's copy of row 2 holds the posted values, no other row does.
        query.Locate("id", {"2"});
        EXPECT_EQ(query.Fields(1).AsString(), std::string("edited by ") + c.name);
        query.Locate("id", {"1"});
        EXPECT_EQ(query.Fields(1).AsString(), "Hašek") << c.name;
    }
    // Nothing typed: a move drops the pending row without a statement.
    const std::string before = Authors();
    query.Insert();
    query.Next();
    query.Edit();
    query.First();
    EXPECT_EQ(Authors(), before);
    EXPECT_EQ(query.RecordCount(), 4);
    EXPECT_EQ(query.State(), TASQLite3BaseQuery::TDataSetState::dsBrowse);
}

TEST_F(QueryEditTest, ExplicitSetFormAndInsertValuesList) {
    usql.UpdateSQL.Clear();
    usql.UpdateSQL.Add("update svazkovna set autor=:autor, titul='opraveno ''x''', hodnoceni where id=:id");
    usql.InsertSQL.Clear();
    usql.InsertSQL.Add("insert into svazkovna (id, autor, titul) values (:id, :autor, 'bez názvu')");
    query.Edit();
    query.FieldByName("autor").SetAsString("O'Hašek");
    query.FieldByName("hodnoceni").SetAsInteger(9);
    query.Post();
    EXPECT_EQ(Select1(path, "select autor || '|' || titul || '|' || hodnoceni from svazkovna where id=1"),
              "O'Hašek|opraveno 'x'|9");
    query.Insert();
    query.Fields(0).SetAsInteger(7);
    query.Fields(1).SetAsString("Nový");
    query.Post();
    EXPECT_EQ(Select1(path, "select autor || '|' || titul from svazkovna where id=7"), "Nový|bez názvu");

    usql.UpdateSQL.Clear();
    usql.UpdateSQL.Add("update svazkovna set where id=:id");
    query.Edit();
    EXPECT_EQ(MessageOf<AsgError>([&] { query.Post(); }), "SQL macro syntax error on sql, expected field name");
    query.Cancel();
}

TEST_F(QueryEditTest, TheResultKeepsItsShapeWhenHandedAnotherStatement) {
    ASSERT_EQ(query.FieldCount(), 3);
    EXPECT_THROW(con.SQLiteExecute("select titul from svazkovna", &query), AsgError);
    EXPECT_EQ(query.RecordCount(), 4);
    query.Last();
    EXPECT_EQ(query.Fields(2).AsInteger(), 1);
    // Rows of the same shape may join the result.
    con.SQLiteExecute("select id, autor, hodnoceni from svazkovna where id=1", &query);
    EXPECT_EQ(query.RecordCount(), 5);
}

TEST_F(QueryEditTest, RawSqlMattersAtTheNextChangeOfSql) {
    OpenSql("select autor from svazkovna where id=:id");
    query.SetRawSQL(true);
    EXPECT_TRUE(query.Active());
    EXPECT_EQ(query.ParsedText(), "select autor from svazkovna where id=?\r\n");
    query.SQL().Clear();
    query.SQL().Add("select ':x' as a, 1 as b");
    EXPECT_EQ(query.ParsedText(), "select ':x' as a, 1 as b\r\n");
    EXPECT_TRUE(query.Params().empty());
}

}  // namespace
