#pragma once
// The engine's entry points, bound by name at run time. The table lists them
// in the order in which they are resolved; binding fails on the first name
// that does not resolve.
#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

struct EngineApi {
    int (*open)(const char*, sqlite3**);
    int (*close)(sqlite3*);
    int (*exec)(sqlite3*, const char*, int (*)(void*, int, char**, char**), void*, char**);
    const char* (*libversion)();
    const char* (*errmsg)(sqlite3*);
    int (*get_table)(sqlite3*, const char*, char***, int*, int*, char**);
    void (*free_table)(char**);
    void (*free)(void*);
    int (*complete)(const char*);
    int64_t (*last_insert_rowid)(sqlite3*);
    void (*interrupt)(sqlite3*);
    int (*busy_timeout)(sqlite3*, int);
    int (*busy_handler)(sqlite3*, int (*)(void*, int), void*);
    int (*changes)(sqlite3*);
    int (*prepare)(sqlite3*, const char*, int, sqlite3_stmt**, const char**);
    int (*finalize)(sqlite3_stmt*);
    int (*reset)(sqlite3_stmt*);
    int (*step)(sqlite3_stmt*);
    const void* (*column_blob)(sqlite3_stmt*, int);
    int (*column_bytes)(sqlite3_stmt*, int);
    int (*column_count)(sqlite3_stmt*);
    const char* (*column_decltype)(sqlite3_stmt*, int);
    double (*column_double)(sqlite3_stmt*, int);
    int (*column_int)(sqlite3_stmt*, int);
    int64_t (*column_int64)(sqlite3_stmt*, int);
    const char* (*column_name)(sqlite3_stmt*, int);
    const unsigned char* (*column_text)(sqlite3_stmt*, int);
    int (*column_type)(sqlite3_stmt*, int);
    int (*bind_blob)(sqlite3_stmt*, int, const void*, int, void (*)(void*));
};

// Entry-point names in binding order; kEngineEntryPoints[i] fills the i-th member above.
inline constexpr int kEngineEntryPointCount = 29;
extern const char* const kEngineEntryPoints[kEngineEntryPointCount];

// Entry points resolved while binding when the library has them; a library
// without them still binds, and what needs them does without (a backup then
// shows no progress and cannot be cancelled).
struct OptionalEngineApi {
    void (*progress_handler)(sqlite3*, int, int (*)(void*), void*);
    // Rows changed through the connection since it opened (a library without
    // it leaves the window rebuilding its tree after every change).
    int (*total_changes)(sqlite3*);
    // The last failure's extended result code and the system's error number
    // behind it (an old library leaves the failures without them).
    int (*extended_errcode)(sqlite3*);
    int (*system_errno)(sqlite3*);
    // Opening with flags: a connection of ours is used by one thread at a
    // time, so it goes without the engine's lock around every call.
    int (*open_v2)(const char*, sqlite3**, int, const char*);
    // Whether the connection is outside a transaction (nonzero) or inside one.
    int (*get_autocommit)(sqlite3*);
    // Nonzero when the library was built for connections used from several threads.
    int (*threadsafe)();
};
inline constexpr const char* kProgressHandlerEntryPoint = "sqlite3_progress_handler";
inline constexpr const char* kTotalChangesEntryPoint = "sqlite3_total_changes";
inline constexpr const char* kExtendedErrcodeEntryPoint = "sqlite3_extended_errcode";
inline constexpr const char* kSystemErrnoEntryPoint = "sqlite3_system_errno";
inline constexpr const char* kOpenV2EntryPoint = "sqlite3_open_v2";
inline constexpr const char* kGetAutocommitEntryPoint = "sqlite3_get_autocommit";
inline constexpr const char* kThreadsafeEntryPoint = "sqlite3_threadsafe";
