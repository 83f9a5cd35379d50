#pragma once
// Statistics in the main window: the command "statistika" in the "databáze"
// menu, which opens the statistics window; the window follows every change of the catalogue.
#include "app/platform/catalogue_session.h"

class QAction;
class StatisticsWindow;

class StatisticsCapability : public Capability {
    Q_OBJECT
public:
    // Adds the command "statistika" through the session; the window owns this.
    StatisticsCapability(CatalogueSession& session, QObject* parent);

    // Opens the statistics window (non-modal), or brings it to the front. The
    // window, kept while the catalogue is open, follows changes while closed:
    // it is read whole again only when they were not the program's own.
    void statistikaExecute();
    StatisticsWindow* statisticsWindow() const { return window_; }
    QAction& command() const { return *command_; }

private:
    QAction* command_;
    StatisticsWindow* window_ = nullptr;  // a child of the main window once made
};
