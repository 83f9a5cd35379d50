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
    // Namesakes are told apart by their rank among the author's titles of the same text.
    TitleRef title{NodeBytes(*author), NodeBytes(node), 0};
    for (int i = 0, at = author->indexOfChild(&node); i < at; ++i)
        if (NodeBytes(*author->child(i)) == title.title) ++title.rank;
    auto menu = std::make_unique<QMenu>(this);
    session_->FillTitleMenu(*menu, title);
    return menu;
}
