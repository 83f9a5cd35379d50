#pragma once
// What the windows that list groups (author spellings, copies) share: the
// group of the current item, a refresh deferred until the running handler is
// through, and the flag that keeps a window's own change from refreshing it twice.
#include <functional>

class QTreeWidget;
class QWidget;
class UiServices;

// The index stored (Qt::UserRole) on the top item of the current item's group; -1 when none.
int CurrentGroupIndex(const QTreeWidget& list);

// Runs `refresh` guarded, once, after the running handler, when `window` is shown.
void RefreshLater(QWidget& window, bool& pending, UiServices& ui, std::function<void()> refresh);

// Set while the window itself changes the catalogue.
class OwnChange {
public:
    explicit OwnChange(bool& flag) : flag_(flag) { flag_ = true; }
    ~OwnChange() { flag_ = false; }
    OwnChange(const OwnChange&) = delete;
    OwnChange& operator=(const OwnChange&) = delete;

private:
    bool& flag_;
};
