// The settings file: lookup and update at byte level, and writing the file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/core/profile_file.h"
#include "support/temp_dir.h"

namespace {

using profile::Lookup;
using profile::Update;

TEST(ProfileLookup, Table) {
    const std::string file =
        "; komentar\r\n"
        "[jine]\r\n"
        "databaze=spatne.db\r\n"
        "[NASTAVENI]\r\n"
        "  WebBrowserSkript  =  http://x/?a=b&c= \r\n"
        "databaze=prvni.db\r\n"
        "databaze=druha.db\r\n"
        ";databaze=komentar.db\r\n"
        "prazdny=\r\n"
        "uvozovky = \"http://y/?q=\"  \r\n"
        "vnitrni=\" \"a\" \"\r\n"
        "[nastaveni]\r\n"
        "chybi=jen ve druhe sekci\r\n";
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"nastaveni", "webbrowserskript", "http://x/?a=b&c="},  // blanks around dropped, "=" kept
        {"nastaveni", "uvozovky", "http://y/?q="},              // one pair of quotes removed
        {"nastaveni", "vnitrni", " \"a\" "},
        {"Nastaveni", "DATABAZE", "prvni.db"},  // first key wins
        {"jine", "databaze", "spatne.db"},
        {"nastaveni", "prazdny", ""},
        {"nastaveni", "komentar", "dflt"},
        {"nastaveni", "chybi", "dflt"},  // only the first section of a name counts
        {"zadna", "databaze", "dflt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lookup(file, c.section, c.key, "dflt"), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(Lookup("", "nastaveni", "databaze", "svazkovna.db"), "svazkovna.db");
}

TEST(ProfileLookup, ValueIsCutAt2047Bytes) {
    std::string value(5000, 'x');
    std::string read = Lookup("[s]\nk=" + value + "\n", "s", "k", "");
    EXPECT_EQ(read, std::string(2047, 'x'));
}

TEST(ProfileUpdate, Table) {
    struct Case {
        const char* name;
        std::string before;
        const char* section;
        const char* key;
        std::string value;
        std::string after;
    } cases[] = {
        {"new file", "", "nastaveni", "databaze", "svazkovna.db", "[nastaveni]\r\ndatabaze=svazkovna.db\r\n"},
        {"replace in place, keep the rest", "; c\r\n[nastaveni]\r\nDATABAZE = a.db\r\nx=1\r\n\r\n[o]\r\ny=2\r\n",
         "Nastaveni", "databaze", "b.db", "; c\r\n[nastaveni]\r\nDATABAZE =b.db\r\nx=1\r\n\r\n[o]\r\ny=2\r\n"},
        {"append to its section", "[nastaveni]\nx=1\n\n[o]\ny=2\n", "nastaveni", "databaze", "c.db",
         "[nastaveni]\nx=1\ndatabaze=c.db\n\n[o]\ny=2\n"},
        {"append section, keep LF", "[o]\ny=2", "nastaveni", "k", " v ", "[o]\ny=2\n[nastaveni]\nk=\" v \"\n"},
        {"quoted value kept whole", "[s]\nk=old\n", "s", "k", "\"q\"", "[s]\nk=\"\"q\"\"\n"},
        {"code page bytes kept", "[o]\r\nn=\x8A\xE8\x81\r\n", "o", "m", "\xF8\xED",
         "[o]\r\nn=\x8A\xE8\x81\r\nm=\xF8\xED\r\n"},
        {"empty value", "[s]\nk=old\n", "s", "k", "", "[s]\nk=\n"},
    };
    for (const Case& c : cases) {
        std::string after = Update(c.before, c.section, c.key, c.value);
        EXPECT_EQ(after, c.after) << c.name;
        EXPECT_EQ(Lookup(after, c.section, c.key, "?"), c.value) << c.name;
    }
}

TEST(ProfileUpdate, LineBreaksCannotBeInjected) {
    EXPECT_THROW(Update("", "s", "k", "a\r\n[x]\r\nk=evil"), std::invalid_argument);
    EXPECT_THROW(Update("", "s", "k=1", "v"), std::invalid_argument);
    EXPECT_THROW(Update("", "s]", "k", "v"), std::invalid_argument);
}

TEST(ProfileFile, WritesAndReadsBack) {
    testsupport::TempDir dir;
    ProfileFile ini(QString::fromStdString(dir.file("nastav.ini")));
    EXPECT_EQ(ini.ReadString("nastaveni", "databaze", "svazkovna.db"), "svazkovna.db");
    ini.WriteString("nastaveni", "webbrowserskript", "");
    ini.WriteString("nastaveni", "databaze", "/home/\xE8ten\xE1\xF8/k.db");
    EXPECT_EQ(testsupport::ReadFile(dir.file("nastav.ini")),
              "[nastaveni]\r\nwebbrowserskript=\r\ndatabaze=/home/\xE8ten\xE1\xF8/k.db\r\n");
    EXPECT_EQ(ini.ReadString("nastaveni", "databaze", ""), "/home/\xE8ten\xE1\xF8/k.db");
    // Nothing but the file itself is left in the folder (no temporary copies).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(ProfileFile, UnwritablePlaceIsReportedWithFullPath) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.path() / "soubor", "x");
    const std::string bad[] = {dir.file("soubor/nastav.ini"), dir.file("chybi/nastav.ini")};
    for (const std::string& path : bad) {
        ProfileFile ini(QString::fromStdString(path));
        try {
            ini.WriteString("nastaveni", "databaze", "a.db");
            ADD_FAILURE() << "no error for " << path;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
    }
}

TEST(ProfileFile, ReadOnlyFileIsLeftAlone) {
    testsupport::TempDir dir;
    const std::string path = dir.file("nastav.ini");
    testsupport::WriteFile(path, "[nastaveni]\r\ndatabaze=a.db\r\n");
    chmod(path.c_str(), 0444);
    if (access(path.c_str(), W_OK) == 0) GTEST_SKIP() << "running with rights that ignore file modes";
    ProfileFile ini(QString::fromStdString(path));
    EXPECT_THROW(ini.WriteString("nastaveni", "databaze", "b.db"), std::runtime_error);
    EXPECT_EQ(testsupport::ReadFile(path), "[nastaveni]\r\ndatabaze=a.db\r\n");
}

}  // namespace
