// Opening a query on a catalogue file: the result, navigation, field access
// and the failures that leave the query closed.
#include "query_fixture.h"
#include "storage/errors.h"
#include "storage/result_store.h"

using querytest::MessageOf;
using querytest::RunSql;

namespace {

class QueryOpenTest : public querytest::QueryFixture {
protected:
    void AddBooks(int count) {
        std::string sql;
        for (int i = 1; i <= count; ++i)
            sql += "insert into svazkovna(id,autor,titul,hodnoceni) values(" + std::to_string(i) + ",'Autor " +
                   std::to_string(i) + "','Titul " + std::to_string(i) + "'," + std::to_string(i) + ");";
        RunSql(path, sql);
    }
};

TEST_F(QueryOpenTest, ChangingSqlClosesAndOpenOnAnOpenQueryDoesNotRerun) {
    AddBooks(2);
    OpenSql("select autor from svazkovna order by id");
    ASSERT_EQ(query.RecordCount(), 2);

    TASQLite3Query other("editquery");
    other.SetConnection(&con);
    other.SQL().Add("delete from svazkovna where id=1");
    other.ExecSQL();

    query.Open();  // already open: the old rows stay
    EXPECT_EQ(query.RecordCount(), 2);
    EXPECT_EQ(query.Fields(0).AsString(), "Autor 1");

    query.SQL().Add("");
    EXPECT_FALSE(query.Active()) << "appending a line closes";
    query.Open();
    EXPECT_EQ(query.RecordCount(), 1);
    EXPECT_EQ(query.Fields(0).AsString(), "Autor 2");

    query.SQL().Clear();
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(MessageOf<AsgError>([&] { query.Open(); }), "no query specified");
    query.SQL().Add("  \t ");
    EXPECT_EQ(MessageOf<AsgError>([&] { query.Open(); }), "no query specified");
    EXPECT_FALSE(query.Active());
}

TEST_F(QueryOpenTest, NavigationFlagsAndMoveByCountsAtBothEnds) {
    AddBooks(3);
    OpenSql("select id from svazkovna order by id");
    EXPECT_TRUE(query.Bof());
    EXPECT_FALSE(query.Eof());
    std::vector<int> seen;
    query.First();
    for (int i = 0; i < 3; ++i) {
        seen.push_back(query.Fields(0).AsInteger());
        query.Next();
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.Fields(0).AsInteger(), 3);
    EXPECT_EQ(query.MoveBy(1), 0) << "forward at the end moves nothing";

    struct Step {
        int distance, moved, row;
        bool bof, eof;
    } steps[] = {
        {-1, 1, 2, false, false}, {-5, 1, 1, true, false}, {-1, 0, 1, true, false},
        {5, 2, 3, false, true},   {0, 0, 3, false, true},  {-2, 2, 1, false, false},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(query.MoveBy(s.distance), s.moved) << s.distance;
        EXPECT_EQ(query.Fields(0).AsInteger(), s.row) << s.distance;
        EXPECT_EQ(query.Bof(), s.bof) << s.distance;
        EXPECT_EQ(query.Eof(), s.eof) << s.distance;
    }
    query.First();
    EXPECT_EQ(query.MoveBy(5), 2);
    EXPECT_EQ(query.RecNo(), 3);
    query.SetRecNo(2);
    EXPECT_EQ(query.Fields(0).AsInteger(), 2);
    const int32_t mark = query.GetBookmark();
    query.First();
    query.GotoBookmark(mark);
    EXPECT_EQ(query.Fields(0).AsInteger(), 2);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { query.GotoBookmark(77); }), "Bookmark not found");
    EXPECT_TRUE(query.Locate("id", {"3"}));
    EXPECT_EQ(query.RecNo(), 3);

    query.Close();
    const std::string closed = "query1: Cannot perform this operation on a closed dataset";
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { query.First(); }), closed);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { query.Next(); }), closed);
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { query.MoveBy(1); }), closed);
    EXPECT_EQ(MessageOf<EListError>([&] { query.Fields(0); }), "List index out of bounds (0)");
}

