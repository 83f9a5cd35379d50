#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "storage/connection.h"
#include "storage/cursor_hook.h"
#include "storage/errors.h"
#include "support/recording_query.h"
#include "support/temp_dir.h"

namespace {

using testsupport::RecordingQuery;
using testsupport::TempDir;

std::vector<std::string> g_debug;
void CaptureDebug(const std::string& line) { g_debug.push_back(line); }

// A stand-in engine library: named by the environment, or else found beside
// the test program, where the build puts it.
std::string TestLibrary(const char* variable, const char* fileName) {
    if (const char* value = std::getenv(variable); value && *value) return value;
    return (std::filesystem::canonical("/proc/self/exe").parent_path() / fileName).string();
}

// Every test runs in a fresh current directory, with debug output captured.
class Connection : public ::testing::Test {
protected:
    void SetUp() override {
        char buffer[4096];
        ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
        oldCwd_ = buffer;
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        cwd = std::filesystem::current_path().string();
        g_debug.clear();
        SetDebugOutput(&CaptureDebug);
    }
    void TearDown() override {
        SetDebugOutput(nullptr);
        [[maybe_unused]] int rc = chdir(oldCwd_.c_str());
    }

    // Records the four events in the order they fire.
    void Watch(TASQLite3DB& con) {
        con.BeforeConnect = [this](TASQLite3DB* s) { events.push_back(s ? "BeforeConnect" : "?"); };
        con.AfterConnect = [this](TASQLite3DB*) { events.push_back("AfterConnect"); };
        con.BeforeDisconnect = [this](TASQLite3DB*) { events.push_back("BeforeDisconnect"); };
        con.AfterDisconnect = [this](TASQLite3DB*) { events.push_back("AfterDisconnect"); };
    }

    // Reads one column through the system library on the connection's own handle.
    static std::vector<std::string> Select(sqlite3* db, const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* t = sqlite3_column_text(stmt, 0);
            out.emplace_back(t ? reinterpret_cast<const char*>(t) : "<NULL>");
        }
        sqlite3_finalize(stmt);
        return out;
    }

    TempDir dir;
    std::string cwd;
    std::vector<std::string> events;

private:
    std::string oldCwd_;
};

using Strings = std::vector<std::string>;

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

TEST_F(Connection, BindingFailuresAndLoadingOnce) {
    const std::string noBindBlob = TestLibrary("SVAZKOVNA_TEST_NO_BIND_BLOB", "libsqlite3_no_bind_blob.so");
    ASSERT_TRUE(std::filesystem::exists(noBindBlob)) << noBindBlob;
    for (std::string library : {std::string("libsvazkovna-no-such-engine.so"), noBindBlob}) {
        TASQLite3DB con;
        con.SetDatabase("a.db");
        con.SetDriverDLL(library);
        g_debug.clear();
        for (int attempt = 0; attempt < 2; ++attempt) {  // a failed binding is tried afresh
            try {
                con.SetConnected(true);
                ADD_FAILURE() << library;
            } catch (const AsgError& e) {
                EXPECT_STREQ(e.what(), "Could not load SQLite library");
            }
            EXPECT_FALSE(con.Connected());
            EXPECT_FALSE(con.LibraryLoaded());
        }
        EXPECT_EQ(g_debug, (Strings{"loading sqlite lib", library, "loading sqlite lib", library}));
    }

    TASQLite3DB con;
    Watch(con);
    EXPECT_EQ(con.DriverDLL(), kDefaultDriverDLL);
    con.SetDatabase("a.db");
    g_debug.clear();
    con.SetConnected(true);
    con.ExecStatements("begin exclusive transaction");
    con.SetConnected(true);
    EXPECT_TRUE(con.Connected());
    // The replaced connection was closed: its lock is gone and the file is writable again.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open("a.db", &other), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(other, "create table t(a)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    EXPECT_EQ(events, (Strings{"BeforeConnect", "AfterConnect", "BeforeConnect", "AfterConnect"}));
    EXPECT_EQ(g_debug, (Strings{"loading sqlite lib", kDefaultDriverDLL}));
    EXPECT_EQ(con.Version(), sqlite3_libversion());

    con.SetConnected(false);
    EXPECT_EQ(g_debug.back(), "freeing sqlite dll");
    EXPECT_FALSE(con.LibraryLoaded());
    EXPECT_EQ(con.RowsAffected(), -1);
    con.SetConnected(true);  // binds again after a release
    EXPECT_EQ(std::count(g_debug.begin(), g_debug.end(), "loading sqlite lib"), 2);
    EXPECT_EQ(events, (Strings{"BeforeConnect", "AfterConnect", "BeforeConnect", "AfterConnect", "BeforeDisconnect",
                               "AfterDisconnect", "BeforeConnect", "AfterConnect"}));
}

