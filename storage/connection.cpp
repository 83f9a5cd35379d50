#include "storage/connection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <exception>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "storage/cursor_hook.h"
#include "storage/errors.h"
#include "storage/query_target.h"

namespace {

constexpr int kOk = 0;
constexpr int kError = 1;
constexpr int kBusy = 5;
constexpr int kSchema = 17;
constexpr int kMisuse = 21;
constexpr int kRow = 100;
constexpr int kOpenReadWrite = 0x02;
constexpr int kOpenCreate = 0x04;
constexpr int kOpenNoMutex = 0x8000;
[[maybe_unused]] constexpr int kDone = 101;

// The engine copies the bytes at bind time, so parameter values need not
// outlive the call that binds them.
const auto kTransient = reinterpret_cast<void (*)(void*)>(static_cast<intptr_t>(-1));

constexpr auto kBusyPause = std::chrono::milliseconds(10);

bool IsBlank(unsigned char c) { return c <= 32; }

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The engine's own text for a misuse result, raised when a text holds no
// statement to run.
constexpr const char* kMisuseMessage = "bad parameter or other API misuse";

// A current directory that cannot be read (deleted under the program) is an
// error: the path must never silently fall back to the root folder.
std::string CurrentDirectory() {
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) throw AsgError(std::string("Cannot read the current directory: ") + std::strerror(errno));
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

// A directory is not a catalogue file.
// Byte 2 marks the places of blob parameters; only those outside quoted
// tokens are places, so the bytes of a literal never change.
void MarkBlobPlaces(std::string& text) {
    char quote = 0;
    for (char& c : text) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"' || c == '`') {
            quote = c;
        } else if (c == '\x02') {
            c = '?';
        }
    }
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace

EDatabaseError EngineError(const OptionalEngineApi& optional, sqlite3* db, const std::string& message) {
    const int code = db && optional.extended_errcode ? optional.extended_errcode(db) : 0;
    const int system = db && optional.system_errno ? optional.system_errno(db) : 0;
    return EDatabaseError(message, code, system);
}

TASQLite3DB::TASQLite3DB(std::string name) : TComponent(std::move(name)), driverDll_(kDefaultDriverDLL) {}

TASQLite3DB::~TASQLite3DB() {
    connected_ = false;
    CloseEngineConnection();
    FreeLibs();
    if (pragma_) RemoveFreeNotification(pragma_);
    if (log_) RemoveFreeNotification(log_);
    if (inlineSql_) RemoveFreeNotification(inlineSql_);
    pragma_ = nullptr;
    log_ = nullptr;
    inlineSql_ = nullptr;
}

void TASQLite3DB::SetDatabase(const std::string& value) {
    std::size_t begin = 0;
    std::size_t end = value.size();
    while (begin < end && IsBlank(static_cast<unsigned char>(value[begin]))) ++begin;
    while (end > begin && IsBlank(static_cast<unsigned char>(value[end - 1]))) --end;
    database_ = value.substr(begin, end - begin);
}

void TASQLite3DB::SetASQLitePragma(TASQLite3Pragma* pragma) {
    if (pragma_ == pragma) return;
    if (pragma_) RemoveFreeNotification(pragma_);
    pragma_ = pragma;
    if (pragma_) FreeNotification(pragma_);
}

void TASQLite3DB::SetASQLiteLog(TASQLite3Log* log) {
    if (log_ == log) return;
    if (log_) RemoveFreeNotification(log_);
    log_ = log;
    if (log_) FreeNotification(log_);
}

void TASQLite3DB::SetASQLiteInlineSQL(TASQLite3InlineSQL* inlineSql) {
    if (inlineSql_ == inlineSql) return;
    if (inlineSql_) RemoveFreeNotification(inlineSql_);
    inlineSql_ = inlineSql;
    if (inlineSql_) FreeNotification(inlineSql_);
}

const std::string& TASQLite3DB::DefaultExt() {
    if (defaultExt_.empty()) defaultExt_ = ".sqb";
    return defaultExt_;
}

const std::string& TASQLite3DB::DriverDLL() {
    if (driverDll_.empty()) driverDll_ = kDefaultDriverDLL;
    return driverDll_;
}

void TASQLite3DB::SetConnected(bool value) {
    if (value)
        DBConnect();
    else
        DBDisconnect();
}

std::string TASQLite3DB::FormPath() {
    if (!defaultDir_.empty()) {
        if (defaultDir_.back() != '/') defaultDir_ += '/';
        return defaultDir_ + database_;
    }
    if (database_.find('/') != std::string::npos) return database_;
    std::string dir = CurrentDirectory();
    if (dir.back() != '/') dir += '/';
    return dir + database_;
}

