#include "catalogue/backup_store.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <string_view>
#include <thread>
#include <unistd.h>

#include "storage/connection.h"
#include "storage/errors.h"

namespace {

constexpr int kOk = 0;
constexpr int kBusy = 5;
constexpr int kNoMemory = 7;
constexpr int kCorrupt = 11;
constexpr int kNotADatabase = 26;
constexpr int kRow = 100;
constexpr int kDone = 101;

// How many engine instructions pass between two progress calls: often enough
// for a smooth bar and a prompt cancel, rare enough to cost nothing.
constexpr int kInstructionsPerTick = 4000;
// The engine's text for a busy result, for a library that tells no result codes.
constexpr std::string_view kBusyMessage = "database is locked";
constexpr auto kBusyPause = std::chrono::milliseconds(10);
// Where the schema format number sits in a database file's header.
constexpr off_t kSchemaFormatOffset = 44;
// The quick check's complaints kept for the user's "Podrobnosti": enough to
// tell one damaged page from many, short enough for any box.
constexpr int kReportLines = 40;

// A connection of our own on a file, closed when it goes; `db` is null when
// the engine could not even allocate one.
struct FileConnection {
    FileConnection(const EngineApi& engine, const std::string& path) : api(engine) { api.open(path.c_str(), &db); }
    ~FileConnection() {
        if (db) api.close(db);
    }
    FileConnection(const FileConnection&) = delete;
    FileConnection& operator=(const FileConnection&) = delete;
    const EngineApi& api;
    sqlite3* db = nullptr;
};

struct FirstRow {
    int code = kOk;       // the engine's result code, kOk when the statement ran
    std::string message;  // the engine's message when it did not
    int engineCode = 0;   // its extended result code and the system's error number, when known
    int systemError = 0;
    bool hasRow = false;
    std::string value;  // column `column` of the first rows (up to `rows`), as text, one a line
};

void Describe(FirstRow& row, const EngineApi& api, const OptionalEngineApi* optional, sqlite3* db) {
    const char* message = api.errmsg(db);
    row.message = message ? message : "";
    if (!optional) return;
    const EDatabaseError error = EngineError(*optional, db, row.message);
    row.engineCode = error.EngineCode();
    row.systemError = error.SystemError();
}

[[noreturn]] void Raise(const FirstRow& row) { throw EDatabaseError(row.message, row.engineCode, row.systemError); }

// Runs `sql` up to its first row (or its first `rows` rows). A busy file is waited for within `busyWait`,
// as the connection waits for its own statements.
FirstRow RunToFirstRow(const EngineApi& api, sqlite3* db, const char* sql, std::chrono::milliseconds busyWait,
                       int column = 0, int rows = 1, const OptionalEngineApi* optional = nullptr) {
    FirstRow result;
    const auto deadline = std::chrono::steady_clock::now() + busyWait;
    const auto waitMore = [&] {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kBusyPause);
        return true;
    };
    sqlite3_stmt* stmt = nullptr;
    const char* rest = nullptr;
    int rc;
    while ((rc = api.prepare(db, sql, -1, &stmt, &rest)) == kBusy && waitMore()) {}
    if (rc != kOk) {
        if (stmt) api.finalize(stmt);
        result.code = rc & 0xFF;
        Describe(result, api, optional, db);
        return result;
    }
    if (!stmt) return result;
    while ((rc = api.step(stmt)) == kBusy && waitMore()) {}
    for (int got = 0; rc == kRow;) {
        result.hasRow = true;
        const auto* text = reinterpret_cast<const char*>(api.column_text(stmt, column));
        if (got++ > 0) result.value += '\n';
        if (text) result.value += text;
        if (got == rows) break;
        while ((rc = api.step(stmt)) == kBusy && waitMore()) {}
        // The rows read so far are the answer; a failure after them does not undo it.
        if (rc != kRow && rc != kDone) rc = kDone;
    }
    // A statement from the legacy prepare reports a failed step's own code and
    // message only when it is finalized.
    const int finalized = api.finalize(stmt);
    if (rc != kRow && rc != kDone) {
        result.code = (finalized != kOk ? finalized : rc) & 0xFF;
        Describe(result, api, optional, db);
    }
    return result;
}