TEST_F(Connection, PropertiesAndPathRules) {
    struct Case {
        std::string defaultDir, database, path, dirAfter;
    } cases[] = {
        {"", "svazkovna.db", cwd + "/svazkovna.db", ""},
        {"", " \t svazkovna.db\r\n  ", cwd + "/svazkovna.db", ""},
        {"/data", "x.db", "/data/x.db", "/data/"},
        {"/data/", "x.db", "/data/x.db", "/data/"},
        {"/data", "sub/x.db", "/data/sub/x.db", "/data/"},
        {"", "sub/x.db", "sub/x.db", ""},
        {"", "/abs/x", "/abs/x", ""},
        {"",
         "\x01\x1f"
         "a b\x7f\xa0 \x20",
         cwd + "/a b\x7f\xa0", ""},
    };
    for (const Case& c : cases) {
        TASQLite3DB con;
        con.SetDefaultDir(c.defaultDir);
        con.SetDatabase(c.database);
        EXPECT_EQ(con.FormPath(), c.path) << c.database;
        EXPECT_EQ(con.DefaultDir(), c.dirAfter) << c.database;
    }

    TASQLite3DB con;
    EXPECT_EQ(con.Version(), "3.2.7");
    con.SetDriverDLL("");
    con.SetDefaultExt("");
    EXPECT_EQ(con.DriverDLL(), kDefaultDriverDLL);
    EXPECT_EQ(con.DefaultExt(), ".sqb");

    // A relative name with a separator is opened against the current directory, no extension added.
    ASSERT_EQ(mkdir("sub", 0700), 0);
    con.SetDatabase("sub/x");
    con.SetConnected(true);
    con.ExecStatements("create table t(a)");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "sub" / "x"));
}

TEST_F(Connection, ConnectFailuresChangeNothing) {
    TASQLite3DB con;
    Watch(con);
    con.SetConnected(false);  // not connected: nothing at all
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(g_debug.empty());

    EXPECT_THROW(
        try { con.SetConnected(true); } catch (const AsgError& e) {
            EXPECT_STREQ(e.what(), "Missing database property");
            throw;
        },
        AsgError);

    con.SetMustExist(true);
    con.SetDatabase("nothing.db");
    try {
        con.SetConnected(true);
        ADD_FAILURE();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Database " + cwd + "/nothing.db does not exist");
    }
    ASSERT_EQ(mkdir("folder.db", 0700), 0);
    con.SetDatabase("folder.db");
    EXPECT_THROW(con.SetConnected(true), EDatabaseError);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(g_debug.empty());
    EXPECT_FALSE(con.LibraryLoaded());
    EXPECT_FALSE(con.Connected());

    con.SetDatabase(":MEMORY:");  // exempt from the existence test in any letter case
    con.SetConnected(true);
    EXPECT_TRUE(con.Connected());
}

TEST_F(Connection, OpenWithoutHandleLeavesDisconnectedQuietly) {
    const std::string nullOpen = TestLibrary("SVAZKOVNA_TEST_NULL_OPEN", "libsqlite3_null_open.so");
    ASSERT_TRUE(std::filesystem::exists(nullOpen)) << nullOpen;
    TASQLite3DB con;
    Watch(con);
    con.SetDriverDLL(nullOpen);
    con.SetDatabase("a.db");
    con.SetConnected(true);
    EXPECT_FALSE(con.Connected());
    EXPECT_TRUE(con.LibraryLoaded());
    EXPECT_EQ(con.Version(), "0.0.0-null-open");
    EXPECT_EQ(events, (Strings{"BeforeConnect", "AfterConnect"}));
    con.SetConnected(false);
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(con.RowsAffected(), -1);
    // Statements without an engine connection are refused instead of reaching the engine.
    RecordingQuery query;
    EXPECT_THROW(con.SQLiteExecute("select 1", &query), AsgError);
    EXPECT_THROW(con.ExecStatements("select 1"), AsgError);
    con.SetConnected(true);  // tries again
    EXPECT_EQ(events.size(), 4u);
}

