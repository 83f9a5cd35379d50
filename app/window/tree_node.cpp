#include "app/window/tree_node.h"

#include "app/platform/codepage.h"

// The shown text is not stored: it is read from the bytes when asked for,
// which a view does only for the rows it paints.
TreeNode::TreeNode(std::string_view bytes, int64_t rowKey, bool wholeTitle)
    : QTreeWidgetItem(QTreeWidgetItem::UserType),
      bytes_(bytes.data(), static_cast<qsizetype>(bytes.size())),
      row_key_(rowKey),
      whole_title_(wholeTitle) {}

QVariant TreeNode::data(int column, int role) const {
    if (column == 0) {
        if (role == Qt::UserRole) return bytes_;
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return FromCodePage(std::string_view(bytes_.constData(), static_cast<size_t>(bytes_.size())));
    }
    return QTreeWidgetItem::data(column, role);
}
