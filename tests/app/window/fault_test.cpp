// Faults around the catalogue and the settings file: each must give a clear
// message, leave a program that carries on, and leave the catalogue sound
// with every earlier row (read back with the system's SQLite library).
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

#include "app/window/tree_node.h"
#include "app/window/edit_dialog.h"
#include "support/app_catalogue_rows.h"
#include "support/app_window_fixture.h"
#include "ui_edit_dialog.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Kind = ScriptedUi::BoxKind;
using Box = ScriptedUi::Box;

// The engine's failures as the user reads them; the engine's words stay behind "Podrobnosti".
const QString kBusy = QString::fromUtf8("Katalog právě používá jiný program. Zkuste to znovu za chvíli.");
const QString kFull = QString::fromUtf8("Na disku není volné místo. Uvolněte místo na disku a zkuste to znovu.");

void ExpectMoved(const Box& b) {
    EXPECT_TRUE(b.text.startsWith(QString::fromUtf8("Soubor katalogu mezitím nahradil nebo přesunul jiný program")))
        << b.text.toStdString();
    EXPECT_TRUE(b.text.contains(QString::fromUtf8("obnovila ze zálohy"))) << b.text.toStdString();
    EXPECT_EQ(b.details, "attempt to write a readonly database");
}

Row MakeRow(long long id, const std::string& autor, const std::string& titul) {
    Row r;
    r[0] = id;
    r[1] = autor;
    r[2] = titul;
    for (int c : {3, 4, 5, 6, 7, 8, 10, 11, 12, 13}) r[c] = std::string(c == 10 ? "pozn\xE1mka" : "");
    r[9] = 3LL;
    return r;
}

// A tmpfs mounted inside a temporary folder (root only), unmounted at the end.
struct TmpfsMount {
    explicit TmpfsMount(const std::string& dir, const std::string& options) : dir_(dir) {
        fs::create_directories(dir);
        if (geteuid() != 0) {
            why = "not root";
        } else if (mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            why = std::string("mount failed: ") + std::strerror(errno);
        } else {
            mounted = true;
        }
    }
    bool MakeReadOnly() { return mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
    ~TmpfsMount() {
        if (mounted) umount2(dir_.c_str(), MNT_DETACH);
    }
    std::string dir_;
    bool mounted = false;
    std::string why;
};

class FaultTest : public WindowFixture {
protected:
    Ui::TForm1& F() { return *window->form(); }
    std::vector<Row> Rows() {
        return {MakeRow(1, "Hrabal", "Ostre sledovane vlaky"), MakeRow(2, "Hrabal", "Postriziny"),
                MakeRow(3,
                        "\xC8"
                        "apek",
                        "Krakatit")};
    }

    void OpenOn(const std::vector<Row>& rows) {
        WriteCatalogue(CataloguePath(), rows);
        OpenWindow();
        window->con1.BusyTimeout = std::chrono::milliseconds(200);
    }
    QTreeWidgetItem* Title(int author, int title) { return TitleNode(*Tree().topLevelItem(author), title); }
    void ClickTitle(int author, int title) { ClickItem(Tree(), Title(author, title)); }

    // Adds a book through the dialog as a user does.
    void AddBook(const QString& autor, const QString& titul) {
        ui.QueueDialog([=](QDialog& d) {
            Ui::Teditf& e = *static_cast<Teditf&>(d).form();
            e.autorcb->setEditText(autor);
            e.titulle->setText(titul);
            QTest::mouseClick(e.ulozitb, Qt::LeftButton);
        });
        F().novyzaznam->trigger();
    }

