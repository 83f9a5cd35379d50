// Backups of damaged, foreign-made and renamed catalogues, system messages and second places.
#include "backup_fixture.h"

namespace testsupport {
namespace {

TEST_F(BackupTest, BackupsNamedInTheFutureNeitherPruneTheNewOneNorPassForTheNewest) {
    MakeTemplateCatalogue(CataloguePath(), 4);
    const std::vector<Row> original = ReadAllRows(CataloguePath());
    Settings("3");
    fs::create_directory(Folder());
    for (const char* name :
         {"2099-01-01_00-00-01-000Z.db", "2099-01-01_00-00-02-000Z.db", "2099-01-01_00-00-03-000Z.db"})
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
    EXPECT_TRUE(box.details.startsWith(QString::fromUtf8("Hlášení databázového stroje:\n")))
        << box.details.toStdString();
    EXPECT_GT(box.details.count('\n'), 3) << "more than the first complaint: " << box.details.toStdString();
    for (const QString& line : box.details.split('\n').mid(1))
        EXPECT_FALSE(box.text.contains(line)) << line.toStdString();
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

// The system's and the engine's failures inside Czech sentences are said in
// Czech from their numbers; the original goes behind "Podrobnosti". An
// English text that no error number made is not guessed at.
TEST_F(BackupTest, SystemMessagesAreSaidInCzechWithTheOriginalBehindDetails) {
    const struct {
        QString original;
        const char* czech;
    } wordings[] = {
        {SystemErrorText(ENOSPC), "na disku není volné místo"},
        {SystemErrorText(EROFS), "disk je jen pro čtení"},
        {"cannot write x: " + SystemErrorText(EACCES), "chybí oprávnění k souboru nebo složce"},
    };
    for (const auto& w : wordings) {
        EXPECT_EQ(CzechSystemMessage(w.original), QString::fromUtf8(w.czech)) << w.original.toStdString();
        EXPECT_EQ(SystemDetails(w.original), w.original);
    }
    for (const char* english : {"database or disk is full", "Unknown error", "jiné"}) {
        EXPECT_EQ(CzechSystemMessage(english), english);
        EXPECT_EQ(SystemDetails(english), "");
    }
    const struct {
        int code;
        int error;
        const char* czech;
    } engine[] = {
        {SQLITE_FULL, 0, "na disku není volné místo"},
        {SQLITE_IOERR_WRITE, ENOSPC, "na disku není volné místo"},
        {SQLITE_IOERR_READ, EIO, "chyba při čtení nebo zápisu na disk"},
        {SQLITE_BUSY, EACCES, "katalog právě používá jiný program"},
        {SQLITE_NOTADB, 0, "soubor není katalog (není to databáze SQLite)"},
        {SQLITE_CANTOPEN, EACCES,
         "do složky katalogu nelze zapisovat, a tak nelze založit deník změn, bez kterého "
         "se změna neuloží"},
        {SQLITE_READONLY_DIRECTORY, 0,
         "do složky katalogu nelze zapisovat, a tak nelze založit deník změn, bez "
         "kterého se změna neuloží"},
        {SQLITE_READONLY, EROFS, "soubor katalogu nebo disk je jen pro čtení"},
    };
    for (const auto& e : engine) EXPECT_EQ(EngineFailureCause(e.code, e.error), QString::fromUtf8(e.czech)) << e.code;

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
