#pragma once
// The main window's tree of authors and titles as a picture of the catalogue:
// which state of the catalogue it was read from, which author a rebuild
// selects, and how it follows the program's own changes in place. The rebuild
// itself is the window's (tv1update); this class keeps its bookkeeping.
#include <QByteArray>
#include <QHash>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "app/platform/catalogue_stamp.h"

class CatalogueSession;
class QTreeWidget;
class QTreeWidgetItem;
class TASQLite3Query;
class TreeNode;
struct RowsChange;

class CatalogueTree {
public:
    // `nodes` reads single rows on the session's connection; `rebuild` runs
    // the window's rebuild of the whole tree.
    CatalogueTree(QTreeWidget& tree, CatalogueSession& session, TASQLite3Query& nodes, std::function<void()> rebuild);

    // Around one of the program's own changes of the rows with these engine
    // keys. When nothing else changed the catalogue since the tree and the
    // drop-down lists were read, they follow the rows in place and the tree
    // then looks as after a rebuild; else it is rebuilt.
    void Before(const std::vector<int64_t>& rows);
    void After(const RowsChange& change);
    // The tree as after a rebuild: in place when nothing changed since it was read, else rebuilt.
    void Refresh();

    // The rebuild's bookkeeping: it starts from a tree that stands for no
    // state of the catalogue, and ends read from `stamp` (unknown when its
    // row keys are not sure) with `top` as the author it selects.
    void RebuildStarts();
    void Rebuilt(const CatalogueStamp& stamp, TreeNode* top);

    // For a title node of a tree read from the catalogue as it is now: the key
    // of the row a click shows (none when no row has its author and title);
    // nothing when the tree may be out of date.
    std::optional<std::optional<int64_t>> KnownRow(QTreeWidgetItem& node) const;

    // The one selected node, or none (the tree allows a single selection).
    QTreeWidgetItem* Selected() const;
    void Select(QTreeWidgetItem* node);
    // Selects the title node of the row with this key, its author opened;
    // false when no node stands for that row.
    bool SelectRow(int64_t key);

private:
    struct NotedRow {
        int64_t key;
        bool existed;
        bool wholeAuthor;
        bool gone;  // the change is to delete it
    };
    TreeNode* FindTitleNode(int64_t key) const;
    // The author nodes showing a text; more than one means authors the tree
    // cannot tell apart. Indexed once for all the rows of one change.
    std::vector<QTreeWidgetItem*> AuthorsOf(const QByteArray& bytes);
    bool UpdateRow(const NotedRow& before);
    void ShowAsRebuilt();

    QTreeWidget& tree_;
    CatalogueSession& session_;
    TASQLite3Query& nodes_;
    std::function<void()> rebuild_;
    // The catalogue the tree was read from (unknown while it is not), and the
    // author a rebuild selects: the one the engine orders last.
    CatalogueStamp stamp_;
    TreeNode* top_ = nullptr;
    // Noted by Before.
    CatalogueStamp noted_stamp_;
    std::vector<NotedRow> noted_rows_;
    bool follows_ = false;
    // While After follows rows: the author nodes by their text.
    std::optional<QHash<QByteArray, std::vector<QTreeWidgetItem*>>> authors_;
};
