#include "app/tidy/group_list.h"

#include <QTimer>
#include <QTreeWidget>

#include "app/platform/error_box.h"

int CurrentGroupIndex(const QTreeWidget& list) {
    QTreeWidgetItem* item = list.currentItem();
    if (item && item->parent()) item = item->parent();
    return item ? item->data(0, Qt::UserRole).toInt() : -1;
}

void RefreshLater(QWidget& window, bool& pending, UiServices& ui, std::function<void()> refresh) {
    if (pending || !window.isVisible()) return;
    pending = true;
    QTimer::singleShot(0, &window, [&pending, &ui, refresh = std::move(refresh)] {
        pending = false;
        RunGuarded(ui, refresh);
    });
}
