#pragma once
// The preview before an import: the file's format, encoding and separator as
// detected, how its columns are taken over, the warnings, the first rows as
// they will be stored, and the rows to decide on (already in the catalogue,
// not owned, repeated inside the file), each with its own tick.
#include <QDialog>
#include <QList>
#include <QString>
#include <memory>
#include <vector>

struct ImportPlan;
class QListWidgetItem;
class QPushButton;

namespace Ui {
class ImportDialog;
}

class ImportDialog : public QDialog {
    Q_OBJECT
public:
    // How many rows the preview shows, and how many warnings.
    static constexpr int kPreviewRows = 20;
    static constexpr int kShownWarnings = 200;

    ImportDialog(const ImportPlan& plan, const QString& path, QWidget* parent = nullptr);
    ~ImportDialog() override;

    bool IncludeDuplicates() const;
    // Which of the plan's rows are to be stored.
    const std::vector<bool>& Chosen() const { return chosen_; }
    Ui::ImportDialog* form() const { return ui_.get(); }
    QPushButton* importButton() const { return import_; }

protected:
    // Space on several selected rows ticks (or unticks) them all.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The counter and the shown rows' ids; the table is rebuilt only from
    // `from`, the first shown row a tick can have moved.
    void Refresh(size_t from = 0);
    void ItemChanged(QListWidgetItem* item);
    void IncludeStored(bool include);
    // Ticks or unticks `items` in one go: one refresh, not one per row.
    void SetTicked(const QList<QListWidgetItem*>& items, bool ticked);

    const ImportPlan& plan_;
    std::unique_ptr<Ui::ImportDialog> ui_;
    QPushButton* import_ = nullptr;
    std::vector<bool> chosen_;
    long long stored_ = 0;  // ticked rows
};
