#include "app/window/tree_node.h"

#include <utility>

#include "app/core/codepage.h"
#include "catalogue/tree_rows.h"

// The shown text is not stored: it is read from the bytes when asked for,
// which a view does only for the rows it paints.
TreeNode::TreeNode(std::string_view bytes, int64_t rowKey, bool wholeTitle)
    : QTreeWidgetItem(QTreeWidgetItem::UserType), bytes_(bytes.data(), static_cast<qsizetype>(bytes.size())),
      row_key_(rowKey), whole_title_(wholeTitle) {}

TreeNode::TreeNode(std::string_view bytes, std::shared_ptr<const TreeRows> rows, size_t author) : TreeNode(bytes) {
    if (!rows || author >= rows->titles.size() || rows->titles[author].empty()) return;
    held_ = std::move(rows);
    author_ = author;
    // The view offers to open it, and opening it makes the titles.
    setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

QVariant TreeNode::data(int column, int role) const {
    if (column == 0) {
        if (role == Qt::UserRole) return bytes_;
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return FromCodePage(std::string_view(bytes_.constData(), static_cast<size_t>(bytes_.size())));
    }
    return QTreeWidgetItem::data(column, role);
}

void TreeNode::MakeTitles() {
    if (!held_) return;
    const std::shared_ptr<const TreeRows> rows = std::move(held_);  // leaves held_ empty
    const std::vector<TreeTitle>& titles = rows->titles[author_];
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(titles.size()));
    for (const TreeTitle& t : titles) children.append(new TreeNode(rows->Title(t), t.key, t.whole));
    addChildren(children);
    setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

int TreeNode::TitleCount() const { return held_ ? static_cast<int>(held_->titles[author_].size()) : childCount(); }

QString TreeNode::TitleText(int i) const {
    if (!held_) return child(i)->text(0);
    return FromCodePage(held_->Title(held_->titles[author_][static_cast<size_t>(i)]));
}

int64_t TreeNode::TitleKey(int i) const {
    if (!held_) return static_cast<const TreeNode*>(child(i))->RowKey();
    return held_->titles[author_][static_cast<size_t>(i)].key;
}

int TreeNode::TitleWithKey(int64_t key) const {
    if (held_) {
        const std::vector<TreeTitle>& titles = held_->titles[author_];
        for (size_t t = 0; t < titles.size(); ++t)
            if (titles[t].key == key) return static_cast<int>(t);
        return -1;
    }
    for (int t = 0, n = childCount(); t < n; ++t)
        if (static_cast<const TreeNode*>(child(t))->RowKey() == key) return t;
    return -1;
}

std::string NodeBytes(const QTreeWidgetItem& node) { return node.data(0, Qt::UserRole).toByteArray().toStdString(); }
