#pragma once
// A stand-in for a screen reader. With a reader running, every change of a
// list's selection or current row makes the reader ask at once after that
// row: its texts in every column, its colours. A row whose data is already
// gone then fails here (under the sanitizers for certain), as it crashes under
// a real reader. Qt's offscreen platform has no accessibility of its own
// (QAccessible::isActive() stays false there), so the reader listens to the
// lists' selection signals, which is where Qt's accessibility code reads
// them; where the platform has accessibility, its updates are read as well.
#include <QStringList>
#include <memory>

class QObject;

namespace testsupport {

class ScreenReader {
public:
    // Every list shown from now on is read while this lives (nested readers share one).
    ScreenReader();
    ~ScreenReader();
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    // The texts read so far, the latest last (at most the last few thousand).
    static QStringList Heard();
    static void Forget();

private:
    std::unique_ptr<QObject> listener_;
};

// Whether the whole run should go with a reader (SVAZKOVNA_TEST_ACCESSIBILITY=1
// or QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 in the environment).
bool ScreenReaderWanted();

}  // namespace testsupport