void TASQLite3DB::DBConnect() {
    if (database_.empty()) throw AsgError("Missing database property");
    const std::string path = FormPath();
    if (mustExist_ && UpperAscii(database_) != ":MEMORY:" && !FileExists(path))
        throw EDatabaseError("Database " + path + " does not exist");
    if (!library_ && !LoadLibs()) {
        connected_ = false;
        throw AsgError("Could not load SQLite library");
    }
    connected_ = true;
    const char* version = api_.libversion();
    version_ = version ? version : "";
    // The connection being replaced is closed: nothing can reach it afterwards,
    // and leaving it open would keep the old file locked and leak the handle.
    CloseEngineConnection();
    if (BeforeConnect) BeforeConnect(this);
    // As the plain open does, without the lock around every call: the object
    // is used by one thread at a time, and a read of a large catalogue makes
    // two calls per value.
    if (optionalApi_.open_v2)
        optionalApi_.open_v2(path.c_str(), &db_, kOpenReadWrite | kOpenCreate | kOpenNoMutex, nullptr);
    else
        api_.open(path.c_str(), &db_);
    if (AfterConnect) AfterConnect(this);
    if (!db_) {
        connected_ = false;
        return;
    }
    if (pragma_) ExecPragma();
}

void TASQLite3DB::DBDisconnect() {
    if (!connected_) return;
    if (library_) {
        DebugOutput("freeing sqlite dll");
        if (BeforeDisconnect) BeforeDisconnect(this);
        CloseEngineConnection();
        FreeLibs();
        connected_ = false;
        if (AfterDisconnect) AfterDisconnect(this);
    }
    connected_ = false;
}

bool TASQLite3DB::LoadLibs() {
    const std::string& name = DriverDLL();
    DebugOutput("loading sqlite lib");
    DebugOutput(name);
    void* library = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;

    void* entries[kEngineEntryPointCount] = {};
    for (int i = 0; i < kEngineEntryPointCount; ++i) {
        entries[i] = ::dlsym(library, kEngineEntryPoints[i]);
        if (!entries[i]) {
            ::dlclose(library);
            return false;
        }
    }
    static_assert(sizeof entries == sizeof api_);
    std::memcpy(static_cast<void*>(&api_), entries, sizeof api_);
    optionalApi_.progress_handler =
        reinterpret_cast<decltype(optionalApi_.progress_handler)>(::dlsym(library, kProgressHandlerEntryPoint));
    optionalApi_.total_changes =
        reinterpret_cast<decltype(optionalApi_.total_changes)>(::dlsym(library, kTotalChangesEntryPoint));
    optionalApi_.extended_errcode =
        reinterpret_cast<decltype(optionalApi_.extended_errcode)>(::dlsym(library, kExtendedErrcodeEntryPoint));
    optionalApi_.system_errno =
        reinterpret_cast<decltype(optionalApi_.system_errno)>(::dlsym(library, kSystemErrnoEntryPoint));
    optionalApi_.open_v2 = reinterpret_cast<decltype(optionalApi_.open_v2)>(::dlsym(library, kOpenV2EntryPoint));
    optionalApi_.get_autocommit =
        reinterpret_cast<decltype(optionalApi_.get_autocommit)>(::dlsym(library, kGetAutocommitEntryPoint));
    optionalApi_.threadsafe =
        reinterpret_cast<decltype(optionalApi_.threadsafe)>(::dlsym(library, kThreadsafeEntryPoint));
    library_ = library;
    return true;
}

void TASQLite3DB::FreeLibs() {
    if (!library_) return;
    ::dlclose(library_);
    library_ = nullptr;
    api_ = EngineApi{};
    optionalApi_ = OptionalEngineApi{};
}

void TASQLite3DB::CloseEngineConnection() {
    if (db_ && api_.close) api_.close(db_);
    db_ = nullptr;
}

void TASQLite3DB::RequireEngineConnection() const {
    // Without this the first engine call would go through an unbound entry point.
    if (!library_ || !db_) throw AsgError("Database not connected");
}

void TASQLite3DB::RaiseEngineError() {
    const char* message = (library_ && api_.errmsg) ? api_.errmsg(db_) : nullptr;
    throw EngineError(optionalApi_, db_, message ? message : "");
}

int TASQLite3DB::StepRetryingBusy(sqlite3_stmt* stmt) {
    int rc = api_.step(stmt);
    if (rc != kBusy) return rc;
    const auto deadline = std::chrono::steady_clock::now() + BusyTimeout;
    while (rc == kBusy && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kBusyPause);
        rc = api_.step(stmt);
    }
    return rc;
}

