// Backups before the first change and the questions around them, checked
// on the files with the system's SQLite library.
#include "backup_fixture.h"

namespace testsupport {
namespace {

TEST_F(BackupTest, BackupsRotateAtTheSetCountAndEachIsASoundCatalogueInTheSameFormat) {
    const struct {
        const char* setting;
        size_t kept;
    } cases[] = {{"3", 3}, {"0", 0}, {"deset", 5}};  // not a number: the default 10 keeps all five
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        fs::remove_all(Folder());
        fs::remove(CataloguePath());
        MakeTemplateCatalogue(CataloguePath(), 12);
        fs::create_directory(Folder());
        WriteFile(Folder() + "/moje.txt", "cizí soubor");
        Settings(c.setting);
        OpenWindow();
        std::vector<std::vector<Row>> before;
        for (int i = 0; i < 5; ++i) {
            // Opening the catalogue again starts a new first change.
            ui.QueueFile(QString::fromStdString(CataloguePath()));
            F().otevrit->trigger();
            before.push_back(ReadAllRows(CataloguePath()));
            SaveNote(QString("poznamka %1").arg(i));
            SaveNote(QString("druha %1").arg(i));  // not a first change: no backup
        }
        ASSERT_TRUE(ui.boxes.empty()) << ui.boxes[0].text.toStdString();
        std::vector<std::string> names = Files();
        ASSERT_EQ(names.back(), "moje.txt") << "a file of the user's stays";
        names.pop_back();
        ASSERT_EQ(names.size(), c.kept);
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string path = Folder() + "/" + names[i];
            EXPECT_EQ(IntegrityCheck(path), "ok");
            EXPECT_EQ(ReadAllRows(path), before[before.size() - names.size() + i]) << names[i];
            // Older engines refuse the newer format, so the copy keeps the catalogue's.
            EXPECT_EQ(ReadFile(path).substr(44, 4), std::string("\0\0\0\2", 4)) << names[i];
        }
        CloseWindow();
    }
}

// Every writer passes the one backup gate: a lend and a return from the
// tree's menu and an import, each the first change after opening, each leave
// a backup of the catalogue as it was before.
TEST_F(BackupTest, LendReturnAndImportEachBackUpAsAFirstChange) {
    MakeTemplateCatalogue(CataloguePath(), 3);
    OpenWindow();
    const auto fromMenu = [this](int entry) {
        window->TitleMenu(*TitleNode(*Tree().topLevelItem(0), 0))->actions()[entry]->trigger();
    };
    const struct {
        const char* name;
        std::function<void()> change;
    } cases[] = {
        {"lend",
         [&] {
             ui.QueueInput("Jan");
             fromMenu(0);
         }},
        {"return", [&] { fromMenu(1); }},
        {"import",
         [&] {
             ui.QueueFile(QStringLiteral(SVAZKOVNA_TEST_DATA "/import/goodreads_library_export.csv"));
             ui.QueueDialog([](QDialog& d) { dynamic_cast<ImportDialog&>(d).importButton()->click(); });
             Command("importovat").trigger();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.QueueFile(QString::fromStdString(CataloguePath()));
        F().otevrit->trigger();  // a new first change
        const std::vector<std::string> before = Files();
        const std::vector<Row> rows = ReadAllRows(CataloguePath());
        c.change();
        EXPECT_TRUE(BoxesOf(Kind::Error).empty()) << BoxesOf(Kind::Error)[0].text.toStdString();
        std::vector<std::string> made;
        for (const std::string& name : Files())
            if (std::find(before.begin(), before.end(), name) == before.end()) made.push_back(name);
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(ReadAllRows(Folder() + "/" + made[0]), rows);
        EXPECT_NE(ReadAllRows(CataloguePath()), rows) << "the change was made";
    }
}

TEST_F(BackupTest, DamagedCatalogueIsNeverWrittenAndItsNewestBackupRestoresIt) {
    const struct {
        const char* what;
        std::function<std::string(std::string)> damage;
    } cases[] = {
        {"truncated", [](std::string bytes) { return bytes.substr(0, bytes.size() / 2); }},
        {"overwritten page", [](std::string bytes) { return bytes.replace(20 * 1024, 1024, 1024, '\xA5'); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Folder());
        fs::remove(CataloguePath());
        MakeTemplateCatalogue(CataloguePath(), 300);
        const std::vector<Row> original = ReadAllRows(CataloguePath());
        OpenWindow();
        SaveNote("zmena");
        CloseWindow();
        const std::string damaged = c.damage(ReadFile(CataloguePath()));
        WriteFile(CataloguePath(), damaged);

        // Declined: the only catalogue stays open for reading only.
        ui.boxes.clear();
        ui.QueueQuestion(false);
        OpenWindow();
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_EQ(ui.boxes[0].kind, Kind::Question);
        EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("je poškozený"))) << ui.boxes[0].text.toStdString();
        EXPECT_FALSE(window->beforeCatalogueChange());
        EXPECT_THROW(window->con1.ExecStatements("delete from svazkovna"), std::exception);
        // Declined again on a switch: the fallback is the same file, which is not asked about twice.
        const size_t asked = Questions();
        ui.QueueFile(QString::fromStdString(CataloguePath()));
        F().otevrit->trigger();
        EXPECT_EQ(Questions(), asked + 1);
        EXPECT_FALSE(window->beforeCatalogueChange());
        EXPECT_EQ(ReadFile(CataloguePath()), damaged);

        // Accepted when it is opened again: the newest backup takes its place.
        ui.QueueQuestion(true);
        ui.QueueFile(QString::fromStdString(CataloguePath()));
        F().otevrit->trigger();
        EXPECT_EQ(IntegrityCheck(CataloguePath()), "ok");
        EXPECT_EQ(ReadAllRows(CataloguePath()), original);
        EXPECT_EQ(Tree().topLevelItemCount(), 7);
        const std::vector<std::string> names = Files();
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[1].rfind("poskozeny-", 0), 0u);
        EXPECT_EQ(ReadFile(Folder() + "/" + names[1]), damaged) << "the damaged file is kept as it was";
        EXPECT_TRUE(window->beforeCatalogueChange());
        CloseWindow();
    }
}

