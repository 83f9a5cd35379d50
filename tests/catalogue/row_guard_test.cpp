// The guard of the record panel's save and delete: a statement that changes
// the row only while it holds every byte, type and NULL that was read, with
// the row as other programs leave it (read back with the system's SQLite).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/row_guard.h"
#include "storage/connection.h"
#include "support/sql_rows.h"
#include "support/template_catalogue.h"

namespace {

using rowguard::Column;
using testsupport::SelectRows;

class RowGuard : public testsupport::TemplateCatalogueTest {
protected:
    void Exec(const std::string& sql) { con.ExecStatements(sql); }
    // Runs `sql` and tells how many rows it changed.
    int Run(const std::string& sql) {
        Exec(sql);
        return con.RowsAffected();
    }
};

// The shown row: NULLs, empty texts, quotes, Windows-1250 bytes and a note
// longer than the 255 bytes a query delivers, as other tools leave rows.
const char* const kShownRow =
    "insert into svazkovna(id,autor,titul,zanr,vydal,serie,umisteni,zapujcenokomu,zapujcenokdy,hodnoceni,poznamka,"
    "udaj1) values(7,'O''Brien Flann','\"T\xF8"
    "etí\" policajt',NULL,'',NULL,'reg''\xE1l',NULL,'',NULL,"
    "'x'||replace(hex(zeroblob(150)),'0','y')||'konec','')";

TEST_F(RowGuard, WritesOnlyWhileTheRowHoldsEveryValueAsRead) {
    const struct {
        const char* name;
        const char* meanwhile;  // another program's statement on the row, or none
        int written;            // rows the guarded update changes
        std::vector<Column> changed;
    } cases[] = {
        {"untouched", nullptr, 1, {}},
        {"a column the save does not write", "update svazkovna set udaj1='9788071061311', udaj3='x'", 1, {}},
        {"NULL became an empty text", "update svazkovna set zanr=''", 0, {rowguard::Zanr}},
        {"an empty text became NULL", "update svazkovna set vydal=NULL", 0, {rowguard::Vydal}},
        {"a quote more", "update svazkovna set autor='O''''Brien Flann'", 0, {rowguard::Autor}},
        {"the same text as a blob", "update svazkovna set zapujcenokdy=cast('' as blob)", 0, {rowguard::Kdy}},
        {"a rating where there was none", "update svazkovna set hodnoceni=3", 0, {rowguard::Hodnoceni}},
        {"the end of a long note",
         "update svazkovna set poznamka=substr(poznamka,1,length(poznamka)-1)||'E'",
         0,
         {rowguard::Poznamka}},
        {"a letter case", "update svazkovna set umisteni='REG''\xC1L'", 0, {rowguard::Umisteni}},
        {"the key and id given to another book",
         "delete from svazkovna; insert into svazkovna(rowid,id,autor,titul) values(1,7,'Nov\xFD','Jin\xE1')",
         0,
         {rowguard::Autor, rowguard::Titul, rowguard::Vydal, rowguard::Umisteni, rowguard::Kdy, rowguard::Poznamka}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Exec("delete from svazkovna");
        Exec(kShownRow);
        const std::optional<rowguard::StoredRow> shown = rowguard::ReadStoredRow(con, 1);
        ASSERT_TRUE(shown);
        EXPECT_EQ((*shown)[rowguard::Poznamka].text.size(), 306u) << "read whole, not as a query delivers it";
        EXPECT_EQ((*shown)[rowguard::Zanr].literal, "NULL");
        EXPECT_EQ((*shown)[rowguard::Vydal].literal, "''");
        if (c.meanwhile) Exec(c.meanwhile);
        const std::optional<rowguard::StoredRow> now = rowguard::ReadStoredRow(con, 1);
        ASSERT_TRUE(now);
        EXPECT_EQ(rowguard::ChangedColumns(*shown, *now), c.changed);

        const std::vector<std::string> before = SelectRows(path, "select * from svazkovna");
        EXPECT_EQ(Run(rowguard::GuardedUpdateSql("titul='Nov\xFD ''titul'''", "(id=7)", *shown)), c.written);
        const std::vector<std::string> after = SelectRows(path, "select titul from svazkovna");
        if (c.written) {
            EXPECT_EQ(after, std::vector<std::string>{"Nov\xFD 'titul'"});
        } else {
            EXPECT_EQ(SelectRows(path, "select * from svazkovna"), before) << "the other change stays";
        }
        // The delete keeps to the same rule.
        Exec("delete from svazkovna; " + std::string(kShownRow));
        if (c.meanwhile) Exec(c.meanwhile);
        EXPECT_EQ(Run(rowguard::GuardedDeleteSql("(rowid=1)", *shown)), c.written);
    }
}

TEST_F(RowGuard, AGoneRowReadsAsNone) {
    Exec(kShownRow);
    ASSERT_TRUE(rowguard::ReadStoredRow(con, 1));
    Exec("delete from svazkovna");
    EXPECT_FALSE(rowguard::ReadStoredRow(con, 1));
}

}  // namespace