TEST_F(QueryOpenTest, EmptyResultReadsAsNoValue) {
    OpenSql("select autor, hodnoceni from svazkovna");
    EXPECT_EQ(query.RecordCount(), 0);
    query.First();
    EXPECT_TRUE(query.Bof());
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.Fields(0).AsString(), "");
    EXPECT_EQ(query.Fields(1).AsString(), "");
    EXPECT_EQ(query.Fields(1).AsInteger(), 0);
    EXPECT_EQ(MessageOf<EConvertError>([&] { query.Fields(0).AsInteger(); }), "'' is not a valid integer value");
}

TEST_F(QueryOpenTest, NextIdOnEmptyAndFilledCatalogue) {
    const std::string sql = "select max(id)+1 as noveid from svazkovna";
    OpenSql(sql);
    ASSERT_EQ(query.RecordCount(), 1);
    EXPECT_EQ(query.Fields(0).FieldName(), "noveid");
    EXPECT_EQ(query.Fields(0).DataType(), TFieldType::ftString);
    EXPECT_EQ(query.Fields(0).AsString(), "");
    AddBooks(7);
    OpenSql(sql);
    EXPECT_EQ(query.Fields(0).AsString(), "8");
    EXPECT_EQ(query.Fields(0).AsInteger(), 8);
}

TEST_F(QueryOpenTest, TextValuesAreCutToTheirSizeAndKeptByteForByte) {
    const std::string czech =
        "\xC8"
        "apek, Karel \x9A"
        "est \xE8"
        "erven\xFD"
        "ch \xF8\xED\xE8\x9A"
        "k\xF9";
    RunSql(path, "insert into svazkovna(id,autor,poznamka) values(1,'" + czech + "','" + std::string(300, 'p') + "')");
    OpenSql("select autor, poznamka from svazkovna");
    EXPECT_EQ(query.Fields(0).AsString(), czech);
    EXPECT_EQ(query.Fields(1).AsString(), std::string(255, 'p'));
}

TEST_F(QueryOpenTest, IntegerColumnsConvertWhatTheyCanAndReadOthersAsZero) {
    RunSql(path, "insert into svazkovna(id,hodnoceni) values(1,NULL),(2,''),(3,'abc'),(4,'12x'),(5,-5)");
    OpenSql("select hodnoceni from svazkovna order by id");
    const int expected[] = {0, 0, 0, 0, -5};
    for (int want : expected) {
        EXPECT_EQ(query.Fields(0).AsInteger(), want);
        EXPECT_EQ(query.Fields(0).AsString(), std::to_string(want));
        query.Next();
    }
}

TEST_F(QueryOpenTest, FloatBooleanAndDateColumnsReadOnlyWhatConverts) {
    // Stored as bytes, so that the engine's column affinity keeps each text as written.
    RunSql(path, "create table k(f real, b boolean, d date, dt datetime, t time)");
    auto read = [&](const char* column, const std::string& text) {
        RunSql(path, "delete from k; insert into k(" + std::string(column) + ") values(cast('" + text + "' as blob))");
        OpenSql(std::string("select ") + column + " from k");
        return query.Fields(0).AsString();
    };
    // clang-format off
    struct Case {
        const char* column;
        const char* text;
        const char* read;  // nullptr: the Open fails with EConvertError
    } cases[] = {
        {"f", "2.5", "2.5"},   {"f", "-1e3", "-1000"}, {"f", "1.2.3", "0"},     {"f", "1e999", "0"},
        {"f", "0x10", "0"},    {"f", "inf", "0"},      {"b", "true", "True"},   {"b", "0", "False"},
        {"b", "2", "True"},    {"b", "1.2.3", nullptr}, {"b", "1e999", nullptr}, {"b", "ano", nullptr},
        {"d", "2020-02-29", "2020-02-29"}, {"d", "2021-02-29", nullptr}, {"d", "0000-01-01", nullptr},
        {"dt", "2020-01-02 03:04:05.006", "2020-01-02 03:04:05.006"}, {"dt", "0000-01-01 10:00:00.000", ""},
        {"dt", "2020-13-01", ""}, {"t", "10:20:30", "10:20:30"}, {"t", "24:00", nullptr},
    };
    // clang-format on
    for (const Case& c : cases) {
        if (c.read) {
            EXPECT_EQ(read(c.column, c.text), c.read) << c.column << " " << c.text;
        } else {
            EXPECT_THROW(read(c.column, c.text), EConvertError) << c.column << " " << c.text;
            EXPECT_FALSE(query.Active());
        }
    }
}

