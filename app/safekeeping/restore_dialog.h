#pragma once
// "obnovit ze zálohy…": the open catalogue's backups, newest first, with the
// time each was made and its number of books; the user picks the one to restore.
#include <QDialog>
#include <QString>
#include <memory>
#include <optional>
#include <string>

namespace Ui {
class RestoreDialog;
}
class CatalogueBackup;

class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    RestoreDialog(const CatalogueBackup& backups, const QString& catalogue, QWidget* parent = nullptr);
    ~RestoreDialog() override;

    Ui::RestoreDialog* form() const { return ui_.get(); }
    // The backup chosen with "obnovit" (the file system's bytes); none when the
    // dialog was left otherwise.
    const std::optional<std::string>& Chosen() const { return chosen_; }

    void obnovitbClick();

private:
    std::unique_ptr<Ui::RestoreDialog> ui_;
    std::optional<std::string> chosen_;
};