TEST_F(Connection, DatabaseChangeTakesEffectAtNextConnect) {
    TASQLite3DB con;
    con.SetDatabase("a.db");
    con.SetConnected(true);
    con.SetDatabase("b.db");
    con.ExecStatements("create table ta(x)");
    con.SetConnected(true);
    con.ExecStatements("create table tb(x)");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open("a.db", &db), SQLITE_OK);
    EXPECT_EQ(Select(db, "select name from sqlite_master"), Strings{"ta"});
    sqlite3_close(db);
    ASSERT_EQ(sqlite3_open("b.db", &db), SQLITE_OK);
    EXPECT_EQ(Select(db, "select name from sqlite_master"), Strings{"tb"});
    sqlite3_close(db);
}

class RecordingCursor : public CursorHook {
public:
    CursorKind Current() const override { return kind; }
    void Set(CursorKind k) override {
        kind = k;
        seen.push_back(k);
    }
    CursorKind kind = CursorKind::Hourglass;
    std::vector<CursorKind> seen;
};

TEST_F(Connection, EngineErrorsWordForWordAndCursorRestored) {
    TASQLite3DB con;
    con.SetDatabase("a.db");
    con.SetConnected(true);
    con.ExecStatements("create table t(a integer check(a>0))");
    RecordingCursor cursor;
    SetCursorHook(&cursor);
    struct Case {
        std::string sql, message;
    } cases[] = {
        {"select * from nic", "no such table: nic"},
        {"selec 1", "near \"selec\": syntax error"},
        // Fails at the step, not at the prepare: the engine's own reason, not a generic one.
        {"insert into t values(-1)", "CHECK constraint failed: a>0"},
        {"select abs(-9223372036854775807-1)", "integer overflow"},
    };
    for (const Case& c : cases) {
        RecordingQuery query;
        try {
            con.SQLiteExecute(c.sql, &query);
            ADD_FAILURE() << c.sql;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.message) << "SQLiteExecute " << c.sql;
        }
        try {
            con.ExecStatements("insert into t values(5);" + c.sql);
            ADD_FAILURE() << c.sql;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.message) << "ExecStatements " << c.sql;
        }
    }
    SetCursorHook(nullptr);
    ASSERT_EQ(cursor.seen.size(), 16u);  // both ways of running show the wait cursor
    for (std::size_t i = 0; i < cursor.seen.size(); i += 2) {
        EXPECT_EQ(cursor.seen[i], CursorKind::SqlWait);
        EXPECT_EQ(cursor.seen[i + 1], CursorKind::Hourglass);
    }
    // Nothing stays prepared after the failures: the connection closes cleanly.
    EXPECT_EQ(sqlite3_next_stmt(con.Handle(), nullptr), nullptr);
    EXPECT_EQ(Select(con.Handle(), "select count(*) from t"), Strings{"4"});
}

