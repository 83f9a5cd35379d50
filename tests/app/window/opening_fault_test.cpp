// Files given as the catalogue that are no catalogue, one locked or damaged,
// one with an unfinished change on a read-only disk: the fixed connection
// message, then one Czech sentence saying why; nothing written to the file.
#include <QTreeWidget>
#include <filesystem>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/window/tree_node.h"
#include "support/app_catalogue_rows.h"
#include "support/app_files.h"
#include "support/app_window_fixture.h"
#include "support/tmpfs.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Kind = ScriptedUi::BoxKind;

const char* const kConnectFailed = "pripojeni k db selhalo";

Book Numbered(int i) {
    Book b = BookOf("Autor " + std::to_string(i % 97), "Titul " + std::to_string(i));
    b.poznamka = std::string(120, static_cast<char>('a' + i % 26));
    return b;
}

// A zip archive as a packer writes one: a local header, a stored member, the central directory.
std::string ZipBytes() {
    std::string zip("PK\x03\x04\x14\x00\x00\x00\x00\x00", 10);
    zip += std::string(16, '\0') + std::string("\x08\x00\x00\x00", 4) + "kniha.db" + "obsah";
    zip += std::string("PK\x01\x02", 4) + std::string(42, '\0') + "kniha.db";
    zip += std::string("PK\x05\x06", 4) + std::string(18, '\0');
    return zip;
}

// Overwrites with garbage a leaf page of a table found at about `share` of
// the file; returns its number, 0 when none was found.
size_t DamageLeafPage(const std::string& path, double share) {
    std::string bytes = Slurp(path);
    const size_t size = (static_cast<unsigned char>(bytes[16]) << 8) | static_cast<unsigned char>(bytes[17]);
    const size_t pages = bytes.size() / size;
    for (size_t p = static_cast<size_t>(pages * share); p > 1 && p < pages; --p) {
        if (bytes[p * size] != '\x0D') continue;
        for (size_t i = 0; i < size; ++i) bytes[p * size + i] = static_cast<char>((i * 7919 + 13) & 0xFF);
        Spit(path, bytes);
        return p;
    }
    return 0;
}

class OpeningFaultTest : public WindowFixture {
protected:
    Ui::TForm1& F() { return *window->form(); }
    void Choose(const std::string& path) {
        ui.QueueFile(QString::fromStdString(path));
        F().otevrit->trigger();
    }
    std::string Backup(const std::string& path) {
        fs::create_directories(path + ".zalohy");
        return path + ".zalohy/2026-01-02_03-04-05-000Z.db";
    }
};

// Each kind of file that opens as no catalogue: the fixed message, then why;
// the default catalogue is shown instead and the file is left as it was. A
// WAL-mode catalogue is a catalogue and opens.
TEST_F(OpeningFaultTest, FilesThatAreNoCatalogueSayWhy) {
    MakeCatalogue({BookOf("Hrabal", "Postriziny")});
    const std::string foreign = startDir.file("adresar.db");
    ExecSql(foreign,
            "create table kontakty(jmeno text, telefon text); create table skupiny(nazev text);"
            "insert into kontakty values('Jana','603 123 456')");
    const std::string narrow = startDir.file("uzka.db");
    ExecSql(narrow,
            "create table svazkovna(id integer, autor varchar(255), titul varchar(255), poznamka text);"
            "insert into svazkovna values(1,'Hrabal','Postriziny','')");
    const std::string wal = startDir.file("wal.db");
    CreateCatalogue(wal);
    InsertBooks(wal, {BookOf("Capek", "Krakatit")});
    ExecSql(wal, "pragma journal_mode=wal");
    const std::string text = startDir.file("seznam.txt");
    Spit(text, "Hrabal;Postriziny\r\nCapek;Krakatit\r\n");
    const std::string zip = startDir.file("katalog.zip");
    Spit(zip, ZipBytes());
    const struct {
        std::string path;
        const char* why;  // empty: it opens
    } cases[] = {
        {text, "Soubor není katalog (není to databáze SQLite)."},
        {zip, "Soubor není katalog (není to databáze SQLite)."},
        {foreign, "Soubor „adresar.db“ je databáze jiného programu: nemá tabulku knih „svazkovna“."},
        {narrow,
         "V tabulce knih souboru „uzka.db“ chybí sloupce zanr, vydal, serie, umisteni, zapujcenokomu, "
         "zapujcenokdy, hodnoceni, udaj1, udaj2, udaj3"},
        {wal, ""},
    };
    OpenWindow();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string bytes = Slurp(c.path);
        ui.boxes.clear();
        Choose(c.path);
        if (!*c.why) {
            EXPECT_TRUE(ui.boxes.empty());
            EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Capek"});
            continue;
        }
        ASSERT_EQ(ui.boxes.size(), 2u);
        EXPECT_EQ(ui.boxes[0].text, kConnectFailed);
        EXPECT_EQ(ui.boxes[1].kind, Kind::Error);
        EXPECT_TRUE(ui.boxes[1].text.startsWith(QString::fromUtf8(c.why))) << ui.boxes[1].text.toStdString();
        EXPECT_FALSE(ui.boxes[1].details.isEmpty());
        EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Hrabal"}) << "the default is shown instead";
        EXPECT_EQ(Slurp(c.path), bytes);
    }
}

