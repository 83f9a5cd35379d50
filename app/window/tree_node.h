#pragma once
// A node of the main window's tree: the stored bytes it stands for (its text
// is their code-page reading) and, for a title, the engine's key of its row and
// whether its text is the whole stored title, so that a click can read that
// one row instead of searching the table for it.
#include <QByteArray>
#include <QTreeWidgetItem>
#include <cstdint>
#include <string>
#include <string_view>

class TreeNode : public QTreeWidgetItem {
public:
    TreeNode(std::string_view bytes, int64_t rowKey = 0, bool wholeTitle = false);

    // Qt::UserRole of column 0 gives the stored bytes.
    QVariant data(int column, int role) const override;

    const QByteArray& Bytes() const { return bytes_; }
    int64_t RowKey() const { return row_key_; }
    bool WholeTitle() const { return whole_title_; }

private:
    QByteArray bytes_;
    int64_t row_key_;
    bool whole_title_;
};

inline TreeNode& AsTreeNode(QTreeWidgetItem& item) { return static_cast<TreeNode&>(item); }
