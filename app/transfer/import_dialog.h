#pragma once
// The preview before an import: the file's encoding and separator as
// detected, the number of rows, the first rows as they will be stored, and the
// rows whose author and title the catalogue already has, which are left out
// unless the user ticks the box.
#include <QDialog>
#include <QString>
#include <memory>

struct ImportPlan;
class QPushButton;

namespace Ui {
class TImportDialog;
}

class ImportDialog : public QDialog {
    Q_OBJECT
public:
    // How many rows the preview shows.
    static constexpr int kPreviewRows = 20;

    ImportDialog(const ImportPlan& plan, const QString& path, QWidget* parent = nullptr);
    ~ImportDialog() override;

    bool IncludeDuplicates() const;
    Ui::TImportDialog* form() const { return ui_.get(); }
    QPushButton* importButton() const { return import_; }

private:
    void Refresh();

    const ImportPlan& plan_;
    std::unique_ptr<Ui::TImportDialog> ui_;
    QPushButton* import_ = nullptr;
};