// Another program's database and a table short of columns, each with a sound
// backup beside it: the restore is offered; taken, the catalogue opens restored.
TEST_F(OpeningFaultTest, RestoreIsOfferedForAForeignFileWithABackup) {
    MakeCatalogue({BookOf("Hrabal", "Postriziny")});
    OpenWindow();
    for (const char* sql : {"create table kontakty(jmeno text)", "create table svazkovna(id integer, autor text)"}) {
        SCOPED_TRACE(sql);
        const std::string path = startDir.file("jiny.db");
        fs::remove_all(path + ".zalohy");
        fs::remove(path);
        ExecSql(path, sql);
        const std::string backup = Backup(path);
        CreateCatalogue(backup);
        InsertBooks(backup, {BookOf("Capek", "Krakatit"), BookOf("Capek", "Valka s mloky")});
        ui.boxes.clear();
        ui.QueueQuestion(true);
        Choose(path);
        ASSERT_EQ(ui.boxes.size(), 1u) << ui.boxes.back().text.toStdString();
        EXPECT_EQ(ui.boxes[0].kind, Kind::Question);
        EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("Obnovit katalog z nejnovější zálohy")))
            << ui.boxes[0].text.toStdString();
        EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("(2 knihy)")));
        EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Capek"});
        EXPECT_EQ(ReadAllRows(path).size(), 2u);
    }
}

// Under another program's exclusive lock at start: the fixed message and the
// lock said in Czech. The health check is not skipped for the run: once the
// lock is gone, the first change makes it, and a catalogue found damaged then
// is not written to.
TEST_F(OpeningFaultTest, LockedAtStartIsSaidAndCheckedBeforeTheFirstChange) {
    std::vector<Book> books;
    for (int i = 0; i < 400; ++i) books.push_back(Numbered(i));
    MakeCatalogue(books);
    ExecSql(CataloguePath(),
            "create table navic(x text);"
            "with recursive n(i) as (select 1 union all select i+1 from n where i<400) "
            "insert into navic select printf('%0200d', i) from n");
    {
        WriteLock lock(CataloguePath());
        OpenWindow();
    }
    ASSERT_GE(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, kConnectFailed);
    EXPECT_EQ(ui.boxes[1].text, QString::fromUtf8("Katalog právě používá jiný program. Zkuste to znovu za chvíli."));
    EXPECT_EQ(ui.boxes[1].details, "database is locked");

    // A page of the file's other table overwritten while the program waited:
    // the tree reads on, the check finds the damage.
    const std::string bytes = Slurp(CataloguePath());
    const size_t page = DamageLeafPage(CataloguePath(), 0.95);
    ASSERT_NE(page, 0u);
    window->tv1update();
    ASSERT_NE(Tree().topLevelItemCount(), 0);
    ClickItem(Tree(), TitleNode(*Tree().topLevelItem(0), 0));
    ui.boxes.clear();
    const std::string damaged = Slurp(CataloguePath());
    ASSERT_NE(damaged, bytes);
    F().poznamkale->setText("zmena");
    F().ulozitb->click();
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_TRUE(ui.boxes.back().text.contains(QString::fromUtf8("je poškozený"))) << ui.boxes.back().text.toStdString();
    EXPECT_EQ(Slurp(CataloguePath()), damaged) << "nothing written to it";
}

