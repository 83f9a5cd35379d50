#pragma once
#include <string>
// The application's screen cursor, as the storage layer sees it. The storage
// layer shows the SQL-wait cursor while a statement runs and restores the
// previous kind afterwards; the window installs a hook that does it with Qt.

enum class CursorKind { Normal, Hourglass, SqlWait, Other };

class CursorHook {
public:
    virtual ~CursorHook() = default;
    virtual CursorKind Current() const = 0;
    virtual void Set(CursorKind kind) = 0;
};

// Installs the process-wide hook (nullptr: the default, which does nothing).
void SetCursorHook(CursorHook* hook);
CursorHook& ActiveCursorHook();

// Shows the SQL-wait cursor for its lifetime, restoring what was there before.
class SqlWaitCursor {
public:
    SqlWaitCursor();
    ~SqlWaitCursor();
    SqlWaitCursor(const SqlWaitCursor&) = delete;
    SqlWaitCursor& operator=(const SqlWaitCursor&) = delete;

private:
    CursorKind previous_;
};

// The platform's debug output channel; by default lines go to nowhere.
using DebugOutputFn = void (*)(const std::string& line);
void SetDebugOutput(DebugOutputFn fn);
void DebugOutput(const std::string& line);
