// Backups before the first change, restoring them, and the health check on
// opening, checked on the files with the system's SQLite library.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sqlite3.h>
#include <unistd.h>

#include "app/window/tree_node.h"
#include "app/platform/system_message.h"
#include "app/safekeeping/catalogue_backup.h"
#include "app/window/edit_dialog.h"
#include "app/safekeeping/restore_dialog.h"
#include "app/safekeeping/safekeeping_capability.h"
#include "app/transfer/import_dialog.h"
#include "catalogue/template_db.h"
#include "support/app_catalogue_rows.h"
#include "support/app_window_fixture.h"
#include "support/tmpfs.h"
#include "ui_main_window.h"
#include "ui_restore_dialog.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Kind = ScriptedUi::BoxKind;

// Cancels at the first report.
struct CancellingProgress : Progress {
    bool Step(long long) override { return false; }
};

class BackupTest : public WindowFixture {
protected:
    Ui::TForm1& F() { return *window->form(); }
    std::string Folder() const { return CataloguePath() + ".zalohy"; }

    // A catalogue written from the program's template (schema format 2), with `count` books.
    static void MakeTemplateCatalogue(const std::string& path, int count) {
        ASSERT_TRUE(WriteTemplateCatalogue(path));
        std::vector<Book> books;
        for (int i = 0; i < count; ++i)
            books.push_back(BookOf("Autor " + std::to_string(i % 7), "Titul " + std::to_string(i) + std::string(150, 't')));
        InsertBooks(path, books);
    }
    void Settings(const std::string& count) {
        WriteFile(exeDir.file("nastav.ini"), "[nastaveni]\r\npocetzaloh=" + count + "\r\n");
    }
    // A changed note on the first title, saved as a user saves it.
    void SaveNote(const QString& note) {
        ClickItem(Tree(), TitleNode(*Tree().topLevelItem(0), 0));
        F().poznamkale->setText(note);
        F().ulozitb->click();
    }
    // "obnovit ze zálohy…", choosing the backup in `row` (newest first).
    void RestoreRow(int row, const std::function<void(Ui::TRestoreDialog&)>& check = {}) {
        ui.QueueDialog([=](QDialog& d) {
            Ui::TRestoreDialog& r = *static_cast<TRestoreDialog&>(d).form();
            if (check) check(r);
            r.zalohytv->setCurrentItem(r.zalohytv->topLevelItem(row));
            QTest::mouseClick(r.obnovitb, Qt::LeftButton);
        });
        Command("obnovit").trigger();
    }
    // Names in the backup folder, oldest first.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        if (fs::is_directory(Folder()))
            for (const auto& entry : fs::directory_iterator(Folder())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    size_t Questions() const {
        return std::count_if(ui.boxes.begin(), ui.boxes.end(), [](const auto& b) { return b.kind == Kind::Question; });
    }
    CatalogueBackup& Safe() const { return window->capability<SafekeepingCapability>().backups(); }
    // "zálohovat nyní" from the menu.
    // The command as the menu holds it (the capability, not the window, owns it).
    QAction* BackupNowCommand() {
        for (QAction* action : F().databazem->actions())
            if (action->objectName() == "zalohovat") return action;
        return nullptr;
    }
    void BackupNow() {
        QAction* command = BackupNowCommand();
        ASSERT_TRUE(command);
        command->trigger();
    }
    std::vector<ScriptedUi::Box> BoxesOf(Kind kind) const {
        std::vector<ScriptedUi::Box> found;
        for (const auto& b : ui.boxes)
            if (b.kind == kind) found.push_back(b);
        return found;
    }
    void CloseWindow() {
        window->close();
        window.reset();
        editf = nullptr;
        Form1 = nullptr;
    }
};

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
        {"lend", [&] { ui.QueueInput("Jan"); fromMenu(0); }},
        {"return", [&] { fromMenu(1); }},
        {"import", [&] {
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

    ui.QueueDialog([](QDialog& d) { static_cast<TRestoreDialog&>(d).form()->stornob->click(); });
    Command("obnovit").trigger();
    EXPECT_EQ(ReadAllRows(CataloguePath()), changed) << "storno restores nothing";

    RestoreRow(0, [](Ui::TRestoreDialog& r) {
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
    EXPECT_TRUE(ui.boxes.back().text.contains(QString::fromUtf8("na disku není volné místo"))) << ui.boxes.back().text.toStdString();
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
            ExecSql(CataloguePath(), "CREATE TRIGGER plno BEFORE UPDATE ON svazkovna "
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
TEST_F(BackupTest, BackupsNamedInTheFutureNeitherPruneTheNewOneNorPassForTheNewest) {
    MakeTemplateCatalogue(CataloguePath(), 4);
    const std::vector<Row> original = ReadAllRows(CataloguePath());
    Settings("3");
    fs::create_directory(Folder());
    for (const char* name : {"2099-01-01_00-00-01-000Z.db", "2099-01-01_00-00-02-000Z.db", "2099-01-01_00-00-03-000Z.db"})
        fs::copy_file(CataloguePath(), Folder() + "/" + name);
    OpenWindow();
    SaveNote("zmena");
    const std::vector<Row> changed = ReadAllRows(CataloguePath());
    std::vector<std::string> names = Files();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_NE(names[0].substr(0, 4), "2099") << "the backup just made stays";
    EXPECT_EQ(names[1], "2099-01-01_00-00-02-000Z.db") << "the oldest future one went";
    std::vector<BackupFile> listed = Safe().Backups();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(fs::path(listed[0].path).filename(), names[0]) << "the newest is the one made now";
    EXPECT_EQ(ReadAllRows(listed[0].path), original);

    RestoreRow(1);  // a future-named one, the state of the start
    EXPECT_EQ(ReadAllRows(CataloguePath()), original);
    listed = Safe().Backups();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(ReadAllRows(listed[0].path), changed) << "the state before the restore is kept";
    const QString message = window->statusBar()->currentMessage();
    EXPECT_EQ(message, QString::fromUtf8("Katalog byl obnoven ze zálohy. Stav před obnovou je uložen jako záloha „%1“.")
                           .arg(QString::fromStdString(fs::path(listed[0].path).filename())));
    EXPECT_TRUE(ui.boxes.empty());
}

// Another tool switched the catalogue to a write-ahead log: the program's own
// log is no obstacle to a restore; a log another program keeps open is.
TEST_F(BackupTest, CatalogueInWalModeIsRestoredUnlessAnotherProgramHoldsIt) {
    MakeTemplateCatalogue(CataloguePath(), 30);
    ExecSql(CataloguePath(), "PRAGMA journal_mode=wal");
    const std::vector<Row> original = ReadAllRows(CataloguePath());
    OpenWindow();
    SaveNote("zmena");
    const std::vector<Row> changed = ReadAllRows(CataloguePath());
    ASSERT_TRUE(fs::exists(CataloguePath() + "-wal")) << "the window's connection keeps its log";

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(CataloguePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "select count(*) from svazkovna", nullptr, nullptr, nullptr), SQLITE_OK);
    RestoreRow(0);
    ASSERT_EQ(BoxesOf(Kind::Error).size(), 1u);
    EXPECT_TRUE(BoxesOf(Kind::Error)[0].text.contains(QString::fromUtf8("má otevřený jiný program")));
    sqlite3_close(other);
    EXPECT_EQ(ReadAllRows(CataloguePath()), changed);
    EXPECT_TRUE(window->beforeCatalogueChange()) << "the window works on";
    EXPECT_EQ(Tree().topLevelItemCount(), 7);

    ui.boxes.clear();
    const size_t before = Safe().Backups().size();
    RestoreRow(before - 1);  // the oldest: the first change's backup
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text.toStdString();
    EXPECT_EQ(ReadAllRows(CataloguePath()), original);
    EXPECT_EQ(IntegrityCheck(CataloguePath()), "ok");
    EXPECT_EQ(Safe().Backups().size(), before + 1);
    EXPECT_EQ(ReadAllRows(Safe().Backups()[0].path), changed) << "the log went into the saved state";
    EXPECT_EQ(Tree().topLevelItemCount(), 7);
}

// An empty file, what a crash or a full disk leaves, is a damaged catalogue:
// its backup is offered; declined, it stays the remembered catalogue.
TEST_F(BackupTest, EmptyCatalogueFileIsDamagedAndStaysRemembered) {
    const std::string path = startDir.file("kniha.db");
    MakeTemplateCatalogue(path, 12);
    const std::vector<Row> original = ReadAllRows(path);
    const std::string sound = ReadFile(path);
    WriteFile(exeDir.file("nastav.ini"), "[nastaveni]\r\ndatabaze=kniha.db\r\n");
    WriteTemplateCatalogue(CataloguePath());
    for (const bool withBackup : {false, true}) {
        SCOPED_TRACE(withBackup);
        ui.questionAnswers.clear();
        if (withBackup) {
            WriteFile(path, sound);
            OpenWindow();
            SaveNote("zmena");
            CloseWindow();
        }
        WriteFile(path, "");
        ui.boxes.clear();
        ui.QueueQuestion(false);
        OpenWindow();
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].kind, withBackup ? Kind::Question : Kind::Error);
        EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("kniha.db“ je poškozený (soubor je prázdný)")))
            << ui.boxes[0].text.toStdString();
        EXPECT_EQ(window->con1.Database(), "svazkovna.db") << "the default opens meanwhile";
        CloseWindow();
        EXPECT_NE(ReadFile(exeDir.file("nastav.ini")).find("databaze=kniha.db"), std::string::npos);
        EXPECT_EQ(ReadFile(path), "");
    }
    ui.questionAnswers.clear();
    ui.QueueQuestion(true);
    OpenWindow();
    EXPECT_EQ(ReadAllRows(path), original);
    EXPECT_EQ(Tree().topLevelItemCount(), 7);
    EXPECT_TRUE(BoxesOf(Kind::Plain).empty());
}

// A heavily damaged file: one Czech sentence and the question in the box, the
// engine's whole report behind "Podrobnosti".
TEST_F(BackupTest, DamageReportGoesBehindDetailsAndTheQuestionStaysShort) {
    MakeTemplateCatalogue(CataloguePath(), 2000);
    OpenWindow();
    SaveNote("zmena");
    CloseWindow();
    std::string bytes = ReadFile(CataloguePath());
    for (size_t at = 8 * 1024; at + 4096 < bytes.size(); at += 8 * 1024) bytes.replace(at + 100, 300, 300, '\x07');
    WriteFile(CataloguePath(), bytes);
    ui.QueueQuestion(false);
    OpenWindow();
    ASSERT_FALSE(ui.boxes.empty());
    const ScriptedUi::Box& box = ui.boxes[0];
    ASSERT_EQ(box.kind, Kind::Question);
    EXPECT_LE(box.text.count('\n'), 3) << box.text.toStdString();
    EXPECT_LT(box.text.size(), 400) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QString::fromUtf8("Obnovit ho z nejnovější zálohy"))) << box.text.toStdString();
    EXPECT_TRUE(box.details.startsWith(QString::fromUtf8("Hlášení databázového stroje:\n"))) << box.details.toStdString();
    EXPECT_GT(box.details.count('\n'), 3) << "more than the first complaint: " << box.details.toStdString();
    for (const QString& line : box.details.split('\n').mid(1)) EXPECT_FALSE(box.text.contains(line)) << line.toStdString();
}

