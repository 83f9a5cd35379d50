#pragma once
// A guard of the session whose answer to a change the test sets, instead of
// the safe-keeping capability's backups.
#include "app/platform/catalogue_session.h"

namespace testsupport {

class ScriptedGuard : public CatalogueGuard {
public:
    bool answer = true;
    int asked = 0;  // changes asked for
    bool BeforeChange() override {
        ++asked;
        return answer;
    }
    bool CheckOpened(bool) override { return true; }
    bool ReadingOnly() const override { return false; }
};

}  // namespace testsupport
