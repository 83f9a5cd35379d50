#pragma once
// The preview before an import: the file's format, encoding and separator as
// detected, how its columns are taken over, the warnings, the first rows as
// they will be stored, and the rows to decide on (already in the catalogue,
// not owned, repeated inside the file), each with its own tick.
#include <QDialog>
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

private:
    void Refresh();
    void ItemChanged(QListWidgetItem* item);
    void IncludeStored(bool include);

    const ImportPlan& plan_;
    std::unique_ptr<Ui::ImportDialog> ui_;
    QPushButton* import_ = nullptr;
    std::vector<bool> chosen_;
};