// Preparing reads the schema, which another process's write lock can hold up
// just as it holds up a step: the same bounded wait applies.
int TASQLite3DB::PrepareRetryingBusy(const char* sql, sqlite3_stmt** stmt, const char** rest) {
    int rc = api_.prepare(db_, sql, -1, stmt, rest);
    const auto deadline = std::chrono::steady_clock::now() + BusyTimeout;
    while (rc == kBusy && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kBusyPause);
        rc = api_.prepare(db_, sql, -1, stmt, rest);
    }
    return rc;
}

int TASQLite3DB::ExecStatements(const std::string& sql) {
    RequireEngineConnection();
    // Waiting for another program's lock can take a while.
    SqlWaitCursor cursor;
    const char* position = sql.c_str();  // the text ends at its first zero byte
    bool ranAny = false;
    while (*position != '\0') {
        const char* next = position + std::strlen(position);
        // Another program's schema change (an index added, a vacuum) fails the
        // first run of a statement prepared on the old schema; it is prepared
        // again and run once more.
        for (int attempt = 0;; ++attempt) {
            sqlite3_stmt* stmt = nullptr;
            const char* rest = nullptr;
            const int prepared = PrepareRetryingBusy(position, &stmt, &rest);
            if (prepared != kOk) {
                if (stmt) api_.finalize(stmt);
                if (prepared == kSchema && attempt == 0) continue;
                RaiseEngineError();
            }
            if (rest) next = rest;
            if (!stmt) break;  // only blanks or a comment

            int rc;
            bool rows = false;
            while ((rc = StepRetryingBusy(stmt)) == kRow) rows = true;
            if (rc == kBusy) {
                const EDatabaseError busy = EngineError(optionalApi_, db_, api_.errmsg(db_));
                api_.finalize(stmt);
                throw busy;
            }
            ranAny = true;
            // The engine reports a failed step's own message when the statement is finalized.
            const int finalized = api_.finalize(stmt);
            if (finalized == kSchema && attempt == 0 && !rows) continue;
            if (finalized != kOk) RaiseEngineError();
            break;
        }
        position = next;
    }
    if (!ranAny) throw EDatabaseError(kMisuseMessage);
    return 0;
}

void TASQLite3DB::SQLiteExecute(const std::string& sql, QueryTarget* query) {
    if (!query) return;
    SqlWaitCursor cursor;
    RequireEngineConnection();

    std::string text(sql.c_str());  // up to the first zero byte
    // A statement without blob parameters keeps every byte.
    const std::vector<std::string_view> blobs = query->BlobParameters();
    if (!blobs.empty()) MarkBlobPlaces(text);

    for (int attempt = 0;; ++attempt) {
        sqlite3_stmt* stmt = nullptr;
        std::exception_ptr failure;
        bool again = false;
        try {
            const char* rest = nullptr;
            const int prepared = PrepareRetryingBusy(text.c_str(), &stmt, &rest);
            if (stmt) {
                int place = 1;
                for (std::string_view value : blobs)
                    api_.bind_blob(stmt, place++, value.data(), static_cast<int>(value.size()), kTransient);
            }
            if (prepared == kSchema && attempt == 0)
                again = true;
            else if (prepared != kOk)
                RaiseEngineError();
            else if (!stmt)
                throw EDatabaseError(kMisuseMessage);  // no statement in the text
            else
                again = !FetchRows(stmt, query, attempt == 0);
        } catch (...) {
            failure = std::current_exception();
        }

        api_.reset(stmt);
        const int finalized = api_.finalize(stmt);
        if (finalized != kOk) throw AsgError("SQLiteExecute error: " + std::to_string(finalized));
        if (failure) std::rethrow_exception(failure);
        if (!again) return;
    }
}

