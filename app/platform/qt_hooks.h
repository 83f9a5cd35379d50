#pragma once
// Connects the storage layer's platform hooks to Qt: the screen cursor to the
// application's override cursor, the debug output to a logging category.
#include <QLoggingCategory>

#include "storage/cursor_hook.h"

Q_DECLARE_LOGGING_CATEGORY(StorageLog)

// The cursor as Qt override cursors: SQL-wait is the busy cursor, hourglass the
// wait cursor; only overrides that this hook pushed are ever popped.
class QtCursorHook : public CursorHook {
public:
    CursorKind Current() const override;
    void Set(CursorKind kind) override;

private:
    bool pushed_ = false;
    CursorKind below_ = CursorKind::Normal;  // what showed before our override
};

// Installs both hooks for the whole process; call once the QApplication exists.
void InstallQtStorageHooks();

// What the process needs before its QApplication exists: the embedded
// browser's GL sharing, and no Chromium sandbox when running as root (which
// Chromium refuses).
void PrepareApplicationProcess();
// What the program sets once the QApplication exists: its font and the hooks above.
void SetUpApplication();
