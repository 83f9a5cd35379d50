// The tree after the program's own changes: one row changed, deleted or added
// moves one title node (and at most one author node) instead of rebuilding
// every node; the view then looks as after a rebuild. Whatever the update
// cannot place exactly as a rebuild would (texts that are not all there is of
// the stored value, authors the collation finds equal, the top author going
// away) and any change the program did not make rebuild the tree instead.
#include "app/window/catalogue_tree.h"

#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "app/platform/rows_change.h"
#include "app/platform/value_lists.h"
#include "app/window/tree_node.h"
#include "storage/query.h"

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
        "from svazkovna where rowid=" +
        std::to_string(key));
    query.Open();
    TreeRow row;
    row.exists = query.RecordCount() > 0;
    if (!row.exists) return row;
    row.author = query.Fields(0).AsString();
    row.title = query.Fields(1).AsString();
    row.wholeAuthor =
        query.Fields(2).AsString() == "text" && query.Fields(3).AsString() == std::to_string(row.author.size());
    row.wholeTitle = query.Fields(4).AsString() == std::to_string(row.title.size());
    return row;
}

QByteArray Bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

CatalogueTree::CatalogueTree(QTreeWidget& tree, CatalogueSession& session, TASQLite3Query& nodes,
                             std::function<void()> rebuild)
    : tree_(tree), session_(session), nodes_(nodes), rebuild_(std::move(rebuild)) {}