    std::vector<QString> Messages(size_t from = 0) const {
        std::vector<QString> texts;
        for (size_t i = from; i < ui.boxes.size(); ++i) texts.push_back(ui.boxes[i].text);
        return texts;
    }
    std::vector<Box> Boxes(size_t from = 0) const {
        return {ui.boxes.begin() + static_cast<long>(from), ui.boxes.end()};
    }
    void ExpectIntact(const std::string& path, const std::vector<Row>& rows) {
        EXPECT_EQ(IntegrityCheck(path), "ok");
        const std::vector<Row> actual = ReadAllRows(path);
        EXPECT_EQ(actual.size(), rows.size());
        for (size_t i = 0; i < std::min(actual.size(), rows.size()); ++i)
            EXPECT_EQ(Describe(actual[i]), Describe(rows[i])) << "row " << i;
    }
};

// A second program holds the write lock during each kind of step; after a
// bounded wait each one reports the engine's busy message and changes nothing.
TEST_F(FaultTest, LockedCatalogueReportsBusyAndLosesNothing) {
    const std::vector<Row> rows = Rows();
    OpenOn(rows);
    const auto shownTree = ShownTree(Tree());
    struct Case {
        const char* what;
        std::function<void()> act;
    } cases[] = {
        {"click", [&] { ClickTitle(1, 0); }},
        {"save",
         [&] {
             F().poznamkale->setText("zmena");
             F().ulozitb->click();
         }},
        {"delete", [&] { F().smazatb->click(); }},
        {"insert", [&] { AddBook("Nový", "Titul"); }},
        {"switch",
         [&] {
             ui.QueueFile(QString::fromStdString(CataloguePath()));
             F().otevrit->trigger();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A record is shown before each step, so a save and a delete have a row to act on.
        ClickTitle(1, 0);
        const size_t before = ui.boxes.size();
        const auto start = std::chrono::steady_clock::now();
        {
            WriteLock lock(CataloguePath());
            c.act();
        }
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_LT(waited, std::chrono::seconds(3)) << "the wait is bounded";
        const auto texts = Messages(before);
        ASSERT_FALSE(texts.empty());
        for (const Box& b : Boxes(before)) {
            if (b.text == "pripojeni k db selhalo") continue;
            EXPECT_EQ(b.text, kBusy);
            EXPECT_EQ(b.details, "database is locked");
        }
        ExpectIntact(CataloguePath(), rows);
        // The program carries on: the next step works normally.
        ui.boxes.clear();
        window->tv1update();
        EXPECT_EQ(ShownTree(Tree()), shownTree);
    }
    // With the lock gone the same steps go through.
    ClickTitle(1, 0);
    F().poznamkale->setText("zmena");
    F().ulozitb->click();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ReadAllRows(CataloguePath())[0][10], Value(std::string("zmena")));
}

// Root writes through any permission bits, so the catalogue lies on a
// read-only mount: every change is refused with the engine's message.
TEST_F(FaultTest, ReadOnlyCatalogueRefusesChangesWithAMessage) {
    TmpfsMount ro(startDir.file("ro"), "size=1m");
    if (!ro.mounted) GTEST_SKIP() << "no read-only file system to test on: " << ro.why;
    const std::string path = startDir.file("ro/kniha.db");
    const std::vector<Row> rows = Rows();
    WriteCatalogue(CataloguePath(), {});
    WriteCatalogue(path, rows);
    ASSERT_TRUE(ro.MakeReadOnly()) << std::strerror(errno);
    OpenWindow();
    ui.QueueFile(QString::fromStdString(path));
    F().otevrit->trigger();
    ASSERT_TRUE(ui.boxes.empty()) << "reading a read-only catalogue works";
    ASSERT_EQ(Tree().topLevelItemCount(), 2);

    ClickTitle(1, 0);
    F().titulle->setText("jiny");
    F().ulozitb->click();
    AddBook("Novak", "Nova");
    ClickTitle(1, 0);
    F().smazatb->click();
    const auto texts = Messages();
    ASSERT_EQ(texts.size(), 3u);
    for (const Box& b : Boxes()) {
        EXPECT_EQ(b.text, QString::fromUtf8("Soubor katalogu nebo disk je jen pro čtení."));
        EXPECT_EQ(b.details, "attempt to write a readonly database");
    }
    ExpectIntact(path, rows);
    EXPECT_EQ(F().titulle->text(), "Ostre sledovane vlaky") << "a failed delete leaves the panel filled";
}

// The file removed or replaced under the open connection: a change must not
// vanish into the unlinked file unannounced, and a replacement is not damaged.
TEST_F(FaultTest, CatalogueDeletedOrReplacedWhileOpen) {
    const std::vector<Row> rows = Rows();
    OpenOn(rows);
    ClickTitle(1, 0);
    const std::string moved = startDir.file("stara.db");
    fs::rename(CataloguePath(), moved);
    std::vector<Row> replacement = {MakeRow(9, "Jiny", "Soubor")};
    WriteCatalogue(CataloguePath(), replacement);

    F().poznamkale->setText("ztraceno?");
    F().ulozitb->click();
    AddBook("Novak", "Nova");
    auto texts = Messages();
    ASSERT_EQ(texts.size(), 2u);
    for (const Box& b : Boxes()) ExpectMoved(b);
    ExpectIntact(CataloguePath(), replacement);
    ExpectIntact(moved, rows);

    // Deleted outright: the same, and reopening gets the file that is there.
    ui.boxes.clear();
    fs::remove(moved);
    ui.QueueFile(QString::fromStdString(CataloguePath()));
    F().otevrit->trigger();
    ASSERT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Jiny"});
    fs::remove(CataloguePath());
    ClickItem(Tree(), TitleNode(*Tree().topLevelItem(0), 0));
    // An edit, so the update really changes the page (an identical one writes nothing).
    F().poznamkale->setText("do smazaneho");
    F().ulozitb->click();
    texts = Messages();
    ASSERT_EQ(texts.size(), 1u);
    ExpectMoved(ui.boxes[0]);
    EXPECT_FALSE(fs::exists(CataloguePath())) << "nothing is written anew under the old name";
}

// Damaged files opened at start (as the remembered catalogue) and by a switch:
// a message naming the damage (the connection message for a file that is no
// database at all), a fallback to the default, and no file changed.
TEST_F(FaultTest, TruncatedAndCorruptedFilesAreReportedAndLeftAlone) {
    const std::vector<Row> rows = Rows();
    std::vector<Row> many;
    for (int i = 0; i < 60; ++i) many.push_back(MakeRow(i + 1, "A" + std::to_string(i), std::string(200, 't')));
    const std::string good = startDir.file("dobry.db");
    WriteCatalogue(good, many);
    const std::string bytes = ReadFile(good);
    ASSERT_GT(bytes.size(), 4096u);

    // Page headers and cell pointers of the table's pages overwritten.
    std::string corrupted = bytes;
    const size_t page = (static_cast<unsigned char>(bytes[16]) << 8) | static_cast<unsigned char>(bytes[17]);
    for (size_t p = page; p + 64 < bytes.size(); p += page)
        for (size_t i = p; i < p + 64; ++i) corrupted[i] = static_cast<char>(0xA5);
    const struct {
        const char* name;
        std::string content;
        const char* message;
    } damaged[] = {
        {"utrzeny.db", bytes.substr(0, 1500), "Katalog „utrzeny.db“ je poškozený (soubor je zkrácený"},
        {"poskozeny.db", corrupted, "Katalog „poskozeny.db“ je poškozený (kontrola celistvosti"},
        {"hlavicka.db", std::string("SQLite format 3") + std::string(100, '\x7F'), "pripojeni k db selhalo"},
    };
    WriteCatalogue(CataloguePath(), rows);
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.name);
        const std::string path = startDir.file(d.name);
        WriteFile(path, d.content);
        // At start, as the catalogue remembered from last time.
        WriteFile(exeDir.file("nastav.ini"), "[nastaveni]\r\ndatabaze=" + path + "\r\n");
        ui.boxes.clear();
        OpenWindow();
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_TRUE(ui.boxes[0].text.startsWith(QString::fromUtf8(d.message))) << ui.boxes[0].text.toStdString();
        EXPECT_EQ(ShownAuthors(Tree()), (QStringList{QString::fromUtf8("Čapek"), "Hrabal"}))
            << "the default catalogue is shown instead";
        // By a switch.
        ui.boxes.clear();
        ui.QueueFile(QString::fromStdString(path));
        F().otevrit->trigger();
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_TRUE(ui.boxes[0].text.startsWith(QString::fromUtf8(d.message))) << ui.boxes[0].text.toStdString();
        EXPECT_EQ(window->con1.Database(), "svazkovna.db");
        EXPECT_EQ(Tree().topLevelItemCount(), 2);
        EXPECT_EQ(ReadFile(path), d.content) << "the damaged file is not written to";
        ExpectIntact(CataloguePath(), rows);
        window->close();
        window.reset();
        editf = nullptr;
        Form1 = nullptr;
    }
}

