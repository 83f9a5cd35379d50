#include "app/window/tree_node.h"
#include "support/app_window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <QTreeWidget>
#include <sqlite3.h>
#include <stdexcept>

#include "app/window/edit_dialog.h"
#include "ui_main_window.h"

namespace testsupport {

namespace {

struct Db {
    explicit Db(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) Fail();
        // The window's own readers may be at work on their threads.
        sqlite3_busy_timeout(db, 2000);
    }
    ~Db() { sqlite3_close(db); }
    [[noreturn]] void Fail() const { throw std::runtime_error(sqlite3_errmsg(db)); }
    void Exec(const std::string& sql) const {
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
    }
    sqlite3* db = nullptr;
};

void BindText(const Db& d, sqlite3_stmt* st, int column, const std::optional<std::string>& text) {
    const int rc = text ? sqlite3_bind_text(st, column, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT)
                        : sqlite3_bind_null(st, column);
    if (rc != SQLITE_OK) d.Fail();
}

}  // namespace

Book BookOf(std::optional<std::string> autor, std::optional<std::string> titul) {
    Book b;
    b.autor = std::move(autor);
    b.titul = std::move(titul);
    return b;
}

void CreateCatalogue(const std::string& path) {
    Db(path).Exec(
        "CREATE TABLE svazkovna(id integer,\r\nautor text,\r\ntitul text,\r\nzanr text,\r\n"
        "vydal text,\r\nserie text,\r\numisteni text,\r\nzapujcenokomu text,\r\n"
        "zapujcenokdy text,\r\nhodnoceni integer,\r\npoznamka text,\r\nudaj1 text,\r\n"
        "udaj2 text,\r\nudaj3 text)");
}

void InsertBooks(const std::string& path, const std::vector<Book>& books) {
    Db d(path);
    d.Exec("begin");
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(d.db, "insert into svazkovna values(?,?,?,?,?,?,?,?,?,?,?,'','','')", -1, &st, nullptr) !=
        SQLITE_OK)
        d.Fail();
    long long position = 0;
    for (const Book& b : books) {
        ++position;
        sqlite3_bind_int64(st, 1, b.id.value_or(position));
        BindText(d, st, 2, b.autor);
        BindText(d, st, 3, b.titul);
        BindText(d, st, 4, b.zanr);
        BindText(d, st, 5, b.vydal);
        BindText(d, st, 6, b.serie);
        BindText(d, st, 7, b.umisteni);
        BindText(d, st, 8, b.zapujcenokomu);
        BindText(d, st, 9, b.zapujcenokdy);
        sqlite3_bind_int(st, 10, b.hodnoceni);
        BindText(d, st, 11, b.poznamka);
        if (sqlite3_step(st) != SQLITE_DONE) {
            sqlite3_finalize(st);
            d.Fail();
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    d.Exec("commit");
}

void ExecSql(const std::string& path, const std::string& sql) { Db(path).Exec(sql); }

void PrintTo(const ShownAuthor& node, std::ostream* os) {
    *os << '"' << node.author.toStdString() << "\" [" << node.titles.join(", ").toStdString() << ']'
        << (node.expanded ? " expanded" : "");
}

std::vector<ShownAuthor> ShownTree(const QTreeWidget& tree) {
    std::vector<ShownAuthor> shown;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        const auto& a = static_cast<const TreeNode&>(*tree.topLevelItem(i));
        ShownAuthor s{a.text(0), {}, a.isExpanded()};
        for (int c = 0; c < a.TitleCount(); ++c) s.titles << a.TitleText(c);
        shown.push_back(s);
    }
    return shown;
}

QStringList ShownAuthors(const QTreeWidget& tree) {
    QStringList authors;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) authors << tree.topLevelItem(i)->text(0);
    return authors;
}

QString SelectedPath(const QTreeWidget& tree) {
    const QList<QTreeWidgetItem*> selected = tree.selectedItems();
    if (selected.isEmpty()) return "<none>";
    const QTreeWidgetItem* node = selected.first();
    return node->parent() ? node->parent()->text(0) + "/" + node->text(0) : node->text(0);
}

void ClickItem(QTreeWidget& tree, QTreeWidgetItem* item) {
    tree.scrollToItem(item);
    const QRect rect = tree.visualItemRect(item);
    if (!rect.isValid()) throw std::runtime_error("the item is not on screen");
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, rect.center());
}

WindowFixture::WindowFixture() : oldCurrent_(QDir::currentPath()) {
    QDir::setCurrent(QString::fromStdString(startDir.path().string()));
}

WindowFixture::~WindowFixture() {
    window.reset();
    editf = nullptr;
    Form1 = nullptr;
    QDir::setCurrent(oldCurrent_);
}

void WindowFixture::MakeCatalogue(const std::vector<Book>& books) {
    CreateCatalogue(CataloguePath());
    InsertBooks(CataloguePath(), books);
}

TForm1& WindowFixture::OpenWindow() {
    std::unique_ptr<WebBrowser> shown;
    if (realBrowser) {
        shown = CreateWebEngineBrowser(nullptr);
        browser = nullptr;
    } else {
        auto fake = std::make_unique<FakeBrowser>();
        browser = fake.get();
        shown = std::move(fake);
    }
    window = std::make_unique<TForm1>(ui, std::move(shown), QString::fromStdString(exeDir.path().string()),
                                      QString::fromStdString(startDir.path().string()));
    Form1 = window.get();
    editf = new Teditf(*window, ui, window.get());
    window->editf = editf;
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) throw std::runtime_error("window not shown");
    return *window;
}

void WindowFixture::Reconnect(const std::string& path) {
    window->con1.SetConnected(false);
    window->con1.SetDatabase(path);
    window->con1.SetConnected(true);
    window->tv1update();
}

QTreeWidget& WindowFixture::Tree() const { return *window->form()->tv1; }

QAction& WindowFixture::Command(const char* id) const {
    auto* command = window->findChild<QAction*>(QString::fromLatin1(id));
    if (!command) throw std::logic_error(std::string("no command ") + id);
    return *command;
}

}  // namespace testsupport
