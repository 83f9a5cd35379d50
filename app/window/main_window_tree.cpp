// The tree of authors and their titles: the rebuild from the catalogue and the search.
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "app/window/main_window.h"
#include "app/platform/ui_services.h"
#include "app/window/tree_node.h"
#include "app/window/catalogue_tree.h"
#include "catalogue/tree_rows.h"
#include "ui_main_window.h"

void TForm1::tv1update() {
    // Until the rebuild is through, the tree stands for no state of the
    // catalogue; the drop-down lists are forgotten before the capabilities are
    // told, since some refill theirs from them at once.
    tree_->RebuildStarts();
    // Whatever follows, the rows may have changed: the capabilities that show
    // them read them anew (once the running handler is done).
    emit session_->CatalogueChanged();
    QTreeWidget& tree = *ui_->tv1;
    tree.clear();
    // Taken before reading: a change while reading makes the next look read anew.
    const CatalogueStamp stamp = StampOf(con1);

    std::optional<TreeRows> read = ReadTreeRows(con1);
    if (!read) {
        // What one pass cannot read for sure, the statements read.
        TreeRows& rows = read.emplace();
        rows.authors = ReadTreeAuthors(autoriq);
        if (rows.authors.empty()) {
            tree_->Rebuilt(stamp, nullptr);
            return;
        }
        try {
            ReadTreeTitles(nodesq, rows);
        } catch (...) {
            // What a node-by-node build leaves when its first titles query fails:
            // the first author, selected, without titles.
            QTreeWidgetItem* first = new TreeNode(rows.authors.front());
            tree.addTopLevelItem(first);
            tree_->Select(first);
            throw;
        }
    }
    if (read->authors.empty()) {
        tree_->Rebuilt(stamp, nullptr);
        return;
    }
    // The nodes share the rows: an author's titles are made when it is first opened.
    const auto rows = std::make_shared<const TreeRows>(std::move(*read));
    read.reset();

    // Each author used to go in first, so the sort starts from the reverse of
    // the query's order and keeps it among texts that compare equal.
    struct Entry {
        QCollatorSortKey key;
        TreeNode* node;
    };
    const LocaleOrder order;
    std::vector<Entry> entries;
    entries.reserve(rows->authors.size());
    for (size_t a = rows->authors.size(); a-- > 0;) {
        auto* node = new TreeNode(rows->authors[a], rows, a);
        entries.push_back({order.SortKey(node->text(0)), node});
    }
    // The author the query returned last was inserted last and stays selected.
    TreeNode* selected = entries.front().node;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.key.compare(b.key) < 0; });

    QList<QTreeWidgetItem*> top;
    top.reserve(static_cast<qsizetype>(entries.size()));
    for (const Entry& e : entries) top.append(e.node);
    tree.setUpdatesEnabled(false);
    tree.addTopLevelItems(top);
    tree.setUpdatesEnabled(true);
    tree_->Select(selected);
    tree_->Rebuilt(rows->keysKnown ? stamp : CatalogueStamp{}, selected);
    // The drop-down lists are read by the first click that needs them, not
    // here: a new tree is not kept waiting for lists nobody may look at.
}

void TForm1::vyhledatExecute() {
    const std::optional<QString> text = ui_services_.InputQuery("vyhledat", "v svazkovne:", 255);
    if (!text) return;
    QTreeWidget& tree = *ui_->tv1;

    // Collapsing a selected title's author moves the selection to the author.
    QTreeWidgetItem* selected = tree_->Selected();
    if (selected && selected->parent()) selected = selected->parent();

    // The selection then steps once per node: next sibling, else previous
    // sibling, else parent, else none. From an author that walks forward to the
    // last author and then swings between it and the one before, so its end
    // follows from the counts alone.
    const int authors = tree.topLevelItemCount();
    int nodes = authors;
    for (int i = 0; i < authors; ++i) nodes += AsTreeNode(*tree.topLevelItem(i)).TitleCount();
    QTreeWidgetItem* end = nullptr;
    if (selected && authors > 1) {
        const int stepsToLast = authors - 1 - tree.indexOfTopLevelItem(selected);
        end = tree.topLevelItem((nodes - stepsToLast) % 2 == 0 ? authors - 1 : authors - 2);
    }

    // A reset collapses everything and defers the layout, so the expansions
    // below cost one layout in all rather than one each.
    tree.reset();
    const QString needle = LocaleLower(*text);
    if (!needle.isEmpty()) {
        for (int i = 0; i < authors; ++i) {
            TreeNode& author = AsTreeNode(*tree.topLevelItem(i));
            bool match = LocaleLower(author.text(0)).contains(needle);
            for (int c = 0, titles = author.TitleCount(); !match && c < titles; ++c)
                match = LocaleLower(author.TitleText(c)).contains(needle);
            if (match) {
                author.MakeTitles();
                author.setExpanded(true);
            }
        }
    }
    tree_->Select(end);
}