// A full disk: inserts and saves fail with the engine's message, the
// catalogue stays sound with every row stored before, and freeing space lets
// the program go on.
TEST_F(FaultTest, FullDiskRefusesChangesAndKeepsTheCatalogue) {
    TmpfsMount small(startDir.file("maly"), "size=64k");
    if (!small.mounted) GTEST_SKIP() << "no small file system to fill: " << small.why;
    const std::string path = startDir.file("maly/plny.db");
    std::vector<Row> rows = Rows();
    WriteCatalogue(CataloguePath(), {});
    WriteCatalogue(path, rows);
    OpenWindow();
    ui.QueueFile(QString::fromStdString(path));
    F().otevrit->trigger();
    ASSERT_TRUE(ui.boxes.empty());

    // Fill what is left with a filler file.
    const std::string filler = startDir.file("maly/vypln");
    {
        std::ofstream out(filler, std::ios::binary);
        const std::string block(512, 'f');
        while (out.write(block.data(), block.size())) out.flush();
    }
    // The first change's backup cannot be written either; the user goes on without it, once.
    ui.QueueQuestion(true);
    const QString longTitle = QString(250, u't');
    int failedInserts = 0;
    for (int i = 0; i < 20 && failedInserts == 0; ++i) {
        const size_t before = ui.boxes.size();
        AddBook("Plny", longTitle + QString::number(i));
        if (i == 0 && ui.boxes.size() > before && ui.boxes[before].kind == Kind::Question) {
            EXPECT_EQ(ui.boxes[before].details, "database or disk is full");
            ui.boxes.erase(ui.boxes.begin() + static_cast<long>(before));
        }
        if (ui.boxes.size() > before) {
            EXPECT_EQ(ui.boxes.back().text, kFull);
            EXPECT_EQ(ui.boxes.back().details, "database or disk is full");
            ++failedInserts;
        } else {
            rows.push_back(ReadAllRows(path).back());
        }
    }
    ASSERT_EQ(failedInserts, 1) << "the disk never filled up";
    ExpectIntact(path, rows);

    ClickTitle(ShownAuthors(Tree()).indexOf("Hrabal"), 0);
    F().poznamkale->setText(QString(255, u'p'));
    F().zanrcb->setEditText(QString(255, u'z'));
    const size_t before = ui.boxes.size();
    F().ulozitb->click();
    if (ui.boxes.size() > before)
        EXPECT_EQ(ui.boxes.back().text, kFull);
    else
        rows = ReadAllRows(path);  // the page had room: the save is stored whole
    ExpectIntact(path, rows);

    // Space again: the program carries on.
    fs::remove(filler);
    ui.boxes.clear();
    AddBook("Po", "uvolneni");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ReadAllRows(path).size(), rows.size() + 1);
    EXPECT_EQ(IntegrityCheck(path), "ok");
    Reconnect(CataloguePath());  // let go of the file before the unmount
}

