#pragma once
// Tidying the catalogue: the commands "sjednotit autory" (one spelling per
// author), "najít duplicity" (books held twice) and "hledat všude" (Ctrl+Shift+F, the search through every field)
// in the "databáze" menu, each opening a window of its own.
#include "app/platform/catalogue_session.h"

class AuthorGroupsWindow;
class DuplicatesWindow;
class SearchEverywhereWindow;

class TidyCapability : public Capability {
    Q_OBJECT
public:
    // Adds the commands through the session; the window owns this.
    TidyCapability(CatalogueSession& session, QObject* parent);

    // Opens the author groups (non-modal), read anew.
    void sjednotitautoryExecute();
    AuthorGroupsWindow* authorsWindow() const { return authors_window_; }
    // Opens the books held twice (non-modal), read anew.
    void najitduplicityExecute();
    DuplicatesWindow* duplicatesWindow() const { return duplicates_window_; }
    // Opens the search window (non-modal), or brings it to the front with its box focused.
    void hledatvsudeExecute();
    SearchEverywhereWindow* searchWindow() const { return search_window_; }

private:
    AuthorGroupsWindow* authors_window_ = nullptr;
    DuplicatesWindow* duplicates_window_ = nullptr;
    SearchEverywhereWindow* search_window_ = nullptr;  // a child of the main window once made
};