// A damaged default catalogue with no backup, kept for reading: every book
// before and after the bad page is shown, and how many could not be read is said.
TEST_F(OpeningFaultTest, DamagedCatalogueKeptForReadingShowsEveryReadableBook) {
    std::vector<Book> books;
    for (int i = 0; i < 3000; ++i) books.push_back(Numbered(i));
    MakeCatalogue(books);
    ASSERT_NE(DamageLeafPage(CataloguePath(), 0.5), 0u);
    OpenWindow();
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("je poškozený"))) << ui.boxes[0].text.toStdString();
    const QString said = ui.boxes[1].text;
    EXPECT_EQ(ui.boxes[1].kind, Kind::Information);
    int shown = 0;
    for (const ShownAuthor& author : ShownTree(Tree())) shown += author.titles.size();
    EXPECT_GT(shown, 2800) << "the rows before and after the bad page are shown";
    EXPECT_LT(shown, 3000);
    EXPECT_TRUE(said.contains(QString::fromUtf8("se podařilo přečíst %1 knih").arg(shown))) << said.toStdString();
    EXPECT_TRUE(said.contains(QString::fromUtf8("Nepodařilo se přečíst %1 záznamů").arg(3000 - shown)))
        << said.toStdString();
    // Kept for reading: a change is refused.
    ClickItem(Tree(), TitleNode(*Tree().topLevelItem(0), 0));
    ui.boxes.clear();
    F().poznamkale->setText("zmena");
    F().ulozitb->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("jen pro čtení")));
}

// A change cut short on a disk that is read-only now leaves its journal: the
// catalogue cannot be read until the journal is played back, which needs a
// writable disk once; nothing is lost.
TEST_F(OpeningFaultTest, LeftoverJournalOnAReadOnlyDiskIsSaidAsSuch) {
    MakeCatalogue({BookOf("Hrabal", "Postriziny")});
    Tmpfs disk(startDir.file("ro"), "size=4m");
    if (!disk.mounted) GTEST_SKIP() << "needs root to mount a read-only file system";
    const std::string path = startDir.file("ro/kniha.db");
    CreateCatalogue(path);
    std::vector<Book> books;
    for (int i = 0; i < 300; ++i) books.push_back(Numbered(i));
    InsertBooks(path, books);
    const std::vector<Row> rows = ReadAllRows(path);
    // A writer killed in the middle of its change: its pages partly in the
    // file, the old ones in the journal beside it.
    const pid_t child = fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "pragma cache_size=2; begin; update svazkovna set poznamka='rozepsano'", nullptr, nullptr,
                     nullptr);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_GT(fs::file_size(path + "-journal"), 0u);
    ASSERT_TRUE(disk.MakeReadOnly());
    const std::string bytes = Slurp(path);

    OpenWindow();
    ui.boxes.clear();
    Choose(path);
    ASSERT_EQ(ui.boxes.size(), 2u) << ui.boxes.back().text.toStdString();
    EXPECT_EQ(ui.boxes[0].text, kConnectFailed);
    EXPECT_TRUE(ui.boxes[1].text.startsWith(QString::fromUtf8("Katalog má nedokončenou změnu z dřívějška")))
        << ui.boxes[1].text.toStdString();
    EXPECT_TRUE(ui.boxes[1].text.contains(QString::fromUtf8("nic se neztratilo")));
    EXPECT_EQ(Slurp(path), bytes);
    EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Hrabal"});

    // Writable again: the change is rolled back and every row is there.
    ASSERT_EQ(mount("tmpfs", disk.dir_.c_str(), "tmpfs", MS_REMOUNT, nullptr), 0);
    ExecSql(path, "select count(*) from svazkovna");  // a writer's first read plays the journal back
    EXPECT_EQ(ReadAllRows(path), rows);
}

}  // namespace
}  // namespace testsupport
