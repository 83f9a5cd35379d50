// Export to CSV and import from it, through the menu commands, with the
// catalogue read back by the system's SQLite library.
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <filesystem>

#include "app/transfer/catalogue_import.h"
#include "app/core/codepage.h"
#include "app/transfer/import_dialog.h"
#include "app/transfer/transfer_capability.h"
#include "support/app_catalogue_rows.h"
#include "support/app_files.h"
#include "support/app_scripted_guard.h"
#include "support/app_window_fixture.h"
#include "support/tmpfs.h"
#include "ui_import_dialog.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

std::string Cp(const char* utf8) { return ToCodePage(QString::fromUtf8(utf8)); }

Row R(long long id, Value autor, Value titul, Value poznamka, Value hodnoceni = 3LL) {
    return Row{id,
               autor,
               titul,
               Cp("román"),
               std::string(""),
               Null{},
               std::string("A1"),
               std::string(""),
               std::string(""),
               hodnoceni,
               poznamka,
               std::string(""),
               Null{},
               std::string("x")};
}

class CsvTransferTest : public WindowFixture {
protected:
    void Open(const std::vector<Row>& rows) {
        WriteCatalogue(CataloguePath(), rows);
        OpenWindow();
        window->session().SetGuard(&guard);
    }
    void Export(const std::string& path) {
        ui.QueueSaveFile(QString::fromStdString(path));
        Command("exportovat").trigger();
    }
    // Imports `path`; the preview is accepted (with the box ticked when asked).
    void Import(const std::string& path, bool includeStored = false) {
        ui.QueueFile(QString::fromStdString(path));
        ui.QueueDialog([includeStored](QDialog& d) {
            auto& dialog = dynamic_cast<ImportDialog&>(d);
            dialog.form()->duplicitychb->setChecked(includeStored);
            if (dialog.importButton()->isEnabled()) dialog.importButton()->click();
        });
        Command("importovat").trigger();
    }
    std::vector<QString> Errors() const {
        std::vector<QString> out;
        for (const auto& b : ui.boxes)
            if (b.kind == ScriptedUi::BoxKind::Error) out.push_back(b.text);
        return out;
    }
    QStringList Informations() const {
        QStringList out;
        for (const auto& b : ui.boxes)
            if (b.kind == ScriptedUi::BoxKind::Information) out.append(b.text);
        return out;
    }
    ScriptedGuard guard;  // instead of the backups
};

TEST_F(CsvTransferTest, ExportThenImportIntoAnEmptyCatalogueGivesTheSameRows) {
    const std::string long300(300, 'z');
    const std::vector<Row> rows = {
        R(1, Cp("Karel Čapek"), Cp("Válka s mloky"), Cp("žluťoučký kůň úpěl ďábelské ódy")),
        R(2, Cp("O'Brien; \"Flann\""), Cp("Třetí, strážník"), std::string("line one\r\nline two\nthree")),
        R(3, Cp("Hašek"), std::string(long300 + "ř"), std::string(long300)),
        // NULL texts; an empty text; a byte the code page leaves undefined.
        R(4, Null{}, std::string(""), std::string("\x81 odd"), 5LL),
        R(5, std::string(" "), Cp("Ž"), std::string("\"\""), 1LL),
    };
    Open(rows);
    const std::string csv = startDir.file("katalog.csv");
    Export(csv);
    ASSERT_TRUE(Errors().empty()) << Errors().front().toStdString();

    CreateCatalogue(startDir.file("prazdny.db"));
    Reconnect(startDir.file("prazdny.db"));
    Import(csv);
    ASSERT_TRUE(Errors().empty()) << Errors().front().toStdString();

    const std::vector<Row> back = ReadAllRows(startDir.file("prazdny.db"));
    ASSERT_EQ(back.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(Describe(back[i]), Describe(rows[i])) << "row " << i;
    EXPECT_EQ(guard.asked, 1);
    // A NULL rating comes back as the panel shows it.
    WriteCatalogue(startDir.file("nullrating.db"), {R(1, Cp("A"), Cp("B"), std::string(""), Null{})});
    Reconnect(startDir.file("nullrating.db"));
    Export(csv);
    CreateCatalogue(startDir.file("prazdny2.db"));
    Reconnect(startDir.file("prazdny2.db"));
    Import(csv);
    EXPECT_EQ(std::get<long long>(ReadAllRows(startDir.file("prazdny2.db")).at(0)[9]), 1);
}

TEST_F(CsvTransferTest, ExportWritesAHeaderQuotesWhatNeedsItAndLeavesNoFileWhenCancelled) {
    Open({R(7, Cp("Čapek"), Cp("a,b"), Null{})});
    const std::string csv = startDir.file("out.csv");
    Export(csv);
    EXPECT_EQ(Slurp(csv),
              "id,autor,titul,zanr,vydal,serie,umisteni,zapujcenokomu,zapujcenokdy,hodnoceni,poznamka,"
              "udaj1,udaj2,udaj3\r\n"
              "7,Čapek,\"a,b\",román,\"\",,A1,\"\",\"\",3,,\"\",,x\r\n");

    // A cancelled export over an existing file leaves it as it was.
    ui.cancelProgressAt = 0;
    ExecSql(CataloguePath(),
            "with recursive n(i) as (select 1 union all select i+1 from n where i<4999) "
            "insert into svazkovna(id,autor,titul) select i,'a','b' from n");
    Spit(csv, "old");
    ui.boxes.clear();
    Export(csv);
    EXPECT_EQ(Slurp(csv), "old");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Information);
    EXPECT_EQ(ui.boxes[0].text, QString::fromUtf8("Export byl zrušen, soubor nebyl zapsán."));
    const std::string fresh = startDir.file("fresh.csv");
    Export(fresh);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(fresh)));
}