TEST_F(QueryOpenTest, DuplicateNamesAndTheRowidColumn) {
    AddBooks(2);
    OpenSql("select autor, autor, AUTOR, rowid, titul from svazkovna order by id desc");
    ASSERT_EQ(query.FieldCount(), 4);
    EXPECT_EQ(query.Fields(0).FieldName(), "autor");
    EXPECT_EQ(query.Fields(1).FieldName(), "autor_1");
    EXPECT_EQ(query.Fields(2).FieldName(), "autor_2");
    EXPECT_EQ(query.Fields(3).FieldName(), "titul");
    EXPECT_EQ(query.Fields(3).AsString(), "Titul 2");
    EXPECT_EQ(query.Result()->GetKey(0), 2);
    EXPECT_EQ(query.Result()->GetKey(1), 1);
}

TEST_F(QueryOpenTest, DeclaredTypesOfResultColumns) {
    RunSql(path,
           "create table t(a varchar(40), b VARCHAR(40), c varchar, d int, e numeric(10,2), f integer);"
           "insert into t values('" +
               std::string(50, 'a') + "','" + std::string(50, 'b') + "','" + std::string(300, 'c') + "','" +
               std::string(300, 'd') + "', 3.25, 4)");
    OpenSql("select * from t");
    struct Want {
        TFieldType kind;
        size_t length;
    } want[] = {{TFieldType::ftString, 40},  {TFieldType::ftString, 40}, {TFieldType::ftString, 255},
                {TFieldType::ftString, 255}, {TFieldType::ftFloat, 4},   {TFieldType::ftInteger, 1}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(query.Fields(i).DataType(), want[i].kind) << i;
        EXPECT_EQ(query.Fields(i).AsString().size(), want[i].length) << i;
    }
    EXPECT_EQ(query.Fields(4).AsString(), "3.25");
    EXPECT_EQ(query.FieldDefs()[4].Precision, 2);
    EXPECT_EQ(query.RowDataSize(), 40 + 40 + 255 + 255 + 12 + 12);

    query.SetTypeLess(true);
    RunSql(path, "create table u(n integer, b blob); insert into u values(123456789012345, 'abcdefgh')");
    OpenSql("select * from u");
    EXPECT_EQ(query.Fields(0).DataType(), TFieldType::ftString);
    EXPECT_EQ(query.Fields(0).AsString(), "123456789012");
    EXPECT_EQ(query.Fields(1).AsString(), "abcd");
}