// The first line of the quick check's report tells sound from damaged; engine
// failures that say the file is damaged or no database at all count as a report.
Integrity CheckOn(const EngineApi& api, const OptionalEngineApi* optional, sqlite3* db,
                  std::chrono::milliseconds busyWait) {
    const FirstRow row = RunToFirstRow(api, db, "PRAGMA quick_check", busyWait, 0, kReportLines, optional);
    Integrity result;
    if (row.code == kOk) {
        if (row.hasRow && row.value == "ok") return result;
        result.state = Integrity::State::Damaged;
        result.report = row.hasRow ? row.value : "quick_check returned nothing";
        return result;
    }
    if (row.code == kCorrupt) {
        result.state = Integrity::State::Damaged;
    } else if (row.code == kNotADatabase) {
        result.state = Integrity::State::NotADatabase;
    } else {
        Raise(row);
    }
    result.report = row.message;
    return result;
}

void RequireOpen(TASQLite3DB& con) {
    if (!con.LibraryLoaded() || !con.Handle()) throw AsgError("Database not connected");
}

std::string QuotedLiteral(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    return quoted + "'";
}

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// The big-endian 32-bit number at `offset` of a file's header.
bool ReadHeaderNumber(int fd, off_t offset, unsigned char (&bytes)[4]) {
    return ::pread(fd, bytes, sizeof bytes, offset) == static_cast<ssize_t>(sizeof bytes);
}

}  // namespace

Descriptor::~Descriptor() {
    if (fd >= 0) ::close(fd);
}

std::string BackupFolderOf(const std::string& catalogue) { return catalogue + ".zalohy"; }

bool WouldOverwriteCatalogue(const std::string& catalogue, const std::string& target) {
    const auto same = [](const std::string& a, const std::string& b) {
        struct stat x {
        }, y{};
        return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
    };
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        if (same(catalogue + suffix, target)) return true;
    const size_t slash = target.find_last_of('/');
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    return same(BackupFolderOf(catalogue), parent);
}

std::string OpenCataloguePath(TASQLite3DB& con) {
    RequireOpen(con);
    // The engine keeps the full name it opened; the connection's own name may
    // be relative to a directory that has changed since.
    // The main database comes first; its file name is the third column.
    const FirstRow row =
        RunToFirstRow(con.Api(), con.Handle(), "PRAGMA database_list", con.BusyTimeout, 2, 1, &con.OptionalApi());
    if (row.code != kOk) Raise(row);
    return row.value;
}

Integrity CheckEmptiness(const std::string& path) {
    Integrity result;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || info.st_size != 0) return result;
    struct stat log {};
    if (::stat((path + "-wal").c_str(), &log) == 0 && log.st_size > 0) return result;
    result.state = Integrity::State::Damaged;
    result.report = "the file is empty (0 bytes)";
    return result;
}

Integrity QuickCheck(TASQLite3DB& con) {
    RequireOpen(con);
    return CheckOn(con.Api(), &con.OptionalApi(), con.Handle(), con.BusyTimeout);
}

Integrity QuickCheckFile(const EngineApi& api, const OptionalEngineApi& optional, const std::string& path,
                         std::chrono::milliseconds busyWait) {
    const FileConnection file(api, path);
    if (!file.db) throw EDatabaseError("out of memory", kNoMemory);
    return CheckOn(api, &optional, file.db, busyWait);
}

long long ChangesMade(TASQLite3DB& con) {
    RequireOpen(con);
    const FirstRow row =
        RunToFirstRow(con.Api(), con.Handle(), "SELECT total_changes()", con.BusyTimeout, 0, 1, &con.OptionalApi());
    if (row.code != kOk) Raise(row);
    return std::stoll(row.value);
}

void RefuseWrites(TASQLite3DB& con) { con.ExecStatements("PRAGMA query_only=1"); }

