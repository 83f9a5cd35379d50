#pragma once
// A node of the main window's tree: the stored bytes it stands for (its text
// is their code-page reading) and, for a title, the engine's key of its row and
// whether its text is the whole stored title, so that a click can read that
// one row instead of searching the table for it.
//
// An author may hold its titles back until the view first opens it: a large
// catalogue then costs one node per author, not one per book. Its children
// exist only after MakeTitles(); TitleCount() and TitleText() answer either way.
#include <QByteArray>
#include <QTreeWidgetItem>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct TreeRows;

class TreeNode : public QTreeWidgetItem {
public:
    TreeNode(std::string_view bytes, int64_t rowKey = 0, bool wholeTitle = false);
    // An author whose titles are rows.titles[author], made when first needed.
    TreeNode(std::string_view bytes, std::shared_ptr<const TreeRows> rows, size_t author);

    // Qt::UserRole of column 0 gives the stored bytes.
    QVariant data(int column, int role) const override;

    const QByteArray& Bytes() const { return bytes_; }
    int64_t RowKey() const { return row_key_; }
    bool WholeTitle() const { return whole_title_; }

    // Makes the child nodes of titles still held back; does nothing otherwise.
    void MakeTitles();
    int TitleCount() const;
    // The shown text of title i, made or not.
    QString TitleText(int i) const;
    // The place among the titles of the one with this row key, made or not; -1 if none.
    int TitleWithKey(int64_t key) const;
    // The row key of title i, made or not.
    int64_t TitleKey(int i) const;

private:
    QByteArray bytes_;
    int64_t row_key_;
    bool whole_title_;
    std::shared_ptr<const TreeRows> held_;  // set while the titles are held back
    size_t author_ = 0;
};

// The bytes a tree node stands for; its shown text is their code-page reading.
std::string NodeBytes(const QTreeWidgetItem& node);

inline TreeNode& AsTreeNode(QTreeWidgetItem& item) { return static_cast<TreeNode&>(item); }

// A title node of an author, made if it was held back.
inline QTreeWidgetItem* TitleNode(QTreeWidgetItem& author, int i) {
    AsTreeNode(author).MakeTitles();
    return author.child(i);
}
