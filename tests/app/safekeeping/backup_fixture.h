#pragma once
// The window with its real safe keeping over a catalogue in a temporary
// folder, and the steps the backup tests take as a user would.
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
            books.push_back(
                BookOf("Autor " + std::to_string(i % 7), "Titul " + std::to_string(i) + std::string(150, 't')));
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
    void RestoreRow(int row, const std::function<void(Ui::RestoreDialog&)>& check = {}) {
        ui.QueueDialog([=](QDialog& d) {
            Ui::RestoreDialog& r = *static_cast<RestoreDialog&>(d).form();
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

}  // namespace testsupport
