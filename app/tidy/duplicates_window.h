#pragma once
// "najít duplicity": books the catalogue probably holds twice, each group's
// copies side by side, field by field, the fields that differ highlighted.
// The user deletes the copies ticked (after one question and the backup), or
// keeps the group as "dva výtisky", remembered in the settings file.
#include <QWidget>
#include <memory>
#include <vector>

#include "catalogue/book_duplicates.h"

class CatalogueSession;
namespace Ui {
class DuplicatesWindow;
}

class DuplicatesWindow : public QWidget {
    Q_OBJECT
public:
    DuplicatesWindow(CatalogueSession& session, QWidget* parent);
    ~DuplicatesWindow() override;

    // Reads the groups anew (throws what the engine throws).
    void Refresh();
    // Read anew once the running handler is through, when shown.
    void CatalogueChanged();
    void smazatbClick();
    void dvavytiskybClick();

    Ui::DuplicatesWindow& form() const { return *ui_; }

private:
    int CurrentGroup() const;

    CatalogueSession& session_;
    std::unique_ptr<Ui::DuplicatesWindow> ui_;
    std::vector<DuplicateGroup> groups_;
    bool refresh_pending_ = false;
    bool own_change_ = false;
};