// A folder whose name is no UTF-8 (a Windows-1250 "Č"): backups go beside the
// catalogue without asking, also the one made on demand and the restore.
TEST_F(BackupTest, FolderNameInWindows1250KeepsItsBackups) {
    const std::string folder = startDir.file("Kniha\xC8");
    fs::create_directory(folder);
    const std::string path = folder + "/svazkovna.db";
    MakeTemplateCatalogue(path, 9);
    const std::vector<Row> original = ReadAllRows(path);
    OpenWindow();
    Reconnect(path);
    SaveNote("zmena");
    EXPECT_EQ(Questions(), 0u);
    std::vector<BackupFile> listed = Safe().Backups();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].path.rfind(folder + "/svazkovna.db.zalohy/", 0), 0u) << listed[0].path;
    EXPECT_EQ(ReadAllRows(listed[0].path), original);
    RestoreRow(0);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text.toStdString();
    EXPECT_EQ(ReadAllRows(path), original);
    EXPECT_EQ(Safe().Backups().size(), 2u);
}

// The system's and the engine's English inside Czech sentences becomes Czech;
// the original goes behind "Podrobnosti".
TEST_F(BackupTest, SystemMessagesAreSaidInCzechWithTheOriginalBehindDetails) {
    const struct {
        const char* original;
        const char* czech;
    } wordings[] = {
        {"database or disk is full", "na disku není volné místo"},
        {"No space left on device", "na disku není volné místo"},
        {"Read-only file system", "disk je jen pro čtení"},
        {"attempt to write a readonly database", "soubor nebo disk je jen pro čtení"},
        {"file is not a database", "soubor není katalog (není to databáze SQLite)"},
        {"file is encrypted or is not a database", "soubor není katalog (není to databáze SQLite)"},
        {"database is locked", "katalog má otevřený a zamčený jiný program"},
        {"Unknown error", "neznámá chyba"},
        {"cannot write x: Permission denied", "chybí oprávnění k souboru nebo složce"},
    };
    for (const auto& w : wordings) {
        EXPECT_EQ(CzechSystemMessage(w.original), QString::fromUtf8(w.czech)) << w.original;
        EXPECT_EQ(SystemDetails(w.original), w.original);
    }
    EXPECT_EQ(CzechSystemMessage(QString::fromUtf8("něco jiného")), QString::fromUtf8("něco jiného"));
    EXPECT_EQ(SystemDetails("jiné"), "");

    // A backup that is no catalogue at all.
    MakeTemplateCatalogue(CataloguePath(), 5);
    OpenWindow();
    SaveNote("zmena");
    WriteFile(Safe().Backups()[0].path, std::string(4096, 'x'));
    RestoreRow(0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.section('\n', 0, 0),
              QString::fromUtf8("Zálohu „%1“ nelze použít: soubor není katalog (není to databáze SQLite).")
                  .arg(QString::fromStdString(Files()[0])));
    EXPECT_EQ(ui.boxes[0].details, "file is not a database");
}