// The catalogue itself, another name of it, or a file among its backups as
// the export's target: refused, nothing is touched. A disk that fills up
// half-way is a failure told as such, not a cancel.
TEST_F(CsvTransferTest, ExportOntoTheCatalogueIsRefusedAndAFullDiskIsAFailure) {
    namespace fs = std::filesystem;
    Open({R(1, Cp("Čapek"), Cp("Krakatit"), Null{})});
    const std::string bytes = Slurp(CataloguePath());
    fs::create_directory(CataloguePath() + ".zalohy");
    fs::copy_file(CataloguePath(), CataloguePath() + ".zalohy/2026-01-01_00-00-00-000Z.db");
    fs::create_symlink(CataloguePath(), startDir.file("odkaz.db"));
    for (const std::string& target :
         {CataloguePath(), startDir.file("odkaz.db"), CataloguePath() + ".zalohy/2026-01-01_00-00-00-000Z.db",
          CataloguePath() + ".zalohy/novy.csv"}) {
        ui.boxes.clear();
        Export(target);
        ASSERT_EQ(Errors().size(), 1u) << target;
        EXPECT_EQ(Errors()[0], QString::fromUtf8("Do souboru „%1“ nelze exportovat: je to otevřený katalog "
                                                 "nebo jeho záloha. Zvolte pro export jiný soubor.")
                                   .arg(QString::fromStdString(target)));
        EXPECT_EQ(Slurp(CataloguePath()), bytes);
    }
    EXPECT_FALSE(fs::exists(CataloguePath() + ".zalohy/novy.csv"));

    Tmpfs small(startDir.file("maly"), "size=64k");
    if (!small.mounted) GTEST_SKIP() << "needs root to mount a small file system";
    ExecSql(CataloguePath(),
            "with recursive n(i) as (select 2 union all select i+1 from n where i<3000) "
            "insert into svazkovna(id,autor,titul) select i,'autor','titul' from n");
    ui.boxes.clear();
    const std::string full = startDir.file("maly/plny.csv");
    Export(full);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Error);
    EXPECT_EQ(
        ui.boxes[0].text,
        QString::fromUtf8("Soubor „%1“ nelze zapsat: na disku není volné místo.").arg(QString::fromStdString(full)));
    EXPECT_EQ(ui.boxes[0].details, "No space left on device");
    EXPECT_FALSE(fs::exists(full));
}

TEST_F(CsvTransferTest, StoredRowsAreSkippedUnlessAskedAndIdsFollowTheHighest) {
    Open({R(10, Cp("Karel Čapek"), Cp("Krakatit"), std::string(""))});
    const std::string csv = startDir.file("cizi.csv");
    // A spreadsheet's file: Czech names in another order, semicolons, Windows-1250.
    Spit(csv, Cp("Titul;AUTOR;Hodnocení;Poznámka;Cena\r\n"
                 "Krakatit;Karel Čapek;9;;120\r\n"
                 "Povětroň;Karel Čapek;x;první;99\r\n"
                 ";;;;\r\n"));
    Import(csv);
    EXPECT_EQ(Informations(), QStringList{QString::fromUtf8("Importováno záznamů: 1.")});
    std::vector<Row> back = ReadAllRows(CataloguePath());
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(Describe(back[1]), Describe(Row{11LL, Cp("Karel Čapek"), Cp("Povětroň"), std::string(""), std::string(""),
                                              std::string(""), std::string(""), std::string(""), std::string(""), 1LL,
                                              Cp("první"), std::string(""), std::string(""), std::string("")}));
    // The tree is rebuilt with the new title.
    ASSERT_EQ(ShownTree(Tree()).size(), 1u);
    EXPECT_EQ(ShownTree(Tree())[0].titles, (QStringList{"Krakatit", QString::fromUtf8("Povětroň")}));
    ui.boxes.clear();
    Import(csv, true);
    EXPECT_EQ(Informations(), QStringList{QString::fromUtf8("Importováno záznamů: 2.")});
    back = ReadAllRows(CataloguePath());
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(std::get<long long>(back[2][0]), 12);
    EXPECT_EQ(std::get<long long>(back[2][9]), 5);
    EXPECT_EQ(std::get<std::string>(back[3][2]), Cp("Povětroň"));
}

