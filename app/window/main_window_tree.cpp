// The tree of authors and their titles: the rebuild from the catalogue and the search.
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/platform/catalogue_session.h"
#include "app/platform/codepage.h"
#include "app/platform/collation.h"
#include "app/window/main_window.h"
#include "app/platform/ui_services.h"
#include "ui_main_window.h"

namespace {

const char* const kAuthorsSql = "select distinct autor from svazkovna order by autor";

// Every title in storage order with its author and the author's stored length.
// A node's titles are those whose author equals its text byte for byte; the
// queries deliver an author cut (to the column's declared size, at most 255
// bytes, and at a zero byte), and a cut author equals no node's text, so rows
// whose delivered author is shorter than the stored one are left out. NULL and
// blob authors never equal a text either.
const char* const kTitlesSql =
    "select autor, titul, length(cast(autor as blob)) from svazkovna "
    "where typeof(autor) = 'text'";

QTreeWidgetItem* MakeNode(const std::string& bytes) {
    auto* node = new QTreeWidgetItem(QStringList{FromCodePage(bytes)});
    // Later statements use the stored bytes, not the shown text read back.
    node->setData(0, Qt::UserRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return node;
}

void ReplaceSQL(TASQLite3Query& query, const char* sql) {
    query.SQL().Clear();
    query.SQL().Add(sql);
}

}  // namespace

QTreeWidgetItem* TForm1::SelectedNode() const {
    const QList<QTreeWidgetItem*> selected = ui_->tv1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TForm1::SelectNode(QTreeWidgetItem* node) {
    QTreeWidget& tree = *ui_->tv1;
    if (!node) {
        tree.clearSelection();
        tree.setCurrentItem(nullptr);
        return;
    }
    tree.setCurrentItem(node);
    tree.scrollToItem(node);
}

void TForm1::tv1update() {
    // Whatever follows, the rows may have changed: the capabilities that show
    // them read them anew (once the running handler is done).
    emit session_->CatalogueChanged();
    QTreeWidget& tree = *ui_->tv1;
    tree.clear();

    ReplaceSQL(autoriq, kAuthorsSql);
    autoriq.Open();
    autoriq.First();
    const int count = autoriq.RecordCount();
    std::vector<std::string> authors;
    authors.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        authors.push_back(autoriq.Fields(0).AsString());
        autoriq.Next();
    }
    if (authors.empty()) return;

    std::unordered_map<std::string, std::vector<std::string>> titles;
    try {
        ReplaceSQL(nodesq, kTitlesSql);
        nodesq.Open();
        nodesq.First();
        const int rows = nodesq.RecordCount();
        for (int i = 0; i < rows; ++i) {
            std::string author = nodesq.Fields(0).AsString();
            if (std::to_string(author.size()) == nodesq.Fields(2).AsString())
                titles[std::move(author)].push_back(nodesq.Fields(1).AsString());
            nodesq.Next();
        }
    } catch (...) {
        // What a node-by-node build leaves when its first titles query fails:
        // the first author, selected, without titles.
        QTreeWidgetItem* first = MakeNode(authors.front());
        tree.addTopLevelItem(first);
        SelectNode(first);
        throw;
    }

    // Each author used to go in first, so the sort starts from the reverse of
    // the query's order and keeps it among texts that compare equal.
    struct Entry {
        QCollatorSortKey key;
        QTreeWidgetItem* node;
    };
    const LocaleOrder order;
    std::vector<Entry> entries;
    entries.reserve(authors.size());
    for (auto a = authors.rbegin(); a != authors.rend(); ++a) {
        QTreeWidgetItem* node = MakeNode(*a);
        const auto found = titles.find(*a);
        if (found != titles.end()) {
            QList<QTreeWidgetItem*> children;
            children.reserve(static_cast<qsizetype>(found->second.size()));
            for (const std::string& title : found->second) children.append(MakeNode(title));
            node->addChildren(children);
        }
        entries.push_back({order.SortKey(node->text(0)), node});
    }
    // The author the query returned last was inserted last and stays selected.
    QTreeWidgetItem* selected = entries.front().node;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.key.compare(b.key) < 0; });

    QList<QTreeWidgetItem*> top;
    top.reserve(static_cast<qsizetype>(entries.size()));
    for (const Entry& e : entries) top.append(e.node);
    tree.setUpdatesEnabled(false);
    tree.addTopLevelItems(top);
    tree.setUpdatesEnabled(true);
    SelectNode(selected);
}

void TForm1::vyhledatExecute() {
    const std::optional<QString> text = ui_services_.InputQuery("vyhledat", "v svazkovne:", 255);
    if (!text) return;
    QTreeWidget& tree = *ui_->tv1;

    // Collapsing a selected title's author moves the selection to the author.
    QTreeWidgetItem* selected = SelectedNode();
    if (selected && selected->parent()) selected = selected->parent();

    // The selection then steps once per node: next sibling, else previous
    // sibling, else parent, else none. From an author that walks forward to the
    // last author and then swings between it and the one before, so its end
    // follows from the counts alone.
    const int authors = tree.topLevelItemCount();
    int nodes = authors;
    for (int i = 0; i < authors; ++i) nodes += tree.topLevelItem(i)->childCount();
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
            QTreeWidgetItem* author = tree.topLevelItem(i);
            bool match = LocaleLower(author->text(0)).contains(needle);
            for (int c = 0; !match && c < author->childCount(); ++c)
                match = LocaleLower(author->child(c)->text(0)).contains(needle);
            if (match) author->setExpanded(true);
        }
    }
    SelectNode(end);
}