TEST_F(QueryOpenTest, BadInputFailsWithItsMessageAndLeavesTheQueryClosed) {
    RunSql(path,
           "create table ts(kdy timestamp); create table bad(a varchar(1e3)); insert into ts values('x');"
           "insert into svazkovna(id, autor) values(1, 'a?b:c')");
    struct Case {
        std::string sql;
        std::string message;
    } cases[] = {
        {"select * from ts", "Fieldtype of Field \"kdy\" not supported!"},
        {"select * from bad", "'1e3' is not a valid integer value"},
        {"select * from svazkovna where autor='unterminated", "unrecognized token: \"'unterminated\r\n\""},
        {std::string("select * from svazkovna\0 where x", 32), "SQL text contains a zero byte"},
        {"select nonexistent from svazkovna", "no such column: nonexistent"},
    };
    for (const Case& c : cases) {
        OpenSql("select autor from svazkovna");
        ASSERT_TRUE(query.Active());
        query.SQL().Clear();
        query.SQL().Add(c.sql);
        EXPECT_EQ(MessageOf<Exception>([&] { query.Open(); }), c.message) << c.sql;
        EXPECT_FALSE(query.Active()) << c.sql;
        EXPECT_EQ(query.FieldCount(), 0);
        EXPECT_EQ(query.ExecutedText(), "");
    }
    // A "?" and ":" inside a literal are data, also when a parameter follows.
    OpenSql("select autor from svazkovna where autor='a?b:c' and id=:id");
    ASSERT_EQ(query.Params().size(), 1u);
    query.Close();
    query.ParamByName("id").SetAsInteger(1);
    query.Open();
    EXPECT_EQ(query.ExecutedText(), "select autor from svazkovna where autor='a?b:c' and id='1'\r\n");
    EXPECT_EQ(query.RecordCount(), 1);

    TASQLite3Query unconnected("q");
    unconnected.SQL().Add("select 1");
    EXPECT_EQ(MessageOf<AsgError>([&] { unconnected.Open(); }), "no database connection");
    EXPECT_FALSE(unconnected.Active());
}

TEST_F(QueryOpenTest, LimitOffsetAndParameterTexts) {
    AddBooks(30);
    query.SetMaxResults(10);
    query.SetStartResult(20);
    OpenSql("select * from svazkovna");
    EXPECT_EQ(query.ExecutedText(), "select * from svazkovna\r\n limit 10 offset 20");
    EXPECT_EQ(query.RecordCount(), 10);
    EXPECT_EQ(query.Fields(0).AsInteger(), 21);

    query.SetMaxResults(0);
    OpenSql("select * from svazkovna");
    EXPECT_EQ(query.ExecutedText(), "select * from svazkovna\r\n limit -1 offset 20");
    EXPECT_EQ(query.MaxResults(), -1);
    EXPECT_EQ(query.RecordCount(), 10);
    query.SetStartResult(0);
    query.SetMaxResults(0);

    OpenSql("select * from svazkovna where autor=:x");
    EXPECT_EQ(query.ExecutedText(), "select * from svazkovna where autor=''\r\n");
    EXPECT_EQ(query.Params()[0].Name, "x");
    // An empty text bound on purpose is sent as NULL; only an unbound one is an empty literal.
    query.Close();
    query.ParamByName("x").SetAsString("");
    EXPECT_TRUE(query.Params()[0].Bound);
    query.Open();
    EXPECT_EQ(query.ExecutedText(), "select * from svazkovna where autor=NULL\r\n");
    OpenSql("select 'a::b', 'c:d' --x::y");
    EXPECT_EQ(query.ExecutedText(), "select 'a::b', 'c:d' --x:y\r\n");
    EXPECT_EQ(query.Fields(0).AsString(), "a::b");
    query.SetRawSQL(true);
    OpenSql("select * from svazkovna where autor=:x");
    EXPECT_EQ(query.ExecutedText(), "select * from svazkovna where autor=:x\r\n");
    EXPECT_EQ(query.RecordCount(), 0);

    query.SetRawSQL(false);
    query.SetFiltered(true);
    query.SetFilter("id < 3");
    OpenSql("select * from svazkovna");
    EXPECT_EQ(query.RecordCount(), 2);
}

TEST_F(QueryOpenTest, FieldFourteenOfTheCatalogueRowIsOutOfRange) {
    AddBooks(1);
    OpenSql("SELECT * FROM svazkovna order by autor");
    EXPECT_EQ(query.FieldCount(), 14);
    EXPECT_EQ(query.Fields(13).FieldName(), "udaj3");
    EXPECT_EQ(query.Fields(9).DataType(), TFieldType::ftInteger);
    EXPECT_EQ(MessageOf<EListError>([&] { query.Fields(14); }), "List index out of bounds (14)");
    EXPECT_EQ(MessageOf<EListError>([&] { query.Fields(-1); }), "List index out of bounds (-1)");
}

}  // namespace
