// Start-up, the settings file and switching catalogues, driven through the
// window with the executable's folder and the start folder kept apart.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTreeWidget>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <unistd.h>
#include <optional>
#include <string>
#include <vector>

#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/core/profile_file.h"
#include "catalogue/template_db.h"
#include "support/app_window_fixture.h"
#include "ui_main_window.h"

// Boxes compare and print by what the user sees.
bool operator==(const ScriptedUi::Box& a, const ScriptedUi::Box& b) {
    return a.kind == b.kind && a.caption == b.caption && a.text == b.text;
}
void PrintTo(const ScriptedUi::Box& b, std::ostream* os) {
    *os << static_cast<int>(b.kind) << " [" << b.caption.toStdString() << "] " << b.text.toStdString();
}

namespace {

namespace fs = std::filesystem;
using testsupport::Book;
using testsupport::CreateCatalogue;
using testsupport::InsertBooks;
using testsupport::ReadFile;
using testsupport::ShownAuthors;
using testsupport::TempDir;
using testsupport::WriteFile;
using Box = ScriptedUi::Box;
using BoxKind = ScriptedUi::BoxKind;

const QString kConnectFailed = "pripojeni k db selhalo";

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

// A catalogue file at `path` holding one book by `author`.
void MakeBookFile(const std::string& path, const std::string& author) {
    CreateCatalogue(path);
    InsertBooks(path, {Book{author, "Titul", {}, {}, {}, {}, {}, {}, 3, {}, {}}});
}

// While it lives, files are reached as a user who may write `file` but cannot
// add files to its folder. As root this thread takes an unprivileged user's
// file identity (the permission checks then apply to it); otherwise the
// folder's write bit is taken away. `why` says what could not be arranged.
struct NoFolderWriteAccess {
    static constexpr uid_t kNobody = 65534;
    NoFolderWriteAccess(const fs::path& folder, const fs::path& file) : folder_(folder) {
        if (geteuid() == 0) {
            if (chown(file.c_str(), kNobody, kNobody) != 0 || chmod(folder.c_str(), 0755) != 0) {
                why = "cannot hand the file to an unprivileged user";
                return;
            }
            setfsgid(kNobody);
            setfsuid(kNobody);
            switched_ = true;
        } else {
            fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
        }
        // The arrangement must really refuse a new file in the folder.
        const fs::path probe = folder / "zkouska";
        const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            close(fd);
            unlink(probe.c_str());
            why = "the folder stays writable for this user";
        }
    }
    ~NoFolderWriteAccess() {
        if (switched_) {
            setfsuid(0);
            setfsgid(0);
        } else {
            fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
        }
    }
    fs::path folder_;
    bool switched_ = false;
    std::string why;
};

class StartupTest : public testsupport::WindowFixture {
protected:
    fs::path IniPath() const { return exeDir.path() / "nastav.ini"; }
    void WriteIni(const std::string& bytes) { WriteFile(IniPath(), bytes); }
    std::string IniValue(const std::string& key) const {
        return profile::Lookup(ReadFile(IniPath()), "nastaveni", key, "<absent>");
    }
    // Closes the window the way its close box does.
    void CloseWindow() {
        window->close();
        ASSERT_FALSE(window->isVisible()) << "the window refused to close";
    }
    // Starts the program again on the same folders.
    void Restart() {
        window.reset();
        ui.boxes.clear();
        OpenWindow();
    }
    void FillPanel() {
        window->form()->autorcb->addItem("Hasek");
        window->form()->autorcb->setEditText("Hasek");
        window->form()->titulle->setText("Svejk");
        window->form()->poznamkale->setText("poznamka");
    }
    bool PanelEmpty() const {
        const auto& f = *window->form();
        return f.autorcb->count() == 0 && f.autorcb->currentText().isEmpty() && f.titulle->text().isEmpty() &&
               f.poznamkale->text().isEmpty();
    }
    void Switch(std::optional<QString> answer) {
        ui.QueueFile(std::move(answer));
        window->form()->otevrit->trigger();
    }
    std::vector<Box> PlainFailure() const { return {Box{BoxKind::Plain, ProgramTitle(), kConnectFailed}}; }
    // The fixed connection message, then one Czech box saying why.
    void ExpectFailureSaidWhy() const {
        ASSERT_EQ(ui.boxes.size(), 2u);
        EXPECT_EQ(ui.boxes[0], PlainFailure()[0]);
        EXPECT_EQ(ui.boxes[1].kind, BoxKind::Error);
        EXPECT_TRUE(ui.boxes[1].text.startsWith(QString::fromUtf8("Soubor"))) << ui.boxes[1].text.toStdString();
    }
};