// "zálohovat nyní": a backup whatever the count says, named in the message;
// the next change of the run needs none of its own.
TEST_F(BackupTest, BackupNowIsMadeWhateverTheCountAndNamed) {
    MakeTemplateCatalogue(CataloguePath(), 5);
    Settings("0");
    OpenWindow();
    const QList<QAction*> menu = F().databazem->actions();
    const QAction* now = BackupNowCommand();
    ASSERT_TRUE(now);
    EXPECT_EQ(now->text(), QString::fromUtf8("zálohovat &nyní"));
    EXPECT_LT(menu.indexOf(now), menu.indexOf(&Command("importovat")) + 2) << "the first command added above konec";
    EXPECT_EQ(menu.back(), F().konec);
    for (int i = 0; i < 2; ++i) BackupNow();
    std::vector<std::string> names = Files();
    ASSERT_EQ(names.size(), 2u) << "0 switches the automatic backups off, not these";
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].kind, Kind::Information);
    EXPECT_EQ(ui.boxes[1].text, QString::fromUtf8("Katalog je zazálohován do souboru „%1“.")
                                    .arg(QString::fromStdString(Folder() + "/" + names[1])));
    EXPECT_EQ(ReadAllRows(Folder() + "/" + names[1]), ReadAllRows(CataloguePath()));
    Settings("1");
    SaveNote("zmena");
    EXPECT_EQ(Files(), names) << "the state is saved already";
    BackupNow();
    EXPECT_EQ(Files().size(), 1u) << "pruned to the count";
}

