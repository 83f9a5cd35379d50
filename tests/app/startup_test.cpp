// Start-up, the settings file and switching catalogues, driven through the
// window with the executable's folder and the start folder kept apart.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "app/codepage.h"
#include "app/error_box.h"
#include "app/profile_file.h"
#include "storage/template_db.h"
#include "support/app_window_fixture.h"
#include "ui_main_window.h"

// Boxes compare and print by what the user sees.
bool operator==(const ScriptedUi::Box& a, const ScriptedUi::Box& b) {
    return a.kind == b.kind && a.caption == b.caption && a.text == b.text;
}
void PrintTo(const ScriptedUi::Box& b, std::ostream* os) {
    *os << static_cast<int>(b.kind) << " [" << b.caption.toStdString() << "] "
        << b.text.toStdString();
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
        return f.autorcb->count() == 0 && f.autorcb->currentText().isEmpty() &&
               f.titulle->text().isEmpty() && f.poznamkale->text().isEmpty();
    }
    void Switch(std::optional<QString> answer) {
        ui.QueueFile(std::move(answer));
        window->form()->otevrit->trigger();
    }
    std::vector<Box> PlainFailure() const {
        return {Box{BoxKind::Plain, ProgramTitle(), kConnectFailed}};
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
        EXPECT_EQ(ShownAuthors(Tree()),
                  QStringList{remembered == "vedle.db" ? "Vedle" : "Jinde"});
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
        EXPECT_EQ(ui.boxes, PlainFailure());
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
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0], PlainFailure()[0]);
    EXPECT_EQ(ui.boxes[1].kind, BoxKind::Error);  // the rebuild on nothing
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
        EXPECT_EQ(ui.boxes, PlainFailure());
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
    const std::string ini = ToCodePage(QString::fromUtf8(
        "; nastavení programu\r\n[jine]\r\nklíč=hodnota\r\n\r\n[nastaveni]\r\n"
        "webbrowserskript=http://knihy.example/hledej?slovo=čeština&\r\n"
        "; naposledy otevřená\r\ndatabaze=svazkovna.db\r\n[další]\r\na=b\r\n"));
    WriteIni(ini);
    OpenWindow();
    EXPECT_EQ(window->form()->wb1skriptle->text(),
              QString::fromUtf8("http://knihy.example/hledej?slovo=čeština&"));
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
    EXPECT_EQ(ui.boxes[0], (Box{BoxKind::Error, ProgramTitle(), "Unable to write to " + path + "."}));
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

}  // namespace