TEST_F(StartupTest, FirstStartWritesTheTemplateAndAtCloseTheSettingsBesideTheExecutable) {
    OpenWindow();
    EXPECT_EQ(ReadFile(CataloguePath()), TemplateImage());
    EXPECT_EQ(Tree().topLevelItemCount(), 0);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(window->con1.Database(), "svazkovna.db");
    EXPECT_TRUE(window->form()->wb1skriptle->text().isEmpty());

    CloseWindow();
    EXPECT_EQ(IniValue("webbrowserskript"), "");
    EXPECT_EQ(IniValue("databaze"), "svazkovna.db");
    EXPECT_FALSE(fs::exists(startDir.path() / "nastav.ini"));
    EXPECT_FALSE(fs::exists(exeDir.path() / "svazkovna.db"));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(StartupTest, AMissingRememberedCatalogueLeavesTheDefaultOneUntouched) {
    MakeCatalogue({Book{"Capek", "Valka s mloky", {}, {}, {}, {}, {}, {}, 3, {}, {}}});
    const std::string before = ReadFile(CataloguePath());
    WriteIni("[nastaveni]\r\ndatabaze=" + (startDir.path() / "zmizela.db").string() + "\r\n");

    OpenWindow();
    EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Capek"});
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ReadFile(CataloguePath()), before);
    EXPECT_FALSE(fs::exists(startDir.path() / "zmizela.db"));
    CloseWindow();
    EXPECT_EQ(IniValue("databaze"), "svazkovna.db");
}

TEST_F(StartupTest, TheRememberedCatalogueIsReopened) {
    MakeCatalogue({Book{"Vychozi", "Kniha", {}, {}, {}, {}, {}, {}, 3, {}, {}}});
    TempDir elsewhere;
    MakeBookFile(elsewhere.file("jina.db"), "Jinde");
    MakeBookFile(startDir.file("vedle.db"), "Vedle");
    // A full path, and a relative name meaning the start folder.
    for (const std::string& remembered : {elsewhere.file("jina.db"), std::string("vedle.db")}) {
        SCOPED_TRACE(remembered);
        WriteIni("[nastaveni]\r\ndatabaze=" + remembered + "\r\n");
        Restart();
        EXPECT_EQ(ShownAuthors(Tree()), QStringList{remembered == "vedle.db" ? "Vedle" : "Jinde"});
        EXPECT_TRUE(ui.boxes.empty());
        CloseWindow();
        EXPECT_EQ(IniValue("databaze"), remembered);
    }
}

TEST_F(StartupTest, ARememberedFileThatIsNoCatalogueFallsBackToTheDefault) {
    const std::string text = startDir.file("poznamky.txt");
    WriteFile(text, "toto neni databaze\n");
    const std::string noTable = startDir.file("prazdna.db");
    testsupport::ExecSql(noTable, "create table jina(x)");
    const std::string noTableBytes = ReadFile(noTable);

    for (const std::string& remembered : {text, noTable}) {
        SCOPED_TRACE(remembered);
        WriteIni("[nastaveni]\r\ndatabaze=" + remembered + "\r\n");
        Restart();
        ExpectFailureSaidWhy();
        EXPECT_EQ(window->con1.Database(), "svazkovna.db");
        EXPECT_EQ(ReadFile(CataloguePath()), TemplateImage());
        EXPECT_EQ(Tree().topLevelItemCount(), 0);
    }
    EXPECT_EQ(ReadFile(text), "toto neni databaze\n");
    EXPECT_EQ(ReadFile(noTable), noTableBytes);
}

TEST_F(StartupTest, ACatalogueThatCannotBeOpenedStillShowsTheWindow) {
    // A folder where the catalogue should be: nothing can be written or opened.
    fs::create_directory(CataloguePath());
    OpenWindow();
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0], PlainFailure()[0]);
    EXPECT_EQ(ui.boxes[1].kind, BoxKind::Error);  // why, in Czech
    EXPECT_EQ(ui.boxes[2].kind, BoxKind::Error);  // the rebuild on nothing
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(fs::is_directory(CataloguePath()));
}

