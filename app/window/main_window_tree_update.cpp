// The tree after the program's own changes: one row changed, deleted or added
// moves one title node (and at most one author node) instead of rebuilding
// every node; the view then looks as after a rebuild. Whatever the update
// cannot place exactly as a rebuild would (texts that are not all there is of
// the stored value, authors the collation finds equal, the top author going
// away) and any change the program did not make rebuild the tree instead.
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/platform/codepage.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/collation.h"
#include "app/window/main_window.h"
#include "app/window/tree_node.h"
#include "app/window/value_lists.h"
#include "ui_main_window.h"

namespace {

// What the tree makes of one row, read by its key.
struct TreeRow {
    bool exists = false;
    bool wholeAuthor = false;  // a text, and all of it delivered
    std::string author;
    std::string title;
    bool wholeTitle = false;
};

TreeRow ReadTreeRow(TASQLite3Query& query, int64_t key) {
    query.SQL().Clear();
    query.SQL().Add(
        "select autor, titul, typeof(autor), length(cast(autor as blob)), "
        "case typeof(titul) when 'text' then length(cast(titul as blob)) else -1 end "
        "from svazkovna where rowid=" + std::to_string(key));
    query.Open();
    TreeRow row;
    row.exists = query.RecordCount() > 0;
    if (!row.exists) return row;
    row.author = query.Fields(0).AsString();
    row.title = query.Fields(1).AsString();
    row.wholeAuthor = query.Fields(2).AsString() == "text" &&
                      query.Fields(3).AsString() == std::to_string(row.author.size());
    row.wholeTitle = query.Fields(4).AsString() == std::to_string(row.title.size());
    return row;
}

QByteArray Bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TreeNode* TForm1::FindTitleNode(int64_t key) const {
    QTreeWidget& tree = *ui_->tv1;
    for (int a = 0, authors = tree.topLevelItemCount(); a < authors; ++a) {
        TreeNode& author = AsTreeNode(*tree.topLevelItem(a));
        if (const int at = author.TitleWithKey(key); at >= 0) return &AsTreeNode(*TitleNode(author, at));
    }
    return nullptr;
}

void TForm1::BeforeOwnChange(const std::vector<int64_t>& rows) {
    value_lists_->BeforeOwnChange(rows);
    noted_stamp_ = StampOf(con1);
    noted_rows_.clear();
    // Only a tree read from the catalogue as it is now can follow the change.
    tree_follows_ = tree_stamp_.Same(noted_stamp_);
    if (!tree_follows_) return;
    for (int64_t key : rows) {
        const TreeRow row = ReadTreeRow(nodesq, key);
        noted_rows_.push_back({key, row.exists, row.exists && row.wholeAuthor, false});
    }
}

void TForm1::AfterOwnChange(const RowsChange& change) {
    if (change.readAnew) {
        tree_follows_ = false;
        tv1update();
        return;
    }
    value_lists_->AfterOwnChange(change.changed, change.added, change.historyLines);
    const CatalogueStamp now = StampOf(con1);
    bool follows = tree_follows_ && Follows(noted_stamp_, now, change.changed, change.historyLines);
    tree_follows_ = false;
    if (follows && change.treeShape) {
        std::vector<NotedRow> rows = noted_rows_;
        for (NotedRow& row : rows) row.gone = change.deleted;
        for (int64_t key : change.added) rows.push_back({key, false, false, false});
        try {
            for (size_t i = 0; follows && i < rows.size(); ++i) follows = UpdateTreeRow(rows[i]);
        } catch (...) {
            follows = false;  // the rebuild reads it all and reports what fails
        }
    }
    if (!follows) {
        tv1update();
        return;
    }
    tree_stamp_ = now;
    ShowTreeAsRebuilt();
}

void TForm1::RefreshTree() {
    if (!tree_stamp_.Same(StampOf(con1))) {
        tv1update();
        return;
    }
    ShowTreeAsRebuilt();
}

void TForm1::ShowTreeAsRebuilt() {
    QTreeWidget& tree = *ui_->tv1;
    // A rebuild makes every node anew: all collapsed, the view at its start,
    // the top author selected.
    tree.collapseAll();
    tree.verticalScrollBar()->setValue(0);
    tree.horizontalScrollBar()->setValue(0);
    SelectNode(nullptr);
    // A view reset (the search makes one) empties the selection without
    // telling the nodes; new nodes would not remember having been selected.
    for (int a = 0, authors = tree.topLevelItemCount(); a < authors; ++a) {
        QTreeWidgetItem* author = tree.topLevelItem(a);
        if (author->isSelected()) author->setSelected(false);
        for (int t = 0, titles = author->childCount(); t < titles; ++t)
            if (author->child(t)->isSelected()) author->child(t)->setSelected(false);
    }
    SelectNode(tree_top_);
    // The rows may have changed: the capabilities that show them read them anew.
    emit session_->CatalogueChanged();
}

bool TForm1::UpdateTreeRow(const NotedRow& before) {
    QTreeWidget& tree = *ui_->tv1;
    const TreeRow after = ReadTreeRow(nodesq, before.key);
    // A row that is not where the change should have left it (a catalogue that
    // is a view over another table, say): only the engine knows what changed.
    if (after.exists == before.gone) return false;
    // A row of an author that is not all there: the list of authors may change in ways only the engine knows.
    if ((before.existed && !before.wholeAuthor) || (after.exists && !after.wholeAuthor)) return false;
    TreeNode* old = FindTitleNode(before.key);
    if ((old != nullptr) != before.existed) return false;

    // The author nodes showing a text; more than one means authors the tree cannot tell apart.
    const auto authorsOf = [&](const QByteArray& bytes) {
        std::vector<int> at;
        for (int a = 0; a < tree.topLevelItemCount(); ++a)
            if (AsTreeNode(*tree.topLevelItem(a)).Bytes() == bytes) at.push_back(a);
        return at;
    };
    QTreeWidgetItem* oldAuthor = old ? old->parent() : nullptr;
    if (oldAuthor && authorsOf(AsTreeNode(*oldAuthor).Bytes()).size() != 1) return false;
    const bool sameAuthor = oldAuthor && after.exists && AsTreeNode(*oldAuthor).Bytes() == Bytes(after.author);
    const bool authorGoes = oldAuthor && !sameAuthor && oldAuthor->childCount() == 1;
    if (authorGoes && oldAuthor == tree_top_) return false;

    QTreeWidgetItem* newAuthor = nullptr;
    int newAuthorAt = -1;
    if (after.exists && !sameAuthor) {
        const std::vector<int> found = authorsOf(Bytes(after.author));
        if (found.size() > 1) return false;
        if (found.size() == 1) {
            newAuthor = tree.topLevelItem(found.front());
            // A node without titles stands for a stored author of another kind with the same text.
            if (AsTreeNode(*newAuthor).TitleCount() == 0) return false;
        } else {
            // A new author goes where the sort puts it; one the collation finds
            // equal to a neighbour would go by the engine's order, which only a rebuild knows.
            const LocaleOrder order;
            const QCollatorSortKey key = order.SortKey(FromCodePage(after.author));
            int lo = 0, hi = tree.topLevelItemCount();
            while (lo < hi) {
                const int mid = (lo + hi) / 2;
                if (order.SortKey(tree.topLevelItem(mid)->text(0)).compare(key) < 0) lo = mid + 1;
                else hi = mid;
            }
            if (lo < tree.topLevelItemCount() && order.SortKey(tree.topLevelItem(lo)->text(0)).compare(key) == 0)
                return false;
            newAuthorAt = lo;
            // The rebuild selects the author the engine orders last.
            if (!tree_top_ || tree_top_->TitleCount() == 0 || authorsOf(tree_top_->Bytes()).size() != 1)
                return false;
        }
    }

    // Everything is known: change the nodes.
    if (old) {
        delete old;
        if (authorGoes) {
            if (tree.indexOfTopLevelItem(oldAuthor) < newAuthorAt) --newAuthorAt;
            delete oldAuthor;
        }
    }
    if (!after.exists) return true;
    if (sameAuthor) newAuthor = oldAuthor;
    if (!newAuthor) {
        auto* node = new TreeNode(after.author);
        tree.insertTopLevelItem(newAuthorAt, node);
        newAuthor = node;
        if (after.author > AsTreeNode(*tree_top_).Bytes().toStdString()) tree_top_ = node;
    }
    // Titles stand in the order of their rows.
    AsTreeNode(*newAuthor).MakeTitles();
    int lo = 0, hi = newAuthor->childCount();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (AsTreeNode(*newAuthor->child(mid)).RowKey() < before.key) lo = mid + 1;
        else hi = mid;
    }
    newAuthor->insertChild(lo, new TreeNode(after.title, before.key, after.wholeTitle));
    return true;
}
