#include "app/window/tree_node.h"

#include "app/platform/codepage.h"

TreeNode::TreeNode(const std::string& bytes, int64_t rowKey, bool wholeTitle)
    : QTreeWidgetItem(QStringList{FromCodePage(bytes)}, QTreeWidgetItem::UserType),
      bytes_(bytes.data(), static_cast<qsizetype>(bytes.size())),
      row_key_(rowKey),
      whole_title_(wholeTitle) {}

QVariant TreeNode::data(int column, int role) const {
    if (column == 0 && role == Qt::UserRole) return bytes_;
    return QTreeWidgetItem::data(column, role);
}
