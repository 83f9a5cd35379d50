// The connection against what another program or an odd statement does to
// it: a vanished current directory, another program's schema change, a busy
// lock while running statements, byte 2 in literals and texts without a
// statement.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "query_fixture.h"
#include "storage/connection.h"
#include "storage/cursor_hook.h"
#include "storage/errors.h"
#include "support/recording_query.h"
#include "support/temp_dir.h"

using querytest::MessageOf;
using querytest::RunSql;
using querytest::Select1;
using testsupport::RecordingQuery;

namespace {

class ConnectionEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("a.db");
        RunSql(path, "create table t(a integer, b text); insert into t values(1,'x')");
        con.SetDatabase(path);
        con.SetConnected(true);
    }
    testsupport::TempDir dir;
    std::string path;
    TASQLite3DB con;
};

TEST_F(ConnectionEngineTest, UnreadableCurrentDirectoryIsAnErrorNotTheRootFolder) {
    const std::filesystem::path old = std::filesystem::current_path();
    const std::filesystem::path gone = dir.path() / "gone";
    std::filesystem::create_directory(gone);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    std::filesystem::remove(gone);
    TASQLite3DB other;
    other.SetDatabase("svazkovna-cwd-probe.db");
    const std::string message = MessageOf<AsgError>([&] { other.SetConnected(true); });
    ASSERT_EQ(chdir(old.c_str()), 0);
    EXPECT_EQ(message.rfind("Cannot read the current directory", 0), 0u) << message;
    EXPECT_FALSE(other.Connected());
    EXPECT_FALSE(std::filesystem::exists("/svazkovna-cwd-probe.db"));
    std::filesystem::remove("/svazkovna-cwd-probe.db");
}

TEST_F(ConnectionEngineTest, AnotherProgramsSchemaChangeIsReadAgainNotReported) {
    // Each change follows a read that loaded the schema; even ones go to a
    // query's statement, odd ones to ExecStatements.
    const char* changes[] = {"create index ia on t(a)", "drop index ia", "vacuum",
                             "create table u(x)",       "drop table u",  "create index ib on t(b)"};
    for (int i = 0; i < 6; ++i) {
        RecordingQuery before;
        con.SQLiteExecute("select a from t", &before);
        RunSql(path, changes[i]);
        RecordingQuery after;
        if (i % 2 == 0) {
            EXPECT_NO_THROW(con.SQLiteExecute("select a, b from t", &after)) << changes[i];
            EXPECT_EQ(after.rows.size(), 1u) << changes[i];
        } else {
            EXPECT_NO_THROW(con.ExecStatements("update t set a=a+1")) << changes[i];
        }
    }
    EXPECT_EQ(Select1(path, "select a from t"), "4");
    // A statement that really fails still fails.
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { con.ExecStatements("select nic from t"); }), "no such column: nic");
}

TEST_F(ConnectionEngineTest, ByteTwoInsideLiteralsIsKeptBesideBlobParameters) {
    RecordingQuery insert;
    insert.blobs = {std::string("B\x02Y", 3)};
    con.SQLiteExecute("insert into t(a, b) values(\x02, 'x\x02y')", &insert);
    EXPECT_EQ(Select1(path, "select hex(b) || ' ' || hex(a) from t where b like 'x%y'"), "780279 420259");
}

TEST_F(ConnectionEngineTest, TextWithoutAStatementFails) {
    for (const char* sql : {"-- x", ";", "/* c */", " \r\n"}) {
        RecordingQuery q;
        EXPECT_EQ(MessageOf<EDatabaseError>([&] { con.SQLiteExecute(sql, &q); }), "bad parameter or other API misuse")
            << sql;
        EXPECT_THROW(con.ExecStatements(sql), EDatabaseError) << sql;
    }
    // Blanks or a comment behind a statement are fine.
    EXPECT_NO_THROW(con.ExecStatements("update t set a=1; -- done"));
    TASQLite3Query query("q");
    query.SetConnection(&con);
    query.SQL().Add("-- nothing");
    EXPECT_THROW(query.Open(), EDatabaseError);
    EXPECT_FALSE(query.Active());
}

class RecordingCursor : public CursorHook {
public:
    CursorKind Current() const override { return kind; }
    void Set(CursorKind k) override {
        kind = k;
        seen.push_back(k);
    }
    CursorKind kind = CursorKind::Normal;
    std::vector<CursorKind> seen;
};

TEST_F(ConnectionEngineTest, BusyWaitWhileRunningStatementsShowsTheWaitCursor) {
    con.BusyTimeout = std::chrono::milliseconds(100);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    RecordingCursor cursor;
    SetCursorHook(&cursor);
    EXPECT_THROW(con.ExecStatements("insert into t values(2,'y')"), EDatabaseError);
    SetCursorHook(nullptr);
    sqlite3_exec(other, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(cursor.seen, (std::vector<CursorKind>{CursorKind::SqlWait, CursorKind::Normal}));
}

}  // namespace

namespace {

// A failure of the engine carries its extended result code (and the system's
// error number where the engine keeps one), whichever way a statement runs,
// so that it can be said without reading the English text.
TEST_F(ConnectionEngineTest, EngineFailuresCarryTheirExtendedCode) {
    con.BusyTimeout = std::chrono::milliseconds(50);
    const auto failureOf = [&](const std::function<void()>& act) {
        try {
            act();
        } catch (const EDatabaseError& e) {
            return e;
        }
        return EDatabaseError("no failure", -1);
    };
    RecordingQuery query;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(failureOf([&] { con.ExecStatements("update t set a=2"); }).EngineCode() & 0xFF, SQLITE_BUSY);
    EXPECT_EQ(failureOf([&] { con.SQLiteExecute("select * from t", &query); }).EngineCode() & 0xFF, SQLITE_BUSY);
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_EQ(failureOf([&] { con.ExecStatements("select * from nikde"); }).EngineCode(), SQLITE_ERROR);
    EXPECT_EQ(
        failureOf([&] { con.ExecStatements("insert into t values(1,'y'); insert into nikde values(1)"); }).EngineCode(),
        SQLITE_ERROR);
    // The file replaced under the open connection, as a restore by another copy does.
    con.ExecStatements("select * from t");
    std::filesystem::rename(path, path + ".stary");
    RunSql(path, "create table t(a integer, b text)");
    const EDatabaseError moved = failureOf([&] { con.ExecStatements("insert into t values(3,'z')"); });
    EXPECT_EQ(moved.EngineCode(), SQLITE_READONLY_DBMOVED) << moved.what();
    EXPECT_EQ(moved.Message(), "attempt to write a readonly database");
}

}  // namespace