TEST_F(BackupTest, RestoreFromTheMenuIsUndoable) {
    MakeTemplateCatalogue(CataloguePath(), 20);
    const std::vector<Row> original = ReadAllRows(CataloguePath());
    OpenWindow();
    SaveNote("zmena");
    const std::vector<Row> changed = ReadAllRows(CataloguePath());
    ASSERT_NE(changed, original);

    ui.QueueDialog([](QDialog& d) { static_cast<RestoreDialog&>(d).form()->stornob->click(); });
    Command("obnovit").trigger();
    EXPECT_EQ(ReadAllRows(CataloguePath()), changed) << "storno restores nothing";

    RestoreRow(0, [](Ui::RestoreDialog& r) {
        ASSERT_EQ(r.zalohytv->topLevelItemCount(), 1);
        EXPECT_EQ(r.zalohytv->topLevelItem(0)->text(2), "20");
    });
    EXPECT_EQ(ReadAllRows(CataloguePath()), original);
    EXPECT_EQ(F().poznamkale->text(), "") << "the panel is emptied";
    ASSERT_EQ(Files().size(), 2u) << "the state before the restore is a backup";
    EXPECT_EQ(ReadAllRows(Folder() + "/" + Files()[1]), changed);

    RestoreRow(0);  // the newest: the state before the first restore
    EXPECT_EQ(ReadAllRows(CataloguePath()), changed);
    EXPECT_EQ(IntegrityCheck(CataloguePath()), "ok");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(fs::exists(CataloguePath() + ".obnova"));
}