QTreeWidgetItem* CatalogueTree::Selected() const {
    const QList<QTreeWidgetItem*> selected = tree_.selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void CatalogueTree::Select(QTreeWidgetItem* node) {
    if (!node) {
        tree_.clearSelection();
        tree_.setCurrentItem(nullptr);
        return;
    }
    tree_.setCurrentItem(node);
    tree_.scrollToItem(node);
}

void CatalogueTree::RebuildStarts() {
    stamp_ = CatalogueStamp{};
    top_ = nullptr;
    // The file may be another one (or replaced); the lists are read anew when next shown.
    session_.Lists().Forget();
}

void CatalogueTree::Rebuilt(const CatalogueStamp& stamp, TreeNode* top) {
    stamp_ = stamp;
    top_ = top;
}

TreeNode* CatalogueTree::FindTitleNode(int64_t key) const {
    QTreeWidget& tree = tree_;
    for (int a = 0, authors = tree.topLevelItemCount(); a < authors; ++a) {
        TreeNode& author = AsTreeNode(*tree.topLevelItem(a));
        if (const int at = author.TitleWithKey(key); at >= 0) return &AsTreeNode(*TitleNode(author, at));
    }
    return nullptr;
}

bool CatalogueTree::SelectRow(int64_t key) {
    TreeNode* node = FindTitleNode(key);
    if (!node) return false;
    node->parent()->setExpanded(true);
    Select(node);
    return true;
}

void CatalogueTree::Before(const std::vector<int64_t>& rows) {
    session_.Lists().BeforeOwnChange(rows);
    noted_stamp_ = StampOf(session_.Connection());
    noted_rows_.clear();
    // Only a tree read from the catalogue as it is now can follow the change.
    follows_ = stamp_.Same(noted_stamp_);
    if (!follows_) return;
    for (int64_t key : rows) {
        const TreeRow row = ReadTreeRow(nodes_, key);
        noted_rows_.push_back({key, row.exists, row.exists && row.wholeAuthor, false});
    }
}

void CatalogueTree::After(const RowsChange& change) {
    // Rows whose keys the change does not know (an import, say): only a rebuild shows them.
    if (change.readAnew) {
        follows_ = false;
        rebuild_();
        return;
    }
    session_.Lists().AfterOwnChange(change.changed, change.added, change.historyLines);
    const CatalogueStamp now = StampOf(session_.Connection());
    bool follows = follows_ && Follows(noted_stamp_, now, change.changed, change.historyLines);
    follows_ = false;
    if (follows && change.treeShape) {
        std::vector<NotedRow> rows = noted_rows_;
        for (NotedRow& row : rows) row.gone = change.deleted;
        for (int64_t key : change.added) rows.push_back({key, false, false, false});
        try {
            for (size_t i = 0; follows && i < rows.size(); ++i) follows = UpdateRow(rows[i]);
        } catch (...) {
            follows = false;  // the rebuild reads it all and reports what fails
        }
        authors_.reset();
    }
    if (!follows) {
        rebuild_();
        return;
    }
    stamp_ = now;
    ShowAsRebuilt();
}

void CatalogueTree::Refresh() {
    if (!stamp_.Same(StampOf(session_.Connection()))) {
        rebuild_();
        return;
    }
    ShowAsRebuilt();
}

std::optional<std::optional<int64_t>> CatalogueTree::KnownRow(QTreeWidgetItem& node) const {
    QTreeWidgetItem* author = node.parent();
    if (!author || !stamp_.Same(StampOf(session_.Connection()))) return std::nullopt;
    // What the select by author and title returns: the author's titles of the
    // same text that are all of their stored title, in row order; the node's
    // rank among the titles of the same text picks one, the last one at most.
    const QByteArray& bytes = AsTreeNode(node).Bytes();
    int rank = 0;
    bool before = true;
    std::vector<int64_t> rows;
    for (int i = 0, n = author->childCount(); i < n; ++i) {
        TreeNode& sibling = AsTreeNode(*author->child(i));
        if (&sibling == &node) before = false;
        if (sibling.Bytes() != bytes) continue;
        if (before) ++rank;
        if (sibling.WholeTitle()) rows.push_back(sibling.RowKey());
    }
    if (rows.empty()) return std::optional<int64_t>{};
    return rows[static_cast<size_t>(std::min(rank, static_cast<int>(rows.size()) - 1))];
}

void CatalogueTree::ShowAsRebuilt() {
    QTreeWidget& tree = tree_;
    // A rebuild makes every node anew: all collapsed, the view at its start,
    // the top author selected.
    tree.collapseAll();
    tree.verticalScrollBar()->setValue(0);
    tree.horizontalScrollBar()->setValue(0);
    Select(nullptr);
    // A view reset (the search makes one) empties the selection without
    // telling the nodes; new nodes would not remember having been selected.
    for (int a = 0, authors = tree.topLevelItemCount(); a < authors; ++a) {
        QTreeWidgetItem* author = tree.topLevelItem(a);
        if (author->isSelected()) author->setSelected(false);
        for (int t = 0, titles = author->childCount(); t < titles; ++t)
            if (author->child(t)->isSelected()) author->child(t)->setSelected(false);
    }
    Select(top_);
    // The rows may have changed: the capabilities that show them read them anew.
    emit session_.CatalogueChanged();
}

std::vector<QTreeWidgetItem*> CatalogueTree::AuthorsOf(const QByteArray& bytes) {
    if (!authors_) {
        authors_.emplace();
        for (int a = 0, n = tree_.topLevelItemCount(); a < n; ++a) {
            QTreeWidgetItem* author = tree_.topLevelItem(a);
            (*authors_)[AsTreeNode(*author).Bytes()].push_back(author);
        }
    }
    const auto at = authors_->constFind(bytes);
    return at == authors_->cend() ? std::vector<QTreeWidgetItem*>() : *at;
}

bool CatalogueTree::UpdateRow(const NotedRow& before) {
    QTreeWidget& tree = tree_;
    const TreeRow after = ReadTreeRow(nodes_, before.key);
    // A row that is not where the change should have left it (a catalogue that
    // is a view over another table, say): only the engine knows what changed.
    if (after.exists == before.gone) return false;
    // A row of an author that is not all there: the list of authors may change in ways only the engine knows.
    if ((before.existed && !before.wholeAuthor) || (after.exists && !after.wholeAuthor)) return false;
    // A row the change inserted has a key no row had while the tree was read:
    // no node to look for among every title of the tree.
    TreeNode* old = before.existed ? FindTitleNode(before.key) : nullptr;
    if (before.existed && !old) return false;

    QTreeWidgetItem* oldAuthor = old ? old->parent() : nullptr;
    if (oldAuthor && AuthorsOf(AsTreeNode(*oldAuthor).Bytes()).size() != 1) return false;
    const bool sameAuthor = oldAuthor && after.exists && AsTreeNode(*oldAuthor).Bytes() == Bytes(after.author);
    const bool authorGoes = oldAuthor && !sameAuthor && oldAuthor->childCount() == 1;
    if (authorGoes && oldAuthor == top_) return false;

    QTreeWidgetItem* newAuthor = nullptr;
    int newAuthorAt = -1;
    if (after.exists && !sameAuthor) {
        const std::vector<QTreeWidgetItem*> found = AuthorsOf(Bytes(after.author));
        if (found.size() > 1) return false;
        if (found.size() == 1) {
            newAuthor = found.front();
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
                if (order.SortKey(tree.topLevelItem(mid)->text(0)).compare(key) < 0)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            if (lo < tree.topLevelItemCount() && order.SortKey(tree.topLevelItem(lo)->text(0)).compare(key) == 0)
                return false;
            newAuthorAt = lo;
            // The rebuild selects the author the engine orders last.
            if (!top_ || top_->TitleCount() == 0 || AuthorsOf(top_->Bytes()).size() != 1) return false;
        }
    }

    // Everything is known: change the nodes.
    if (old) {
        delete old;
        if (authorGoes) {
            if (tree.indexOfTopLevelItem(oldAuthor) < newAuthorAt) --newAuthorAt;
            std::erase((*authors_)[AsTreeNode(*oldAuthor).Bytes()], oldAuthor);
            delete oldAuthor;
        }
    }
    if (!after.exists) return true;
    if (sameAuthor) newAuthor = oldAuthor;
    if (!newAuthor) {
        auto* node = new TreeNode(after.author);
        tree.insertTopLevelItem(newAuthorAt, node);
        (*authors_)[node->Bytes()].push_back(node);  // indexed while looking for the author
        newAuthor = node;
        if (after.author > AsTreeNode(*top_).Bytes().toStdString()) top_ = node;
    }
    // Titles stand in the order of their rows.
    AsTreeNode(*newAuthor).MakeTitles();
    int lo = 0, hi = newAuthor->childCount();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (AsTreeNode(*newAuthor->child(mid)).RowKey() < before.key)
            lo = mid + 1;
        else
            hi = mid;
    }
    newAuthor->insertChild(lo, new TreeNode(after.title, before.key, after.wholeTitle));
    return true;
}