TEST_F(Connection, StatementsColumnsAndRows) {
    TASQLite3DB con;
    con.SetDatabase("a.db");
    con.SetConnected(true);
    EXPECT_EQ(con.ExecStatements("create table t(id integer, name text, data blob); "
                                 "insert into t values(1, 'a', null); insert into t values(2, 'b', null);  "),
              0);
    EXPECT_EQ(Select(con.Handle(), "select count(*) from t"), Strings{"2"});

    RecordingQuery query;
    con.SQLiteExecute("insert into t values(3, 'c', null); insert into t values(4, 'd', null)", &query);
    EXPECT_EQ(query.rowKeyColumn, -2);  // no result columns: no field definitions
    // The text ends at its first zero byte.
    con.ExecStatements(std::string("insert into t values(5, 'e', null);\0insert into t values(6, 'f', null)", 71));
    EXPECT_EQ(Select(con.Handle(), "select group_concat(id) from t"), Strings{"1,2,3,5"});

    // Blob places are marked with byte 2; the bytes arrive whole, zero bytes included.
    query.blobs = {std::string("x\0y", 3), "second"};
    con.SQLiteExecute("insert into t values(7, \x02, \x02)", &query);
    EXPECT_EQ(Select(con.Handle(), "select hex(name) || ':' || hex(data) from t where id=7"),
              Strings{"780079:7365636F6E64"});

    RecordingQuery rows;
    rows.bytesColumns = {3};
    con.SQLiteExecute("select rowid, id, name, data, id*2 from t where id in (1, 7) order by id", &rows);
    ASSERT_EQ(rows.columns.size(), 5u);
    EXPECT_EQ(rows.rowKeyColumn, 0);
    EXPECT_EQ(rows.columns[1].name, "id");
    EXPECT_EQ(Upper(rows.columns[1].declaredType.value_or("")), "INTEGER");
    EXPECT_EQ(Upper(rows.columns[3].declaredType.value_or("")), "BLOB");
    EXPECT_EQ(rows.columns[4].declaredType, std::nullopt);
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[0].key, 1);
    EXPECT_EQ(rows.rows[0].text[2], "a");
    EXPECT_TRUE(rows.rows[0].isNull[3]);
    EXPECT_EQ(rows.rows[0].text[3], "");
    EXPECT_EQ(rows.rows[0].text[4], "2");
    EXPECT_EQ(rows.rows[1].key, 5);
    EXPECT_EQ(rows.rows[1].bytes[3], "second");
    EXPECT_EQ(rows.rows[1].text[2], std::string("x\0y", 3));

    RecordingQuery noKey;
    con.SQLiteExecute("select name from t where id=1", &noKey);
    EXPECT_EQ(noKey.rowKeyColumn, -1);
    ASSERT_EQ(noKey.rows.size(), 1u);
    EXPECT_EQ(noKey.rows[0].key, -1);

    con.ExecStatements("update t set name='z' where id<3");
    EXPECT_EQ(con.RowsAffected(), 2);
}

TEST_F(Connection, CzechBytesStoredUnconverted) {
    // "Příliš žluťoučký kůň" in Windows-1250: single bytes above 127, not UTF-8.
    const std::string czech = "P\xf8\xedli\x9a \x9elu\x9dou\xe8k\xfd k\xf9\xf2";
    TASQLite3DB con;
    con.SetDatabase("a.db");
    con.SetConnected(true);
    con.ExecStatements("create table t(titul text)");
    RecordingQuery none;
    con.SQLiteExecute("insert into t values('" + czech + "')", &none);
    EXPECT_EQ(Select(con.Handle(), "select hex(titul) from t"), Strings{"50F8ED6C699A209E6C759D6F75E86BFD206BF9F2"});
    RecordingQuery query;
    con.SQLiteExecute("select titul from t where titul='" + czech + "'", &query);
    ASSERT_EQ(query.rows.size(), 1u);
    EXPECT_EQ(query.rows[0].text[0], czech);
}

TEST_F(Connection, BusyStepGivesUpAfterTheBound) {
    TASQLite3DB con;
    con.SetDatabase("a.db");
    con.SetConnected(true);
    con.ExecStatements("create table t(a); insert into t values(1)");
    con.BusyTimeout = std::chrono::milliseconds(300);

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open("a.db", &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);

    for (bool viaQuery : {true, false}) {
        const auto start = std::chrono::steady_clock::now();
        try {
            RecordingQuery query;
            if (viaQuery)
                con.SQLiteExecute("select a from t", &query);
            else
                con.ExecStatements("insert into t values(2)");
            ADD_FAILURE() << viaQuery;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), "database is locked");
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_GE(elapsed, std::chrono::milliseconds(300));
        EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
    }
    sqlite3_exec(other, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    RecordingQuery query;
    con.SQLiteExecute("select a from t", &query);  // the lock is gone: works again
    EXPECT_EQ(query.rows.size(), 1u);
}