TEST_F(BackupTest, CancelledBackupChangesNothingAndLeavesNoFile) {
    MakeTemplateCatalogue(CataloguePath(), 2000);
    OpenWindow();
    const std::vector<Row> before = ReadAllRows(CataloguePath());
    Safe().progressInterval = std::chrono::milliseconds(0);
    Safe().progressFactory = [](const QString&) { return std::make_unique<CancellingProgress>(); };
    SaveNote("zmena");
    EXPECT_EQ(ReadAllRows(CataloguePath()), before);
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(BackupTest, FullDiskDuringABackupLosesNothing) {
    Tmpfs small(startDir.file("maly"), "size=160k");
    if (!small.mounted) GTEST_SKIP() << "needs root to mount a small file system";
    const std::string path = startDir.file("maly/plny.db");
    MakeTemplateCatalogue(path, 300);
    WriteTemplateCatalogue(CataloguePath());
    OpenWindow();
    ui.QueueFile(QString::fromStdString(path));
    F().otevrit->trigger();
    {
        std::ofstream filler(startDir.file("maly/vypln"), std::ios::binary);
        const std::string block(512, 'f');
        while (filler.write(block.data(), block.size())) filler.flush();
    }
    const std::string bytes = ReadFile(path);
    SaveNote("plno");  // declines to go on without a backup
    ASSERT_EQ(Questions(), 1u);
    EXPECT_TRUE(ui.boxes.back().text.contains(QString::fromUtf8("na disku není volné místo")))
        << ui.boxes.back().text.toStdString();
    EXPECT_EQ(ui.boxes.back().details, "database or disk is full");
    EXPECT_EQ(ReadFile(path), bytes);
    EXPECT_TRUE(!fs::exists(path + ".zalohy") || fs::is_empty(path + ".zalohy")) << "no half-written backup is left";

    fs::remove(startDir.file("maly/vypln"));
    const std::vector<Row> before = ReadAllRows(path);
    SaveNote("misto");
    EXPECT_EQ(Questions(), 1u);
    const auto backups = fs::directory_iterator(path + ".zalohy");
    const fs::path backup = backups->path();
    EXPECT_EQ(ReadAllRows(backup), before);
    EXPECT_EQ(IntegrityCheck(path), "ok");
    Reconnect(CataloguePath());  // let go of the file before the unmount
}

TEST_F(BackupTest, ReadOnlyBackupFolderAsksOnceTheUserAgrees) {
    MakeTemplateCatalogue(CataloguePath(), 5);
    Tmpfs folder(Folder(), "size=64k");
    if (!folder.mounted || !folder.MakeReadOnly()) GTEST_SKIP() << "needs root to mount a read-only folder";
    OpenWindow();
    const auto note = [&] { return std::get<std::string>(ReadAllRows(CataloguePath())[0][10]); };
    SaveNote("ne");
    EXPECT_EQ(Questions(), 1u);
    EXPECT_EQ(note(), "") << "declined: the change does not happen";
    ui.QueueQuestion(true);
    SaveNote("ano");
    SaveNote("znovu");
    EXPECT_EQ(Questions(), 2u) << "agreed once, not asked again";
    EXPECT_EQ(note(), "znovu");
    EXPECT_EQ(ui.boxes.size(), 2u);
}

// The user went on without a backup (its folder could not be made): only a
// change that then went through counts as the first. One that failed leaves
// the next change to be backed up, once the folder can be made again.
TEST_F(BackupTest, OnlyAChangeThatWentThroughSparesTheNextItsBackup) {
    for (const bool fails : {true, false}) {
        SCOPED_TRACE(fails);
        fs::remove(CataloguePath());
        MakeTemplateCatalogue(CataloguePath(), 5);
        const std::vector<Row> original = ReadAllRows(CataloguePath());
        WriteFile(Folder(), "soubor místo složky");
        OpenWindow();
        if (fails)
            ExecSql(CataloguePath(),
                    "CREATE TRIGGER plno BEFORE UPDATE ON svazkovna "
                    "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
        ui.boxes.clear();
        ui.QueueQuestion(true);
        SaveNote("prvni");
        EXPECT_EQ(Questions(), 1u);
        EXPECT_EQ(ReadAllRows(CataloguePath()) == original, fails);
        if (fails) ExecSql(CataloguePath(), "DROP TRIGGER plno");
        fs::remove(Folder());
        const std::vector<Row> before = ReadAllRows(CataloguePath());
        SaveNote("druha");
        EXPECT_EQ(Questions(), 1u) << "nothing more to ask";
        ASSERT_EQ(Files().size(), fails ? 1u : 0u);
        if (fails) {
            EXPECT_EQ(ReadAllRows(fs::path(Folder()) / Files()[0]), before);
        }
        EXPECT_EQ(std::get<std::string>(ReadAllRows(CataloguePath())[0][10]), "druha");
        CloseWindow();
        fs::remove_all(Folder());
    }
}

// The clock was once ahead: backups named in 2099 are older than any made
// since, never newer; the backup just made is never pruned, and a restore names
// only a backup that is there.

}  // namespace
}  // namespace testsupport
