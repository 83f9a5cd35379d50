#pragma once
// The main window in a test: its own executable and start directories, a
// catalogue made with the system's SQLite library, scripted dialogs and a
// recording browser; helpers to read the tree and click it like a user.
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/window/main_window.h"
#include "support/app_fake_browser.h"
#include "support/app_scripted_ui.h"
#include "support/temp_dir.h"

class QTreeWidget;
class QTreeWidgetItem;

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os) { *os << '[' << list.join(", ").toStdString() << ']'; }

namespace testsupport {

// One row of the table; texts are the stored bytes, no value stands for NULL.
struct Book {
    std::optional<std::string> autor;
    std::optional<std::string> titul;
    std::string zanr;
    std::string vydal;
    std::string serie;
    std::string umisteni;
    std::string zapujcenokomu;
    std::string zapujcenokdy;
    int hodnoceni = 3;
    std::string poznamka;
    std::optional<long long> id;  // none: the row's position, counted from 1
};

// A row with only an author and a title; the other texts empty, rating 3.
Book BookOf(std::optional<std::string> autor, std::optional<std::string> titul);

// Creates `path` with the catalogue table exactly as the program's template holds it.
void CreateCatalogue(const std::string& path);
// Appends rows in the given order (the order the table then returns them in).
void InsertBooks(const std::string& path, const std::vector<Book>& books);
// Runs statements on the file directly; throws with the engine's message on failure.
void ExecSql(const std::string& path, const std::string& sql);

// An author node and its titles as shown, with the node's expansion.
struct ShownAuthor {
    QString author;
    QStringList titles;
    bool expanded = false;
    bool operator==(const ShownAuthor&) const = default;
};
void PrintTo(const ShownAuthor& node, std::ostream* os);
std::vector<ShownAuthor> ShownTree(const QTreeWidget& tree);
QStringList ShownAuthors(const QTreeWidget& tree);
// The selected node's text, "<none>" when nothing is selected; a title is
// written "author/title".
QString SelectedPath(const QTreeWidget& tree);
// Presses and releases the left button over the item, as a user's click does.
void ClickItem(QTreeWidget& tree, QTreeWidgetItem* item);

// A window on a catalogue in the start directory ("svazkovna.db"). The start
// directory is also the process's current directory while the window lives.
class WindowFixture : public ::testing::Test {
protected:
    WindowFixture();
    ~WindowFixture() override;

    std::string CataloguePath() const { return startDir.file("svazkovna.db"); }
    // Writes the catalogue the window will open, with these rows.
    void MakeCatalogue(const std::vector<Book>& books);
    // Creates the main window (its start-up runs) and the new-record dialog, and shows it.
    TForm1& OpenWindow();
    // Points the open window's connection at `path` and rebuilds the tree; failures throw.
    void Reconnect(const std::string& path);

    QTreeWidget& Tree() const;
    // A command of the "databáze" menu by its objectName (the capabilities add theirs).
    QAction& Command(const char* id) const;

    TempDir exeDir;
    TempDir startDir;
    ScriptedUi ui;
    FakeBrowser* browser = nullptr;  // owned by the window
    bool realBrowser = false;        // set before OpenWindow: the WebEngine view instead
    std::unique_ptr<TForm1> window;

private:
    QString oldCurrent_;
};

}  // namespace testsupport