// "zalohydo": each backup is copied into a second place as well, pruned the
// same way; a missing place is reported once and blocks nothing.
TEST_F(BackupTest, SecondPlaceGetsACopyOfEachBackupAndNeverBlocks) {
    MakeTemplateCatalogue(CataloguePath(), 5);
    const std::string place = startDir.file("druhy disk");
    fs::create_directory(place);
    WriteFile(exeDir.file("nastav.ini"), "[nastaveni]\r\npocetzaloh=2\r\nzalohydo=" + place + "\r\n");
    OpenWindow();
    SaveNote("a");
    for (int i = 0; i < 2; ++i) BackupNow();
    const std::string copies = place + "/svazkovna.db.zalohy";
    std::vector<std::string> there;
    for (const auto& entry : fs::directory_iterator(copies)) there.push_back(entry.path().filename());
    std::sort(there.begin(), there.end());
    EXPECT_EQ(there, Files());
    ASSERT_EQ(there.size(), 2u);
    EXPECT_EQ(ReadFile(copies + "/" + there[1]), ReadFile(Folder() + "/" + there[1]));
    EXPECT_EQ(BoxesOf(Kind::Error).size(), 0u);

    CloseWindow();
    ui.boxes.clear();
    WriteFile(exeDir.file("nastav.ini"), "[nastaveni]\r\nzalohydo=" + startDir.file("odpojeny/disk") + "\r\n");
    OpenWindow();
    SaveNote("b");
    BackupNow();
    ASSERT_EQ(BoxesOf(Kind::Error).size(), 1u) << "reported once per run";
    EXPECT_TRUE(BoxesOf(Kind::Error)[0].text.contains(QString::fromUtf8("soubor nebo složka neexistuje")))
        << BoxesOf(Kind::Error)[0].text.toStdString();
    EXPECT_EQ(std::get<std::string>(ReadAllRows(CataloguePath())[0][10]), "b") << "the change went ahead";
    EXPECT_EQ(Files().size(), 4u);
    EXPECT_FALSE(fs::exists(startDir.file("odpojeny")));
}

}  // namespace
}  // namespace testsupport
