// Inputs that the fuzzers found breaking the settings file, kept as cases.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "app/core/profile_file.h"

namespace {

using profile::Lookup;
using profile::Update;

// A file whose last line ends in a lone CR: a key or section added behind it
// must start a line of its own, and the old line must read as before.
TEST(ProfileFuzzRegression, LoneCarriageReturnAtTheEnd) {
    using namespace std::string_literals;
    struct Case {
        std::string content, section, expected;
    } cases[] = {
        {"[nastaveni]\ndatabaze\r", "nastaveni", "[nastaveni]\ndatabaze\r\nklic=x\n"},
        {"[nastaveni]\r\nklic=1\r\nstare=2\r", "nastaveni", "[nastaveni]\r\nklic=x\r\nstare=2\r"},
        {"[jine]\r\nstare=2\r", "nastaveni", "[jine]\r\nstare=2\r\n[nastaveni]\r\nklic=x\r\n"},
        // The line keeps its own CR: only the LF is added.
        {"[jine]\0\nstare\r\r"s, "nastaveni", "[jine]\0\nstare\r\r\n[nastaveni]\nklic=x\n"s},
    };
    for (const Case& c : cases) {
        const std::string updated = Update(c.content, c.section, "klic", "x");
        EXPECT_EQ(updated, c.expected);
        EXPECT_EQ(Lookup(updated, c.section, "klic", "dflt"), "x");
    }
}

// A key that would be written as a comment or a section line is refused, and
// the file is not changed: such a value could never be read back.
TEST(ProfileFuzzRegression, KeyReadingAsCommentOrSectionIsRefused) {
    const std::string content = "[nastaveni]\r\ndatabaze=a.db\r\n";
    for (const char* key : {";e", "  ;klic", "[x", " [nastaveni", "[x]"}) {
        SCOPED_TRACE(key);
        EXPECT_THROW(Update(content, "nastaveni", key, "v"), std::invalid_argument);
    }
    // A ";" or "[" inside a key is harmless.
    const std::string updated = Update(content, "nastaveni", "a;[b", "v");
    EXPECT_EQ(Lookup(updated, "nastaveni", "a;[b", "dflt"), "v");
    EXPECT_EQ(Lookup(updated, "nastaveni", "databaze", "dflt"), "a.db");
}

}  // namespace
