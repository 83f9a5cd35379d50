#pragma once
// Tidying the catalogue: the command "hledat všude" (Ctrl+Shift+F) in the
// "databáze" menu, which opens the search through every field.
#include "app/platform/catalogue_session.h"

class QAction;
class SearchEverywhereWindow;

class TidyCapability : public Capability {
    Q_OBJECT
public:
    // Adds the commands through the session; the window owns this.
    TidyCapability(CatalogueSession& session, QObject* parent);

    // Opens the search window (non-modal), or brings it to the front with its box focused.
    void hledatvsudeExecute();
    SearchEverywhereWindow* searchWindow() const { return search_window_; }

private:
    SearchEverywhereWindow* search_window_ = nullptr;  // a child of the main window once made
};