void VacuumInto(TASQLite3DB& con, const std::string& target, const std::function<bool()>& tick) {
    RequireOpen(con);
    struct Hook {
        const std::function<bool()>* tick;
        bool cancelled = false;
    } hook{&tick};
    const auto progress = con.OptionalApi().progress_handler;
    sqlite3* db = con.Handle();
    if (progress && tick) {
        // A non-zero answer interrupts the statement; nothing may be thrown through the engine.
        progress(
            db, kInstructionsPerTick,
            [](void* data) -> int {
                auto* h = static_cast<Hook*>(data);
                try {
                    if ((*h->tick)()) return 0;
                } catch (...) {}
                h->cancelled = true;
                return 1;
            },
            &hook);
    }
    try {
        con.ExecStatements("VACUUM INTO " + QuotedLiteral(target));
    } catch (const EDatabaseError& e) {
        if (progress && tick) progress(db, 0, nullptr, nullptr);
        if (hook.cancelled) throw CopyCancelled();
        // The connection has waited for the lock already; its message is the busy result's.
        if ((e.EngineCode() & 0xFF) == kBusy || (e.EngineCode() == 0 && std::string_view(e.what()) == kBusyMessage))
            throw CatalogueBusy(e.what());
        throw;
    } catch (...) {
        if (progress && tick) progress(db, 0, nullptr, nullptr);
        throw;
    }
    if (progress && tick) progress(db, 0, nullptr, nullptr);
}

void KeepSchemaFormat(const std::string& source, const std::string& copy) {
    // Runs while the connection holds no lock on the catalogue: closing any
    // descriptor of a file drops every lock the process holds on it.
    const Descriptor from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (from.fd < 0) throw std::runtime_error(SystemError("cannot read", source));
    unsigned char wanted[4];
    if (!ReadHeaderNumber(from.fd, kSchemaFormatOffset, wanted))
        throw std::runtime_error(SystemError("cannot read the header of", source));
    // Formats 1 to 4 are the ones engines know; anything else is left as the engine wrote it.
    if (wanted[0] != 0 || wanted[1] != 0 || wanted[2] != 0 || wanted[3] < 1 || wanted[3] > 4) return;
    const Descriptor to(::open(copy.c_str(), O_RDWR | O_CLOEXEC));
    if (to.fd < 0) throw std::runtime_error(SystemError("cannot open", copy));
    unsigned char written[4];
    if (!ReadHeaderNumber(to.fd, kSchemaFormatOffset, written))
        throw std::runtime_error(SystemError("cannot read the header of", copy));
    if (std::memcmp(wanted, written, sizeof wanted) == 0) return;
    if (::pwrite(to.fd, wanted, sizeof wanted, kSchemaFormatOffset) != static_cast<ssize_t>(sizeof wanted))
        throw std::runtime_error(SystemError("cannot write", copy));
}

bool LooksTruncated(const std::string& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    unsigned char header[100];
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 ||
        ::pread(file.fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header))
        return false;
    const auto number = [&](int at) {
        return (static_cast<uint32_t>(header[at]) << 24) | (static_cast<uint32_t>(header[at + 1]) << 16) |
               (static_cast<uint32_t>(header[at + 2]) << 8) | header[at + 3];
    };
    const uint32_t pageSizeField = (static_cast<uint32_t>(header[16]) << 8) | header[17];
    const off_t pageSize = pageSizeField == 1 ? 65536 : pageSizeField;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) return false;  // no usable header
    if (info.st_size % pageSize != 0) return true;
    // The page count in the header counts only when the engine that wrote it
    // also stamped it valid (older engines left it stale).
    const uint32_t pages = number(28);
    return pages > 0 && number(24) == number(92) && info.st_size < static_cast<off_t>(pages) * pageSize;
}

CatalogueSummary InspectCatalogueFile(const EngineApi& api, const std::string& path, bool check) {
    CatalogueSummary summary;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        summary.failure = SystemError("cannot open", path);
        return summary;
    }
    const FileConnection file(api, path);
    sqlite3* const db = file.db;
    if (!db) {
        summary.failure = "out of memory";
        return summary;
    }
    constexpr auto kBusyWait = std::chrono::milliseconds(2000);
    try {
        if (check) summary.integrity = CheckOn(api, nullptr, db, kBusyWait);
    } catch (const std::exception& e) {
        summary.failure = e.what();
        return summary;
    }
    const FirstRow count = RunToFirstRow(api, db, "select count(*) from svazkovna", kBusyWait);
    if (count.code == kOk && count.hasRow)
        summary.books = std::stoll(count.value);
    else {
        summary.failure = count.message;
        summary.failureCode = count.code;
    }
    return summary;
}
