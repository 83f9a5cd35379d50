// The tree's right-click menu on a title: the window finds the title, the
// capabilities add their entries to it.
#include <QMenu>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "app/platform/catalogue_session.h"
#include "app/window/main_window.h"
#include "app/window/tree_node.h"
#include "ui_main_window.h"

void TForm1::SetUpTitleMenu() {
    QTreeWidget* tree = form()->tv1;
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    // A right click opens the menu only: the title click (and its web lookup)
    // belongs to the left button.
    connect(tree, &QWidget::customContextMenuRequested, this, [this, tree](const QPoint& pos) {
        QTreeWidgetItem* node = tree->itemAt(pos);
        if (!node || !node->parent()) return;
        std::unique_ptr<QMenu> menu;
        Guarded([&] { menu = TitleMenu(*node); });
        if (menu && !menu->isEmpty()) menu->exec(tree->viewport()->mapToGlobal(pos));
    });
}

std::unique_ptr<QMenu> TForm1::TitleMenu(QTreeWidgetItem& node) {
    QTreeWidgetItem* author = node.parent();
    if (!author) return nullptr;
    // The row as a click finds it; the entries act on that row by its key.
    const TitleRef title{TitleRow(node), NodeBytes(*author), NodeBytes(node)};
    auto menu = std::make_unique<QMenu>(this);
    session_->FillTitleMenu(*menu, title);
    return menu;
}
