#pragma once
// A capability's surroundings without the main window: a session over a
// connection to a catalogue in a temporary folder, scripted dialogs, a plain
// widget standing for the window, and the settings file in that folder.
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "app/platform/catalogue_session.h"
#include "storage/connection.h"
#include "support/app_scripted_guard.h"
#include "support/app_scripted_ui.h"
#include "support/app_window_fixture.h"
#include "support/temp_dir.h"

namespace testsupport {

class SessionFixture : public ::testing::Test {
protected:
    SessionFixture();

    std::string CataloguePath() const { return dir.file("svazkovna.db"); }
    // Writes the catalogue with these rows and connects to it.
    void OpenCatalogue(const std::vector<Book>& books);

    TempDir dir;
    ScriptedUi ui;
    TASQLite3DB con{"con1"};
    // The capabilities' windows are its children: they go before the connection they read.
    QWidget window;
    ScriptedGuard guard;
    std::unique_ptr<CatalogueSession> session;
};

}  // namespace testsupport
