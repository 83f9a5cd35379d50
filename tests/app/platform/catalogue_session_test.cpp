// The one way to change the catalogue: the backup gate, the two notices
// around the write, and the participants that wrap a record's edit.
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform/catalogue_session.h"
#include "storage/connection.h"
#include "support/app_scripted_guard.h"
#include "support/app_scripted_ui.h"

namespace testsupport {
namespace {

TEST(CatalogueSessionTest, AChangePassesTheGateAndIsToldAroundItsWrite) {
    enum Outcome { Written, Throws };
    const struct {
        const char* name;
        bool guarded;
        bool answer;
        CatalogueSession::Edit edit;
        Outcome outcome;
        bool returns;
        std::vector<std::string> steps;  // what happened, in order
    } cases[] = {
        {"no guard: refused before anything",
         false,
         true,
         CatalogueSession::Edit::Fields,
         Written,
         false,
         {"logic_error"}},
        {"declined backup: nothing runs", true, false, CatalogueSession::Edit::Fields, Written, false, {}},
        {"a field change",
         true,
         true,
         CatalogueSession::Edit::Fields,
         Written,
         true,
         {"about 7", "write", "changed 7: 1"}},
        {"a record edit, wrapped",
         true,
         true,
         CatalogueSession::Edit::Record,
         Written,
         true,
         {"about 7", "outer in", "inner in", "write", "inner out", "outer out", "changed 7: 1"}},
        {"a failed write: no notice, the error goes on",
         true,
         true,
         CatalogueSession::Edit::Fields,
         Throws,
         false,
         {"about 7", "write", "runtime_error"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TASQLite3DB con("con");
        ScriptedUi ui;
        QWidget window;
        CatalogueSession session(con, ui, window, [] { return QString(); });
        ScriptedGuard guard;
        guard.answer = c.answer;
        if (c.guarded) session.SetGuard(&guard);
        std::vector<std::string> steps;
        QObject::connect(&session, &CatalogueSession::RowsAboutToChange, [&](const std::vector<int64_t>& rows) {
            steps.push_back("about " + std::to_string(rows.at(0)));
        });
        QObject::connect(&session, &CatalogueSession::RowsChanged, [&](const RowsChange& change) {
            steps.push_back("changed " + std::to_string(change.rows.at(0)) + ": " + std::to_string(change.changed));
        });
        for (const char* name : {"outer", "inner"})
            session.AddChangeParticipant(
                [&steps, name](const std::vector<int64_t>&, const CatalogueSession::Write& write) {
                    steps.push_back(std::string(name) + " in");
                    const RowsChange done = write();
                    steps.push_back(std::string(name) + " out");
                    return done;
                });
        bool returned = false;
        try {
            returned = session.Change(
                {7},
                [&] {
                    steps.push_back("write");
                    if (c.outcome == Throws) throw std::runtime_error("locked");
                    RowsChange change;
                    change.changed = 1;
                    return change;
                },
                c.edit);
        } catch (const std::logic_error&) {
            steps.push_back("logic_error");
        } catch (const std::runtime_error&) {
            steps.push_back("runtime_error");
        }
        EXPECT_EQ(returned, c.returns);
        EXPECT_EQ(steps, c.steps);
        EXPECT_EQ(guard.asked, c.guarded ? 1 : 0);
    }
}

}  // namespace
}  // namespace testsupport
