#pragma once
// Adding books by ISBN in the main window: the command "přidat podle ISBN…"
// that opens the scanning window (non-modal, one at a time), and the tree's
// "doplnit podle ISBN…" on a title.
#include <QPointer>

#include "app/platform/catalogue_session.h"

class QAction;
class IsbnCompleteDialog;
class IsbnWindow;

class IsbnCapability : public Capability {
    Q_OBJECT
public:
    // Adds its command "přidat podle ISBN…" (Ctrl+I) to the session's menu.
    IsbnCapability(CatalogueSession& session, QObject* parent);

    QAction& Command() const { return *command_; }
    // Opens the window, or brings the open one to the front.
    void Open();
    IsbnWindow* isbnWindow() const;
    // "doplnit podle ISBN…" on a title of the tree: the ISBN from `udaj1` or
    // asked for, then the stored and the found values side by side.
    void Complete(const TitleRef& title);
    IsbnCompleteDialog* completeDialog() const;

protected:
    // Quitting with unstored rows in the window asks first.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Stores through the session: the backup gate, then the notice.
    RowsWriter Writer();

    QAction* command_;
    QPointer<IsbnWindow> window_;
    QPointer<IsbnCompleteDialog> complete_;
};
