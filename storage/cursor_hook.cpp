#include "storage/cursor_hook.h"

namespace {

// Without a window there is no screen cursor; remember the kind so that a
// restore still sees what was set.
class NoCursor : public CursorHook {
public:
    CursorKind Current() const override { return kind_; }
    void Set(CursorKind kind) override { kind_ = kind; }

private:
    CursorKind kind_ = CursorKind::Normal;
};

NoCursor g_noCursor;
CursorHook* g_cursorHook = nullptr;
DebugOutputFn g_debugOutput = nullptr;

}  // namespace

void SetCursorHook(CursorHook* hook) { g_cursorHook = hook; }

CursorHook& ActiveCursorHook() { return g_cursorHook ? *g_cursorHook : g_noCursor; }

SqlWaitCursor::SqlWaitCursor() : previous_(ActiveCursorHook().Current()) {
    ActiveCursorHook().Set(CursorKind::SqlWait);
}

SqlWaitCursor::~SqlWaitCursor() {
    try {
        ActiveCursorHook().Set(previous_);
    } catch (...) {
        // A destructor must not throw; the cursor is cosmetic.
    }
}

void SetDebugOutput(DebugOutputFn fn) { g_debugOutput = fn; }

void DebugOutput(const std::string& line) {
    if (g_debugOutput) g_debugOutput(line);
}
