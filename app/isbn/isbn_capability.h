#pragma once
// Adding books by ISBN in the main window: the command "přidat podle ISBN…"
// that opens the scanning window (non-modal, one at a time), and the tree's
// "doplnit podle ISBN…" on a title.
#include <QObject>
#include <QPointer>
#include <functional>

class CatalogueSession;
class QAction;
class QUrl;
class IsbnCompleteDialog;
class Tisbnf;
struct TitleRef;

class IsbnCapability : public QObject {
    Q_OBJECT
public:
    // Adds its command "přidat podle ISBN…" (Ctrl+I) to the session's menu;
    // `showPage` shows a record's page in the embedded browser.
    IsbnCapability(CatalogueSession& session, std::function<void(const QUrl&)> showPage, QObject* parent);

    QAction& Command() const { return *command_; }
    // Opens the window, or brings the open one to the front.
    void Open();
    Tisbnf* isbnWindow() const;
    // "doplnit podle ISBN…" on a title of the tree: the ISBN from `udaj1` or
    // asked for, then the stored and the found values side by side.
    void Complete(const TitleRef& title);
    IsbnCompleteDialog* completeDialog() const;

private:
    CatalogueSession& session_;
    QAction* command_;
    std::function<void(const QUrl&)> show_page_;
    QPointer<Tisbnf> window_;
    QPointer<IsbnCompleteDialog> complete_;
};
