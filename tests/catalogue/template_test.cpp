#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "catalogue/template_db.h"
#include "support/sql_rows.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ReadFile;
using testsupport::SelectRows;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(Template, CarriedImageIsTheBuiltOneAndFoundByAnyCase) {
    const std::vector<unsigned char> built = BuildTemplateImage();
    ASSERT_EQ(built.size(), 2048u);
    EXPECT_EQ(TemplateImage(), std::string(built.begin(), built.end()));
    for (auto [type, name] : {std::pair{"db", "databaze"}, {"DB", "DATABAZE"}, {"Db", "Databaze"}}) {
        auto found = FindResource(type, name);
        ASSERT_TRUE(found) << type << " " << name;
        EXPECT_EQ(found->size(), 2048u);
    }
    EXPECT_FALSE(FindResource("db", "databaze2"));
    EXPECT_FALSE(FindResource("rcdata", "databaze"));
}

TEST(Template, WrittenCatalogueIsAnEmptyValidDatabase) {
    TempDir dir;
    const std::string path = dir.file("svazkovna.db");
    ASSERT_TRUE(WriteTemplateCatalogue(path));
    const std::string bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 2048u);
    EXPECT_EQ(bytes.substr(0, 16), std::string("SQLite format 3\0", 16));
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    EXPECT_EQ(byte(16) * 256 + byte(17), 1024);  // page size
    EXPECT_EQ(byte(18), 1);                      // legacy journal
    EXPECT_EQ(byte(19), 1);
    EXPECT_EQ(byte(21) * 10000 + byte(22) * 100 + byte(23), 643232);
    EXPECT_EQ(byte(31), 2);      // pages
    EXPECT_EQ(byte(36 + 3), 0);  // free pages
    EXPECT_EQ(byte(43), 7);      // schema cookie
    EXPECT_EQ(byte(47), 2);      // schema format
    EXPECT_EQ(byte(59), 1);      // UTF-8
    EXPECT_EQ(byte(63), 0);      // user version

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(SelectRows(path, "pragma integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(SelectRows(path, "select sql from sqlite_master"), std::vector<std::string>{kCatalogueTableSql});
    EXPECT_EQ(SelectRows(path, "select type || ',' || name || ',' || tbl_name || ',' || rootpage from sqlite_master"),
              std::vector<std::string>{"table,svazkovna,svazkovna,2"});
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna"), std::vector<std::string>{"0"});
    EXPECT_EQ(SelectRows(path, "select max(id)+1 as noveid from svazkovna"),
              std::vector<std::string>{testsupport::kNullText});
    EXPECT_EQ(SelectRows(path, "select group_concat(name) from pragma_table_info('svazkovna')"),
              std::vector<std::string>{"id,autor,titul,zanr,vydal,serie,umisteni,zapujcenokomu,zapujcenokdy,"
                                       "hodnoceni,poznamka,udaj1,udaj2,udaj3"});
    // The catalogue takes rows; a text with a quote comes back unchanged.
    EXPECT_EQ(sqlite3_exec(db, "insert into svazkovna values(1,'a','O''Brien','','','','','','',3,'','','','')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(SelectRows(path, "select titul from svazkovna"), std::vector<std::string>{"O'Brien"});
    sqlite3_close(db);
}

TEST(Template, NeverReplacesWhatIsThere) {
    TempDir dir;
    const std::string file = dir.file("svazkovna.db");
    WriteFile(file, "my catalogue");
    EXPECT_FALSE(WriteTemplateCatalogue(file));
    EXPECT_EQ(ReadFile(file), "my catalogue");

    const std::string sub = dir.file("sub");
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    EXPECT_FALSE(WriteTemplateCatalogue(sub));
    EXPECT_FALSE(WriteTemplateCatalogue(dir.file("missing/svazkovna.db")));

    // No temporary files are left behind by the failed attempts.
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 2);
}

}  // namespace

namespace {

// A new catalogue is a file like any other the user makes: 0666 less the umask.
TEST(Template, WrittenWithTheModeTheUmaskLeaves) {
    testsupport::TempDir dir;
    for (const mode_t mask : {mode_t{022}, mode_t{077}}) {
        const mode_t old = umask(mask);
        const std::string path = dir.file("m" + std::to_string(mask) + ".db");
        const bool written = WriteTemplateCatalogue(path);
        umask(old);
        ASSERT_TRUE(written);
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "umask " << mask;
    }
}

}  // namespace
