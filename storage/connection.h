#pragma once
// The one door between the catalogue and the SQLite engine. The engine
// library is loaded by file name at run time and bound by entry-point name.
// A connection is used by one thread at a time: the engine opens it without a
// lock of its own where the library can.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/component.h"
#include "storage/engine_api.h"

class QueryTarget;
class TASQLite3DB;

using TASQLite3NotifyEvent = std::function<void(TASQLite3DB* sender)>;

// Pragma settings run after each successful open. Zero or empty leaves the engine's own.
class TASQLite3Pragma : public TComponent {
public:
    using TComponent::TComponent;
    int32_t TempCacheSize = 0;
    int32_t DefaultCacheSize = 0;
    std::string DefaultSynchronous;
    std::string DefaultTempStore;
    std::string TempStore;
    std::string Synchronous;
};

// Held only: the connection stores a link and drops it when the log goes away.
class TASQLite3Log : public TComponent {
public:
    using TComponent::TComponent;
    std::string LogFile;
    bool LogDebugOut = false;
    bool Append = false;
    bool LogSQL = false;
    bool LogInternals = false;
};

// Held only, like the log.
class TASQLite3InlineSQL : public TComponent {
public:
    using TComponent::TComponent;
    std::vector<std::string> SQL;
};

class TASQLite3DB : public TComponent {
public:
    explicit TASQLite3DB(std::string name = {});
    ~TASQLite3DB() override;

    // Published properties, in declared order.
    const std::string& TransactionType() const { return transactionType_; }
    void SetTransactionType(std::string value) { transactionType_ = std::move(value); }

    const std::string& Database() const { return database_; }
    void SetDatabase(const std::string& value);  // trims blanks and control bytes

    TASQLite3Pragma* ASQLitePragma() const { return pragma_; }
    void SetASQLitePragma(TASQLite3Pragma* pragma);

    TASQLite3Log* ASQLiteLog() const { return log_; }
    void SetASQLiteLog(TASQLite3Log* log);

    const std::string& DefaultExt();  // stores ".sqb" when empty
    void SetDefaultExt(std::string value) { defaultExt_ = std::move(value); }

    const std::string& DefaultDir() const { return defaultDir_; }
    void SetDefaultDir(std::string value) { defaultDir_ = std::move(value); }

    const std::string& Version() const { return version_; }
    void SetVersion(std::string value) { version_ = std::move(value); }

    const std::string& DriverDLL();  // stores the platform's default name when empty
    void SetDriverDLL(std::string value) { driverDll_ = std::move(value); }

    bool Connected() const { return connected_; }
    void SetConnected(bool value);

    bool MustExist() const { return mustExist_; }
    void SetMustExist(bool value) { mustExist_ = value; }

    TASQLite3InlineSQL* ASQLiteInlineSQL() const { return inlineSql_; }
    void SetASQLiteInlineSQL(TASQLite3InlineSQL* inlineSql);

    bool ExecuteInlineSQL() const { return executeInlineSql_; }
    void SetExecuteInlineSQL(bool value) { executeInlineSql_ = value; }

    TASQLite3NotifyEvent AfterConnect;
    TASQLite3NotifyEvent BeforeConnect;
    TASQLite3NotifyEvent AfterDisconnect;
    TASQLite3NotifyEvent BeforeDisconnect;

    // How long a step that the engine reports busy is retried before the
    // engine's busy message is raised. Not stored in any layout.
    std::chrono::milliseconds BusyTimeout{5000};

    // Runs the first statement of `sql` and hands its columns and rows to `query`.
    void SQLiteExecute(const std::string& sql, QueryTarget* query);
    // Runs every statement of `sql`, discarding rows; returns 0.
    int ExecStatements(const std::string& sql);
    [[noreturn]] void RaiseEngineError();
    int RowsAffected();

    void StartTransaction();
    void StartTransaction(const std::string& kind);
    void Commit();
    void RollBack();
    void ExecPragma();

    // The engine connection and the bound entry points, for the query's posting of rows.
    sqlite3* Handle() const { return db_; }
    const EngineApi& Api() const { return api_; }
    const OptionalEngineApi& OptionalApi() const { return optionalApi_; }
    bool LibraryLoaded() const { return library_ != nullptr; }

    // The file path formed from DefaultDir, Database and the current directory.
    std::string FormPath();

protected:
    void Notification(TComponent* component, Operation operation) override;

private:
    void DBConnect();
    void DBDisconnect();
    bool LoadLibs();
    void FreeLibs();
    void CloseEngineConnection();
    void RequireEngineConnection() const;
    int StepRetryingBusy(sqlite3_stmt* stmt);
    int PrepareRetryingBusy(const char* sql, sqlite3_stmt** stmt, const char** rest);
    // False when the statement met another program's schema change before any
    // row and `mayRetry` allows preparing it again.
    bool FetchRows(sqlite3_stmt* stmt, QueryTarget* query, bool mayRetry);
    void RunWhenConnected(const std::string& sql);

    std::string database_;
    std::string transactionType_;
    std::string defaultExt_ = ".sqb";
    std::string defaultDir_;
    std::string driverDll_;
    bool connected_ = false;
    bool mustExist_ = false;
    std::string version_ = "3.2.7";
    sqlite3* db_ = nullptr;
    TASQLite3Pragma* pragma_ = nullptr;
    TASQLite3Log* log_ = nullptr;
    TASQLite3InlineSQL* inlineSql_ = nullptr;
    bool executeInlineSql_ = false;
    EngineApi api_{};
    OptionalEngineApi optionalApi_{};
    void* library_ = nullptr;
};

class EDatabaseError;
// The engine's last failure on `db`: its message, its extended result code and
// the system's error number, as far as the library can tell them.
EDatabaseError EngineError(const OptionalEngineApi& optional, sqlite3* db, const std::string& message);

// The platform's file name of the engine library.
inline constexpr const char* kDefaultDriverDLL = "libsqlite3.so.0";