TEST_F(Connection, FirstStatementWaitsForALockThatIsReleasedInTime) {
    {
        TASQLite3DB setup;
        setup.SetDatabase("a.db");
        setup.SetConnected(true);
        setup.ExecStatements("create table t(a); insert into t values(1)");
    }
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open("a.db", &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    // Another program that lets go of its lock after a moment.
    std::thread releaser([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sqlite3_exec(other, "commit", nullptr, nullptr, nullptr);
    });

    // A fresh connection has not read the schema yet, so even preparing meets the lock.
    TASQLite3DB con;
    con.SetDatabase("a.db");
    con.SetConnected(true);
    con.BusyTimeout = std::chrono::milliseconds(3000);
    RecordingQuery query;
    EXPECT_NO_THROW(con.SQLiteExecute("select a from t", &query));
    EXPECT_EQ(query.rows.size(), 1u);
    releaser.join();
    sqlite3_close(other);
}

int TraceStatement(unsigned, void* context, void*, void* sql) {
    static_cast<Strings*>(context)->push_back(static_cast<const char*>(sql));
    return 0;
}

TEST_F(Connection, TransactionAndPragmaTexts) {
    TASQLite3DB con;
    con.SetDatabase("a.db");
    con.SetTransactionType("immediate");
    con.StartTransaction();  // connects first
    ASSERT_TRUE(con.Connected());
    EXPECT_EQ(sqlite3_get_autocommit(con.Handle()), 0);
    con.RollBack();
    EXPECT_EQ(sqlite3_get_autocommit(con.Handle()), 1);

    Strings trace;
    sqlite3_trace_v2(con.Handle(), SQLITE_TRACE_STMT, &TraceStatement, &trace);
    for (std::string kind : {"", "Default", "deferred", "IMMEDIATE", "Exclusive", "other"}) {
        con.StartTransaction(kind);
        con.Commit();
    }
    EXPECT_EQ(trace, (Strings{"begin immediate transaction", "commit transaction", "begin transaction",
                              "commit transaction", "begin deferred transaction", "commit transaction",
                              "begin immediate transaction", "commit transaction", "begin exclusive transaction",
                              "commit transaction", "begin transaction", "commit transaction"}));

    auto pragma = std::make_unique<TASQLite3Pragma>("pragma");
    pragma->TempCacheSize = 100;
    pragma->DefaultCacheSize = -200;
    pragma->DefaultSynchronous = "FULL";
    pragma->DefaultTempStore = "MEMORY";
    pragma->TempStore = "MEMORY";
    pragma->Synchronous = "OFF";
    con.SetASQLitePragma(pragma.get());
    trace.clear();
    con.ExecPragma();
    EXPECT_EQ(trace,
              (Strings{"pragma cache_size=100", "pragma default_cache_size=-200", "pragma default_synchronous=FULL",
                       "pragma default_temp_store=MEMORY", "pragma temp_store=MEMORY", "pragma synchronous=OFF"}));

    // Pragmas run after every successful open.
    con.SetConnected(true);
    EXPECT_EQ(Select(con.Handle(), "pragma synchronous"), Strings{"0"});
    EXPECT_EQ(Select(con.Handle(), "pragma temp_store"), Strings{"2"});

    // Links are dropped when the linked components go away.
    auto log = std::make_unique<TASQLite3Log>("log");
    auto inlineSql = std::make_unique<TASQLite3InlineSQL>("inline");
    con.SetASQLiteLog(log.get());
    con.SetASQLiteInlineSQL(inlineSql.get());
    pragma.reset();
    log.reset();
    inlineSql.reset();
    EXPECT_EQ(con.ASQLitePragma(), nullptr);
    EXPECT_EQ(con.ASQLiteLog(), nullptr);
    EXPECT_EQ(con.ASQLiteInlineSQL(), nullptr);
    con.ExecPragma();  // nothing linked: nothing to run
}

TEST_F(Connection, ComponentsOutlivingTheConnectionAreSafe) {
    auto pragma = std::make_unique<TASQLite3Pragma>();
    {
        TASQLite3DB con;
        con.SetASQLitePragma(pragma.get());
    }
    pragma.reset();  // must not reach the destroyed connection
    SUCCEED();
}

}  // namespace