TEST_F(CsvTransferTest, AFaultyFileOrACancelOrADeclinedBackupWritesNothing) {
    const std::vector<Row> rows = {R(1, Cp("A"), Cp("B"), std::string(""))};
    Open(rows);
    struct Case {
        const char* name;
        std::string bytes;
        const char* says;  // in the error box; empty: no error expected
    } cases[] = {
        {"open quote", "Autor,Titul\nA,B\nC,\"D\nE,F\n", "Řádek 3"},
        {"text after a quote", "Autor,Titul\nA,B\n\"C\"x,D\n", "Řádek 3"},
        {"zero character", std::string("Autor,Titul\nA,B\nC,\"D\n\0\"\n", 24),
         "Řádek 4, sloupec „Titul“: Text obsahuje nulový znak"},
        {"field count", "Autor;Titul\nA;B;C\n", "Řádek 2: má 3 polí"},
        {"no header", "x,y\n1,2\n", "alespoň „Autor“"},
    };
    for (const Case& c : cases) {
        ui.boxes.clear();
        const std::string csv = startDir.file("bad.csv");
        Spit(csv, c.bytes);
        Import(csv);
        ASSERT_EQ(Errors().size(), 1u) << c.name;
        EXPECT_TRUE(Errors()[0].contains(QString::fromUtf8(c.says))) << c.name << ": " << Errors()[0].toStdString();
        EXPECT_TRUE(Errors()[0].contains(QString::fromUtf8("Nic nebylo importováno"))) << c.name;
    }
    EXPECT_EQ(guard.asked, 0);
    ui.boxes.clear();

    // 600 good rows: the cancel comes after the first batch went in, and undoes it.
    std::string many = "Autor,Titul\n";
    for (int i = 0; i < 600; ++i) many += "N,T" + std::to_string(i) + "\n";
    Spit(startDir.file("many.csv"), many);
    ui.cancelProgressAt = 250;
    Import(startDir.file("many.csv"));
    ui.cancelProgressAt.reset();
    guard.answer = false;
    Import(startDir.file("many.csv"));
    EXPECT_EQ(guard.asked, 2);
    EXPECT_TRUE(Errors().empty());
    const std::vector<Row> back = ReadAllRows(CataloguePath());
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(Describe(back[0]), Describe(rows[0]));
}

TEST(CsvImportParse, DetectsSeparatorAndEncoding) {
    const std::string cz = ToCodePage(QString::fromUtf8("Žluťoučký"));
    struct Case {
        std::string bytes;
        const char* encoding;
        char separator;
    } cases[] = {
        {"Autor;Titul\r\n\xC5\xBDlu\xC5\xA5ou\xC4\x8Dk\xC3\xBD;b\r\n", "UTF-8", ';'},
        {"\xEF\xBB\xBF"
         "Author,Title\nZ,\"a;b\tc\"\n",
         "UTF-8", ','},
        {"Autor\tTitul\n" + cz + "\tb\n", "Windows-1250", '\t'},
        {"\"Autor;x\",Titul\n" + cz + ",b\n", "Windows-1250", ','},
        // Accents as combining marks.
        {"Autor\nZ\xCC\x8Clut\xCC\x8Couc\xCC\x8Cky\xCC\x81\n", "UTF-8", ','},
    };
    for (const Case& c : cases) {
        const ImportPlan plan = ParseImport(c.bytes);
        EXPECT_EQ(plan.encoding.toStdString(), c.encoding) << c.bytes;
        EXPECT_EQ(plan.separator, c.separator) << c.bytes;
        ASSERT_EQ(plan.rows.size(), 1u) << c.bytes;
    }
    EXPECT_EQ(*ParseImport(cases[0].bytes).rows[0].row[kAuthorColumn], cz);
    EXPECT_EQ(*ParseImport(cases[2].bytes).rows[0].row[kAuthorColumn], cz);
    EXPECT_EQ(*ParseImport(cases[4].bytes).rows[0].row[kAuthorColumn], cz);
}

}  // namespace
}  // namespace testsupport
