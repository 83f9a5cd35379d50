#pragma once
// "sjednotit autory": the groups of author spellings that are probably one
// person, the sure ones first; per group the user picks the form to keep (or
// types one) and unticks what is another person. "sjednotit" rewrites the
// rows of the ticked spellings through the session (backup, one notice);
// "nejsou stejní" remembers the group in the settings file.
#include <QWidget>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "catalogue/author_groups.h"

class CatalogueSession;
namespace Ui {
class AuthorGroupsWindow;
}

class AuthorGroupsWindow : public QWidget {
    Q_OBJECT
public:
    AuthorGroupsWindow(CatalogueSession& session, QWidget* parent);
    ~AuthorGroupsWindow() override;

    // Reads the groups anew (throws what the engine throws).
    void Refresh();
    // Read anew once the running handler is through, when shown.
    void CatalogueChanged();
    // The selected group's ticked spellings rewritten to the form to keep.
    void sjednotitbClick();
    // The selected group remembered as not one person, and taken off the list.
    void nejsoustejnibClick();

    Ui::AuthorGroupsWindow& form() const { return *ui_; }
    const std::vector<AuthorGroup>& Groups() const { return groups_; }

private:
    int CurrentGroup() const;
    void GroupChosen();
    std::set<std::string> Dismissed() const;

    CatalogueSession& session_;
    std::unique_ptr<Ui::AuthorGroupsWindow> ui_;
    std::vector<AuthorGroup> groups_;
    bool refresh_pending_ = false;
    bool own_change_ = false;
};