// The settings cannot be written at close: "Unable to write to ..." and the
// window closes all the same.
TEST_F(FaultTest, UnwritableSettingsReportAndStillClose) {
    const struct {
        const char* what;
        bool removeExeDir;
    } cases[] = {{"nastav.ini is a folder", false}, {"the executable's folder is gone", true}};
    WriteCatalogue(CataloguePath(), Rows());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OpenWindow();
        const std::string ini = exeDir.file("nastav.ini");
        if (c.removeExeDir)
            fs::remove_all(exeDir.path());
        else
            fs::create_directory(ini);
        ui.boxes.clear();
        window->close();
        EXPECT_FALSE(window->isVisible());
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].kind, Kind::Error);
        EXPECT_EQ(
            ui.boxes[0].text,
            QString::fromUtf8("Nastavení se nepodařilo uložit do souboru „%1“.").arg(QString::fromStdString(ini)));
        EXPECT_EQ(ui.boxes[0].details, QString::fromStdString("Unable to write to " + ini));
        window.reset();
        editf = nullptr;
        Form1 = nullptr;
        ExpectIntact(CataloguePath(), Rows());
        if (c.removeExeDir)
            fs::create_directories(exeDir.path());
        else
            fs::remove(ini);
    }
}

}  // namespace
}  // namespace testsupport