TEST_F(StartupTest, SwitchingToAFileThatIsNoCatalogueFallsBackAndEmptiesThePanel) {
    MakeCatalogue({Book{"Vychozi", "Kniha", {}, {}, {}, {}, {}, {}, 3, {}, {}}});
    OpenWindow();
    TempDir elsewhere;
    const std::string text = elsewhere.file("seznam.txt");
    WriteFile(text, "Hasek;Svejk\n");
    const std::string noTable = elsewhere.file("jina.sqlite");
    testsupport::ExecSql(noTable, "create table knihy(x)");

    for (const std::string& chosen : {text, noTable}) {
        SCOPED_TRACE(chosen);
        ui.boxes.clear();
        FillPanel();
        // The dialog may leave the current folder anywhere; the fallback must
        // still find the catalogue the program started with.
        QDir::setCurrent(Q(elsewhere.path()));
        Switch(Q(chosen));
        ExpectFailureSaidWhy();
        EXPECT_EQ(window->con1.Database(), "svazkovna.db");
        EXPECT_TRUE(PanelEmpty());
        EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Vychozi"});
        EXPECT_FALSE(fs::exists(elsewhere.path() / "svazkovna.db"));
    }
    EXPECT_EQ(ReadFile(text), "Hasek;Svejk\n");
    CloseWindow();
    EXPECT_EQ(IniValue("databaze"), "svazkovna.db");
}

TEST_F(StartupTest, SwitchingToANameThatNamesNoFileLeavesNoFileBehind) {
    MakeCatalogue({Book{"Vychozi", "Kniha", {}, {}, {}, {}, {}, {}, 3, {}, {}}});
    OpenWindow();
    TempDir elsewhere;
    const fs::path typed = elsewhere.path() / "nova.db";
    Switch(Q(typed.string()));
    EXPECT_EQ(ui.boxes, PlainFailure());
    EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Vychozi"});
    // The engine created the file to open it; the failed switch removes it again.
    EXPECT_FALSE(fs::exists(typed));
}

TEST_F(StartupTest, CancellingTheFileDialogTouchesNothing) {
    MakeCatalogue({Book{"Vychozi", "Kniha", {}, {}, {}, {}, {}, {}, 3, {}, {}}});
    OpenWindow();
    FillPanel();
    QTreeWidgetItem* const shown = Tree().topLevelItem(0);
    // A change the tree would show if it were rebuilt.
    InsertBooks(CataloguePath(), {Book{"Novy", "Titul", {}, {}, {}, {}, {}, {}, 3, {}, 7}});

    Switch(std::nullopt);
    EXPECT_EQ(ui.fileDialogDirs, std::vector<QString>{"."});
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(Tree().topLevelItem(0), shown);
    EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Vychozi"});
    EXPECT_EQ(window->form()->autorcb->currentText(), "Hasek");
    EXPECT_EQ(window->form()->titulle->text(), "Svejk");
    EXPECT_EQ(window->con1.Database(), "svazkovna.db");
}

TEST_F(StartupTest, ASwitchedCatalogueIsRememberedAndReopenedEvenInACzechFolder) {
    MakeCatalogue({Book{"Vychozi", "Kniha", {}, {}, {}, {}, {}, {}, 3, {}, {}}});
    TempDir elsewhere;
    const QString folder = Q(elsewhere.path()) + QString::fromUtf8("/Čtení");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString chosen = folder + "/knihy.db";
    const std::string chosenBytes = QFile::encodeName(chosen).toStdString();
    MakeBookFile(chosenBytes, ToCodePage(QString::fromUtf8("Čapek")));

    OpenWindow();
    Switch(chosen);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ShownAuthors(Tree()), QStringList{QString::fromUtf8("Čapek")});
    CloseWindow();
    // The settings file names the very file, in the bytes the file system uses.
    EXPECT_EQ(IniValue("databaze"), chosenBytes);

    Restart();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ShownAuthors(Tree()), QStringList{QString::fromUtf8("Čapek")});
    EXPECT_EQ(window->con1.Database(), chosenBytes);
}