bool TASQLite3DB::FetchRows(sqlite3_stmt* stmt, QueryTarget* query, bool mayRetry) {
    const int count = api_.column_count(stmt);
    int rowKeyColumn = -1;
    std::vector<bool> wantsBytes(static_cast<std::size_t>(count), false);
    std::vector<bool> wantsInteger(static_cast<std::size_t>(count), false);
    if (count > 0) {
        std::vector<ResultColumn> columns(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const char* name = api_.column_name(stmt, i);
            const char* declared = api_.column_decltype(stmt, i);
            auto& column = columns[static_cast<std::size_t>(i)];
            column.name = name ? name : "";
            if (declared) column.declaredType = declared;
            if (UpperAscii(column.name) == "ROWID") rowKeyColumn = i;
        }
        query->MakeFieldDefs(columns, rowKeyColumn);
        for (int i = 0; i < count; ++i)
            if (i != rowKeyColumn) {
                wantsBytes[static_cast<std::size_t>(i)] = query->WantsBytes(i);
                wantsInteger[static_cast<std::size_t>(i)] = query->WantsInteger(i);
            }
    }

    std::vector<ColumnValue> values(static_cast<std::size_t>(count));
    std::vector<std::string> copies(static_cast<std::size_t>(count));
    int rc;
    bool delivered = false;
    while ((rc = StepRetryingBusy(stmt)) == kRow) {
        delivered = true;
        int rowKey = -1;
        for (int i = 0; i < count; ++i) {
            const auto at = static_cast<std::size_t>(i);
            ColumnValue& value = values[at];
            value = ColumnValue{};
            if (i == rowKeyColumn) {
                rowKey = api_.column_int(stmt, i);
                copies[at] = std::to_string(rowKey);
                value.text = copies[at];
                continue;
            }
            if (wantsInteger[at]) {
                value.integer = api_.column_int64(stmt, i);
                continue;
            }
            const auto* chars = reinterpret_cast<const char*>(api_.column_text(stmt, i));
            const int length = api_.column_bytes(stmt, i);
            value.isNull = chars == nullptr;
            if (chars) value.text = std::string_view(chars, static_cast<std::size_t>(length));
            if (wantsBytes[at]) {
                // Reading the bytes may move the text, so the text is kept as a copy.
                copies[at].assign(value.text);
                value.text = copies[at];
                const void* bytes = api_.column_blob(stmt, i);
                const int size = api_.column_bytes(stmt, i);
                if (bytes)
                    value.bytes = std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(size));
            }
        }
        query->StoreRow(values, rowKey);
    }
    if (rc == kError || rc == kMisuse || rc == kBusy) {
        // A statement from the legacy prepare reports only a generic error on
        // the step; the reset hands the engine's own code and message to the
        // connection. A schema change is met before any row.
        const int code = api_.reset(stmt);
        if (code == kSchema && mayRetry && !delivered) return false;
        RaiseEngineError();
    }
    return true;
}

int TASQLite3DB::RowsAffected() {
    if (!connected_ || !db_) return -1;
    return api_.changes(db_);
}

void TASQLite3DB::RunWhenConnected(const std::string& sql) {
    if (!connected_) SetConnected(true);
    if (connected_) ExecStatements(sql);
}

void TASQLite3DB::StartTransaction() { RunWhenConnected("begin transaction"); }

void TASQLite3DB::StartTransaction(const std::string& kind) {
    const std::string chosen = UpperAscii(kind.empty() ? transactionType_ : kind);
    if (chosen == "DEFERRED")
        RunWhenConnected("begin deferred transaction");
    else if (chosen == "IMMEDIATE")
        RunWhenConnected("begin immediate transaction");
    else if (chosen == "EXCLUSIVE")
        RunWhenConnected("begin exclusive transaction");
    else
        RunWhenConnected("begin transaction");
}

void TASQLite3DB::Commit() { RunWhenConnected("commit transaction"); }

void TASQLite3DB::RollBack() { RunWhenConnected("rollback transaction"); }

void TASQLite3DB::ExecPragma() {
    if (!connected_) SetConnected(true);
    if (!connected_ || !pragma_) return;
    const TASQLite3Pragma& p = *pragma_;
    if (p.TempCacheSize != 0) ExecStatements("pragma cache_size=" + std::to_string(p.TempCacheSize));
    if (p.DefaultCacheSize != 0) ExecStatements("pragma default_cache_size=" + std::to_string(p.DefaultCacheSize));
    if (!p.DefaultSynchronous.empty()) ExecStatements("pragma default_synchronous=" + p.DefaultSynchronous);
    if (!p.DefaultTempStore.empty()) ExecStatements("pragma default_temp_store=" + p.DefaultTempStore);
    if (!p.TempStore.empty()) ExecStatements("pragma temp_store=" + p.TempStore);
    if (!p.Synchronous.empty()) ExecStatements("pragma synchronous=" + p.Synchronous);
}

void TASQLite3DB::Notification(TComponent* component, Operation operation) {
    if (operation == Operation::Remove && component) {
        if (component == pragma_) pragma_ = nullptr;
        if (component == log_) log_ = nullptr;
        if (component == inlineSql_) inlineSql_ = nullptr;
    }
    TComponent::Notification(component, operation);
}
