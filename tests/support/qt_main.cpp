// Test entry for the window tests: one QApplication for the whole run, offscreen.
#include <QApplication>
#include <unistd.h>
#include <gtest/gtest.h>
#include <memory>

#include "support/app_screen_reader.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    // Chromium refuses its sandbox as root (CI); no GPU here either.
    if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").isEmpty()) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    // WebEngine shares GL contexts with the widgets; this must precede the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // The sanitizer run repeats the window tests so, to catch rows that read
    // what is gone while a reader asks after them.
    std::unique_ptr<testsupport::ScreenReader> reader;
    if (testsupport::ScreenReaderWanted()) reader = std::make_unique<testsupport::ScreenReader>();
    return RUN_ALL_TESTS();
}