TEST_F(StartupTest, ClosingKeepsEverythingElseInTheSettingsFileByteForByte) {
    // Written as the platform's profile functions would: in the code page.
    const std::string ini =
        ToCodePage(QString::fromUtf8("; nastavení programu\r\n[jine]\r\nklíč=hodnota\r\n\r\n[nastaveni]\r\n"
                                     "webbrowserskript=http://knihy.example/hledej?slovo=čeština&\r\n"
                                     "; naposledy otevřená\r\ndatabaze=svazkovna.db\r\n[další]\r\na=b\r\n"));
    WriteIni(ini);
    OpenWindow();
    EXPECT_EQ(window->form()->wb1skriptle->text(), QString::fromUtf8("http://knihy.example/hledej?slovo=čeština&"));
    CloseWindow();
    EXPECT_EQ(ReadFile(IniPath()), ini);
}

TEST_F(StartupTest, AnUnwritableSettingsFileIsReportedAndTheWindowStillCloses) {
    fs::create_directory(IniPath());
    OpenWindow();
    EXPECT_TRUE(ui.boxes.empty());
    CloseWindow();
    const QString path = QFileInfo(Q(IniPath())).absoluteFilePath();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0], (Box{BoxKind::Error, ProgramTitle(),
                                QString::fromUtf8("Nastavení se nepodařilo uložit do souboru „%1“.").arg(path),
                                "Unable to write to " + path}));
}

TEST_F(StartupTest, APrefixTheCodePageCannotHoldIsReportedAndTheRestIsSaved) {
    WriteIni("[nastaveni]\r\nwebbrowserskript=http://stary/?q=\r\n");
    OpenWindow();
    window->form()->wb1skriptle->setText(QString::fromUtf8("http://nový/?q=☃"));
    CloseWindow();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, BoxKind::Error);
    EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("☃"))) << ui.boxes[0].text.toStdString();
    // The old prefix stays rather than a garbled one; the catalogue is still remembered.
    EXPECT_EQ(IniValue("webbrowserskript"), "http://stary/?q=");
    EXPECT_EQ(IniValue("databaze"), "svazkovna.db");
}

// The folder beside the executable takes no new file but nastav.ini is
// writable: closing writes the file in place.
TEST_F(StartupTest, SettingsAreWrittenInPlaceWhenOnlyTheFileIsWritable) {
    WriteIni("[nastaveni]\r\nwebbrowserskript=http://stary/?q=\r\n");
    OpenWindow();
    window->form()->wb1skriptle->setText("http://novy/?q=");
    {
        NoFolderWriteAccess user(exeDir.path(), IniPath());
        if (!user.why.empty()) GTEST_SKIP() << user.why;
        CloseWindow();
    }
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text.toStdString();
    EXPECT_EQ(IniValue("webbrowserskript"), "http://novy/?q=");
    EXPECT_EQ(IniValue("databaze"), "svazkovna.db");
}

TEST_F(StartupTest, APrefixWithALineBreakIsRefusedAndTheCatalogueStillRemembered) {
    WriteIni("[nastaveni]\r\nwebbrowserskript=http://stary/?q=\r\n");
    OpenWindow();
    window->form()->wb1skriptle->setText("http://novy/\n?q=");
    CloseWindow();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(IniValue("webbrowserskript"), "http://stary/?q=");
    EXPECT_EQ(IniValue("databaze"), "svazkovna.db");
}

// Hand-edited values read as the platform's profile reader reads them, and a
// prefix of blanks survives a restart.
TEST_F(StartupTest, HandEditedValuesAreTrimmedAndUnquoted) {
    MakeCatalogue({});
    MakeBookFile(startDir.file("vedle.db"), "Vedle");
    WriteIni(
        "[nastaveni]\r\n  webbrowserskript = \"http://knihy/?q=\"  \r\n"
        "databaze =  vedle.db \r\n");
    OpenWindow();
    EXPECT_EQ(window->form()->wb1skriptle->text(), "http://knihy/?q=");
    EXPECT_EQ(ShownAuthors(Tree()), QStringList{"Vedle"});

    window->form()->wb1skriptle->setText("  ");
    CloseWindow();
    Restart();
    EXPECT_EQ(window->form()->wb1skriptle->text(), "  ");
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
