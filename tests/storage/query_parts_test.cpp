// The pieces under the query: declared types, strict integers, the parameter
// scan, the result store and the update macros.
#include <gtest/gtest.h>

#include "query_fixture.h"
#include "storage/errors.h"
#include "storage/field_info.h"
#include "storage/param_scan.h"
#include "storage/result_store.h"
#include "storage/sql_macro.h"

using querytest::MessageOf;

TEST(FieldInfoTest, DeclaredTypeTable) {
    using K = TFieldType;
    // clang-format off
    struct Case {
        const char* declared;
        K kind;
        int size;
        int scale;
    } cases[] = {
        {"integer", K::ftInteger, 12, 0},   {"INTEGER", K::ftInteger, 12, 0},
        {"int", K::ftString, 255, 0},       {"bigint", K::ftString, 255, 0},
        {"text", K::ftString, 255, 0},      {"varchar", K::ftString, 255, 0},
        {"", K::ftString, 255, 0},          {"varchar(40)", K::ftString, 40, 0},
        {"VARCHAR(40)", K::ftString, 40, 0}, {"char(3)", K::ftString, 3, 0},
        {"varchar2(7)", K::ftString, 7, 0}, {"VARCHAR (20)", K::ftString, 255, 0},
        {"varchar(40", K::ftString, 256, 0}, {"numeric(10,2)", K::ftFloat, 10, 2},
        {"numeric(8.345)", K::ftFloat, 8, 34}, {"numeric(6)", K::ftFloat, 6, 0},
        {"decimal(10,2)", K::ftString, 255, 0}, {"date", K::ftDate, 10, 0},
        {"datetime", K::ftDateTime, 24, 0}, {"time", K::ftTime, 12, 0},
        {"timestamp", K::ftTimeStamp, 12, 0}, {"real", K::ftFloat, 12, 0},
        {"Boolean", K::ftBoolean, 2, 0},     {"money", K::ftCurrency, 10, 0},
        {"blob", K::ftBlob, 4, 0},          {"graphic", K::ftGraphic, 4, 0},
        {"longtext", K::ftMemo, 4, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        const FieldInfo info = GetFieldInfo(c.declared);
        EXPECT_EQ(info.kind, c.kind) << c.declared;
        EXPECT_EQ(info.size, c.size) << c.declared;
        EXPECT_EQ(info.scale, c.scale) << c.declared;
    }
}

TEST(FieldInfoTest, BracketSizeThatIsNoIntegerFails) {
    struct Case {
        const char* declared;
        const char* message;
    } cases[] = {
        {"varchar(40 )", "'40 ' is not a valid integer value"},
        {"varchar(4x)", "'4x' is not a valid integer value"},
        {"char()", "'' is not a valid integer value"},
        {"numeric(a,2)", "'a' is not a valid integer value"},
        {"varchar(99999999999)", "'99999999999' is not a valid integer value"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageOf<EConvertError>([&] { GetFieldInfo(c.declared); }), c.message) << c.declared;
    EXPECT_EQ(NativeSize(TFieldType::ftString, 40, "a"), 40);
    EXPECT_EQ(NativeSize(TFieldType::ftDateTime, 0, "a"), 20);
    EXPECT_EQ(MessageOf<AsgError>([] { NativeSize(TFieldType::ftTimeStamp, 12, "kdy"); }),
              "Fieldtype of Field \"kdy\" not supported!");
}

TEST(FieldInfoTest, StrictIntegerConversion) {
    EXPECT_EQ(TryStrToInt("-5"), -5);
    EXPECT_EQ(TryStrToInt(" 12"), 12);
    EXPECT_EQ(TryStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(TryStrToInt("-2147483648"), INT32_MIN);
    for (const char* bad : {"", "-", "12x", "12 ", "2147483648", "1.5", "abc"})
        EXPECT_FALSE(TryStrToInt(bad).has_value()) << bad;
}

TEST(ParamScanTest, ReplacesNamesOutsideQuotedTokens) {
    struct Case {
        const char* sql;
        const char* text;
        std::vector<std::string> names;
    } cases[] = {
        {"select * from t where a=:x\r\n", "select * from t where a=?\r\n", {"x"}},
        {"where a=:x and b=:y;", "where a=? and b=?;", {"x", "y"}},
        {"select a::b", "select a:b", {}},
        {"where a=':x' and b=\"::y\" and `:z`=1", "where a=':x' and b=\"::y\" and `:z`=1", {}},
        {"set a='it''s :x', b='\"', c=':w'", "set a='it''s :x', b='\"', c=':w'", {}},
        {"where a=:\"my name\")", "where a=?)", {"my name"}},
        {"where a=:x\"y z\",", "where a=?,", {"x\"y z\""}},
        {"values(:a,:b)", "values(?,?)", {"a", "b"}},
        {"where a='unterminated :x", "where a='unterminated :x", {}},
        {"where a=:", "where a=?", {""}},
        // A stray quote opens a token that runs to the end, delimiters and all.
        {"where a=:\"abc", "where a=?", {"abc"}},
        {"where a=:\"abc, b=1)", "where a=?", {"abc, b=1)"}},
        {"where a=:\"\" or 1", "where a=? or 1", {""}},
        {"where a=:`x`", "where a=?", {"x"}},
    };
    for (const Case& c : cases) {
        const ParamScan scan = ScanParameters(c.sql);
        EXPECT_EQ(scan.text, c.text) << c.sql;
        EXPECT_EQ(scan.names, c.names) << c.sql;
    }
}

TEST(ResultStoreTest, BookmarksKeysInsertAndDelete) {
    TFResult r;
    r.SetBufSize(1);
    RowWriter w;
    auto row = [&](const std::string& v) {
        w.Clear();
        w.Append(v);
        return std::string(w.Bytes());
    };
    r.Add(row("a"), -1);
    r.Add(row("b"), 40);
    r.Add(row(std::string(300, 'x')), -1);
    EXPECT_EQ(r.Count(), 3);
    EXPECT_EQ(r.GetKey(0), 0);
    EXPECT_EQ(r.GetKey(1), 40);
    EXPECT_EQ(r.GetKey(2), 2);
    EXPECT_EQ(RowValue(r.GetData(2), 0).size(), 300u);
    r.Insert(1, row("n"), 7);
    r.Insert(99, row("z"), -1);
    EXPECT_EQ(RowValue(r.GetData(1), 0), "n");
    EXPECT_EQ(r.GetBookmark(1), 3);
    EXPECT_EQ(r.GetBookmark(4), 4);
    EXPECT_EQ(r.GetKey(4), 4);
    r.Delete(0);
    r.Delete(-1);
    r.Delete(10);
    EXPECT_EQ(r.Count(), 4);
    EXPECT_EQ(RowValue(r.GetData(0), 0), "n");
    EXPECT_EQ(r.IndexOfBookmark(1), 1);
    EXPECT_EQ(r.IndexOfBookmark(0), -1);
    EXPECT_EQ(r.GetData(4), nullptr);
    EXPECT_EQ(r.GetBookmark(-1), -1);
}

TEST(SqlMacroTest, ParsesTheThreeFormsAndNamesTheExpectedWord) {
    const MacroStatement u = ParseUpdateMacro("UPDATE svazkovna * WHERE autor=:autor and id > 3\r\n");
    EXPECT_EQ(u.table, "svazkovna");
    EXPECT_EQ(u.condition, "autor=:autor and id > 3\r\n");
    EXPECT_EQ(ParseInsertMacro("insert into svazkovna *").columns.size(), 0u);
    EXPECT_EQ(ParseInsertMacro("insert into t (a, b)").columns, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ParseDeleteMacro("delete from t where a=:a").condition, "a=:a");
    const MacroStatement set = ParseUpdateMacro("update t set a=:x, b, c=f(1, 2) where d=:d");
    ASSERT_EQ(set.assignments.size(), 3u);
    EXPECT_EQ(set.assignments[2].value, "f(1, 2)");
    EXPECT_EQ(set.assignments[1].value, "");
    EXPECT_EQ(ParseInsertMacro("insert into t (a, b) values (:b, (1))").values, ":b, (1)");

    struct Case {
        std::function<void()> parse;
        const char* message;
    } cases[] = {
        {[] { ParseUpdateMacro("update t a=1 where b=2"); }, "SQL macro syntax error on sql, expected *"},
        {[] { ParseUpdateMacro("update t set a=1"); }, "SQL macro syntax error on sql, expected where"},
        {[] { ParseUpdateMacro("update t set a= where b=2"); }, "SQL macro syntax error on sql, expected value"},
        {[] { ParseUpdateMacro("updat t * where b=2"); }, "SQL macro syntax error on sql, expected update"},
        {[] { ParseUpdateMacro("update t *"); }, "SQL macro syntax error on sql, expected where"},
        {[] { ParseInsertMacro("insert t *"); }, "SQL macro syntax error on sql, expected into"},
        {[] { ParseInsertMacro("insert into t values"); }, "SQL macro syntax error on insertsql, expected ( or *"},
        {[] { ParseDeleteMacro("delete t where a=1"); }, "SQL macro syntax error on sql, expected from"},
        {[] { ParseDeleteMacro(""); }, "SQL macro syntax error on sql, expected delete"},
        {[] { ParseUpdateMacro("update 'svazkovna' * where a=1"); },
         "SQL macro syntax error on sql, expected table name"},
        {[] { ParseUpdateMacro("update * where a=1"); }, "SQL macro syntax error on sql, expected table name"},
        {[] { ParseDeleteMacro("delete from 12 where a=1"); }, "SQL macro syntax error on sql, expected table name"},
        {[] { ParseInsertMacro("insert into (a) values(1)"); }, "SQL macro syntax error on sql, expected table name"},
    };
    for (const Case& c : cases) EXPECT_EQ(MessageOf<AsgError>(c.parse), c.message);

    const std::string s =
        SubstituteNames("a=:a and b=':b' and c= :c", [](const std::string& n) { return "<" + n + ">"; });
    EXPECT_EQ(s, "a=<a> and b=':b' and c= <c>");
    // Table and field names may hold letters of the code page (Windows-1250 bytes).
    EXPECT_EQ(ParseUpdateMacro("update kn\xEChy * where autor=:autor").table, "kn\xEChy");
    EXPECT_EQ(SubstituteNames("a=:\xE8\xEDslo and b=:x\xFD", [](const std::string& n) { return "<" + n + ">"; }),
              "a=<\xE8\xEDslo> and b=<x\xFD>");
}
