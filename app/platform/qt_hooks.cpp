#include "app/platform/qt_hooks.h"

#include <QApplication>
#include <QCursor>
#include <QFont>
#include <unistd.h>
#include <QGuiApplication>
#include <QThread>

#include "app/core/codepage.h"

Q_LOGGING_CATEGORY(StorageLog, "svazkovna.storage")

namespace {

// The screen cursor belongs to the window's thread; a statement run in a
// thread of its own (a background read) leaves it alone.
bool OnWindowThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

CursorKind QtCursorHook::Current() const {
    if (!OnWindowThread()) return CursorKind::Normal;
    const QCursor* cursor = QGuiApplication::overrideCursor();
    if (!cursor) return CursorKind::Normal;
    switch (cursor->shape()) {
    case Qt::BusyCursor: return CursorKind::SqlWait;
    case Qt::WaitCursor: return CursorKind::Hourglass;
    case Qt::ArrowCursor: return CursorKind::Normal;
    default: return CursorKind::Other;
    }
}

void QtCursorHook::Set(CursorKind kind) {
    if (!OnWindowThread()) return;
    if (kind == CursorKind::Hourglass || kind == CursorKind::SqlWait) {
        const Qt::CursorShape shape = kind == CursorKind::SqlWait ? Qt::BusyCursor : Qt::WaitCursor;
        if (pushed_ && kind == below_) {
            // Back to the cursor that was there before ours: pop, so that its
            // owner's own restore later finds its override on top.
            QGuiApplication::restoreOverrideCursor();
            pushed_ = false;
        } else if (pushed_) {
            QGuiApplication::changeOverrideCursor(QCursor(shape));
        } else if (Current() != kind) {
            below_ = Current();
            QGuiApplication::setOverrideCursor(QCursor(shape));
            pushed_ = true;
        }
        return;
    }
    // Normal, or a kind that cannot be rebuilt: take away our own override and
    // let whatever was below it show again.
    if (pushed_) {
        QGuiApplication::restoreOverrideCursor();
        pushed_ = false;
    }
}

namespace {

void StorageDebugLine(const std::string& line) { qCDebug(StorageLog).noquote() << FromCodePage(line); }

}  // namespace

void InstallQtStorageHooks() {
    static QtCursorHook hook;
    SetCursorHook(&hook);
    SetDebugOutput(&StorageDebugLine);
}

void PrepareApplicationProcess() {
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void SetUpApplication() {
    // The layouts are drawn for an 8-point sans font of 11 pixels.
    QFont font = QApplication::font();
    font.setPixelSize(11);
    QApplication::setFont(font);
    InstallQtStorageHooks();
}
