// The main window: layout, commands and their bindings, the panel reset, and
// how clicks and keys reach the handlers.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/window/edit_dialog.h"
#include "app/window/edit_fields.h"
#include "app/window/spin_edit.h"
#include "support/app_window_fixture.h"
#include "ui_edit_dialog.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

class MainWindowTest : public WindowFixture {
protected:
    void SetUp() override {
        MakeCatalogue({});
        OpenWindow();
    }
    Ui::TForm1& F() { return *window->form(); }
};

TEST_F(MainWindowTest, PanelControlsStandWhereTheLayoutPutsThem) {
    struct Case {
        const char* name;
        int left, top, width;
        const char* label;  // shown text of its label, or none
        bool bold;
    } cases[] = {
        {"autorcb", 10, 20, 145, "Autor:", true},
        {"titulle", 170, 20, 280, "titul", true},
        {"zanrcb", 10, 60, 145, "žánr", false},
        {"vydalcb", 170, 60, 150, "vydal", false},
        {"seriele", 325, 60, 60, "série", false},
        {"hodnocenispin", 400, 60, 50, "hodnocení", false},
        {"umistenicb", 10, 100, 145, "umístění", false},
        {"zapujcenokomucb", 170, 100, 150, "zapůjčeno komu", false},
        {"zapujcenokdyle", 325, 100, 86, "zapůjčeno kdy", false},
        {"poznamkale", 10, 140, 450, "poznámka/komentář", false},
        {"ulozitb", 10, 165, 80, nullptr, false},
        {"smazatb", 105, 165, 80, nullptr, false},
        {"idspin", 425, 170, 36, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* w = F().Panel1->findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry().topLeft(), QPoint(c.left, c.top));
        EXPECT_EQ(w->width(), c.width);
        if (c.label) {
            QLabel* label = nullptr;
            for (QLabel* l : F().Panel1->findChildren<QLabel*>())
                if (l->buddy() == w) label = l;
            ASSERT_NE(label, nullptr) << "no label is the buddy of the field";
            EXPECT_EQ(label->text().remove('&'), QString(c.label));
            EXPECT_EQ(label->y(), c.top - 15);
            EXPECT_EQ(label->font().bold(), c.bold);
        }
    }
    // The tab order follows the table.
    QStringList order;
    QWidget* w = F().autorcb;
    do {
        for (const Case& c : cases)
            if (w->objectName() == c.name && !order.contains(c.name)) order << c.name;
        w = w->nextInFocusChain();
    } while (w != F().autorcb);
    QStringList expected;
    for (const Case& c : cases) expected << c.name;
    EXPECT_EQ(order, expected);
    EXPECT_EQ(F().ulozitb->text(), "uložit změny");
    EXPECT_EQ(F().smazatb->text(), "smazat");
    EXPECT_FALSE(F().idspin->isVisible());
    EXPECT_FALSE(F().idspin->isEnabled());
    EXPECT_EQ(F().hodnocenispin->Value(), 3);
    F().hodnocenispin->SetValue(9);
    EXPECT_EQ(F().hodnocenispin->Value(), 5);
}

TEST_F(MainWindowTest, WindowMenuTabsAndTree) {
    EXPECT_EQ(window->windowTitle(), "Svazkovna");
    EXPECT_EQ(window->size(), QSize(800, 600));
    QStringList bar;
    for (QAction* a : F().MainMenu1->actions()) bar << a->text();
    EXPECT_EQ(bar, (QStringList{"&databáze", "nový záznam", "vyhledat", "Informace"}));
    QStringList menu;
    for (QAction* a : F().databazem->actions()) menu << a->text();
    EXPECT_EQ(menu, (QStringList{"otevřít jinou...", QString::fromUtf8("&zápůjčky"), "o&bnovit ze zálohy…",
                                 "&exportovat do CSV…", "&importovat z CSV…", QString::fromUtf8("zálohovat &nyní"),
                                 QString::fromUtf8("&přidat podle ISBN…"), "&statistika",
                                 QString::fromUtf8("sjednotit &autory…"), QString::fromUtf8("najít &duplicity…"),
                                 QString::fromUtf8("&hledat všude…"), "&konec"}));
    EXPECT_EQ(Command("zapujcky").shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_FALSE(F().novyzaznam->icon().pixmap(16, 16).isNull());
    EXPECT_EQ(F().vyhledat->shortcut(), QKeySequence(Qt::Key_F3));

    EXPECT_EQ(F().pc1->tabPosition(), QTabWidget::West);
    EXPECT_EQ(F().pc1->currentWidget(), F().ts1);
    EXPECT_EQ(F().pc1->tabText(0), "svazkovna");
    EXPECT_EQ(F().pc1->tabText(1), "nastavení");
    EXPECT_TRUE(F().tv1->isHeaderHidden());
    EXPECT_EQ(F().tv1->indentation(), 19);
    EXPECT_EQ(F().tv1->width(), 136);
    EXPECT_EQ(F().tv1->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(MainWindowTest, DropDownsKeepTypedTextAndNeverAddItems) {
    QComboBox& box = *F().zanrcb;
    box.addItems({"sci-fi", "detektivka"});
    box.setEditText("poezie");
    ClearComboItems(box);
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.currentText(), "poezie");

    box.setFocus();
    QTest::keyClicks(box.lineEdit(), " nova");
    QTest::keyClick(box.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.currentText(), "poezie nova");
}

TEST_F(MainWindowTest, BrowserStaysAtTheBottom) {
    QWidget* view = browser->Widget();
    const auto atBottom = [&] {
        return view->geometry().bottom() == F().Splitter1->rect().bottom() &&
               F().pc1->geometry().bottom() < view->geometry().top();
    };
    EXPECT_EQ(view->parentWidget(), F().Splitter1);
    EXPECT_EQ(view->height(), 311);
    EXPECT_TRUE(atBottom());
    const int tabs = F().pc1->height();
    window->resize(1000, 800);
    QApplication::processEvents();
    EXPECT_EQ(view->height(), 311);
    EXPECT_EQ(F().pc1->height(), tabs + 200);
    EXPECT_TRUE(atBottom());
    // The splitter still moves the border.
    F().Splitter1->setSizes({F().pc1->height() + 100, 211});
    QApplication::processEvents();
    EXPECT_EQ(view->height(), 211);
    EXPECT_TRUE(atBottom());
}

TEST_F(MainWindowTest, F3SearchesFromAnywhere) {
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    int asked = 0;
    for (QWidget* w : std::initializer_list<QWidget*>{F().poznamkale, F().autorcb, F().tv1, F().wb1skriptle}) {
        if (w == F().wb1skriptle) F().pc1->setCurrentWidget(F().ts2);
        w->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
        EXPECT_EQ(ui.inputs.size(), static_cast<size_t>(++asked)) << w->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, PresetClickReplacesTypedPrefix) {
    F().pc1->setCurrentWidget(F().ts2);
    struct Case {
        QLabel* label;
        const char* tail;
    } cases[] = {{F().legiel, "/index.php?search_text="}, {F().googlel, "/search?q="}};
    for (const Case& c : cases) {
        F().wb1skriptle->setText("moje vlastni adresa ");
        QTest::mouseClick(c.label, Qt::LeftButton, {}, QPoint(5, 5));
        const QString url = F().wb1skriptle->text();
        EXPECT_TRUE(url.startsWith("http://www.")) << url.toStdString();
        EXPECT_TRUE(url.endsWith(c.tail)) << url.toStdString();
        // The caption is the domain the preset leads to.
        EXPECT_TRUE(url.contains("//www." + c.label->text() + "/")) << c.label->text().toStdString();
        EXPECT_EQ(c.label->cursor().shape(), Qt::PointingHandCursor);
    }
    // A right click is not a click on the link.
    F().wb1skriptle->clear();
    QTest::mouseClick(F().googlel, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(F().wb1skriptle->text(), "");
}

TEST_F(MainWindowTest, EmptyingThePanel) {
    Ui::TForm1& f = F();
    QStringList changed;
    for (QComboBox* box : f.Panel1->findChildren<QComboBox*>()) {
        box->addItems({"x", "y"});
        box->setEditText("text");
        QObject::connect(box, &QComboBox::editTextChanged, [&, box] {
            if (!changed.contains(box->objectName())) changed << box->objectName();
        });
    }
    for (QLineEdit* edit : {f.titulle, f.seriele, f.zapujcenokdyle, f.poznamkale}) {
        edit->setText("text");
        QObject::connect(edit, &QLineEdit::textChanged, [&, edit] { changed << edit->objectName(); });
    }
    f.hodnocenispin->SetValue(5);
    f.idspin->SetValue(42);
    window->vymazokna();
    EXPECT_EQ(changed, (QStringList{"autorcb", "zanrcb", "umistenicb", "titulle", "vydalcb", "seriele",
                                    "zapujcenokomucb", "zapujcenokdyle", "poznamkale"}));
    for (QComboBox* box : f.Panel1->findChildren<QComboBox*>()) {
        EXPECT_EQ(box->count(), 0) << box->objectName().toStdString();
        EXPECT_EQ(box->currentText(), "") << box->objectName().toStdString();
    }
    EXPECT_EQ(f.hodnocenispin->Value(), 3);
    EXPECT_EQ(f.idspin->Value(), 42);
}

TEST_F(MainWindowTest, InformationBox) {
    F().informace->trigger();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Information);
    EXPECT_EQ(ui.boxes[0].caption, "Informace");
    EXPECT_TRUE(ui.boxes[0].text.startsWith("Napsal"));
    EXPECT_TRUE(ui.boxes[0].text.endsWith("Program slouzi jako pomucka pri evidenci knih a jejich zapujcek"));
}

TEST_F(MainWindowTest, CommandsRunGuarded) {
    // A click on "nový záznam" in the menu bar runs it.
    QTest::mouseClick(F().MainMenu1, Qt::LeftButton, {}, F().MainMenu1->actionGeometry(F().novyzaznam).center());
    EXPECT_EQ(ui.modalRuns, 1);
    // A handler's failure ends in the error box, not in the event loop.
    window->editf = nullptr;
    F().novyzaznam->trigger();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Error);
    F().konec->trigger();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, LeftClickOnANodeIsTheTreeClick) {
    InsertBooks(CataloguePath(), {BookOf("Hora", "Zima"), BookOf("Hora", "Jaro"), BookOf("Les", "Noc")});
    Reconnect(CataloguePath());
    F().wb1skriptle->setText("http://hledej/?q=");
    // The rebuild's own selection is not a click.
    EXPECT_TRUE(browser->urls.empty());
    QTreeWidget& tree = Tree();
    ClickItem(tree, tree.topLevelItem(1));  // the selected one, clicked again
    ClickItem(tree, tree.topLevelItem(0));
    ASSERT_EQ(browser->urls.size(), 2u);
    EXPECT_EQ(browser->urls[0], "http://hledej/?q=Les");
    EXPECT_EQ(browser->urls[1], "http://hledej/?q=Hora");
    // Neither keys nor other buttons count.
    QTest::keyClick(tree.viewport(), Qt::Key_Down);
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, tree.visualItemRect(tree.topLevelItem(1)).center());
    EXPECT_EQ(browser->urls.size(), 2u);
    // A left click beside the items acts on the selected node all the same:
    // the one the Down key moved to.
    ASSERT_EQ(tree.currentItem(), tree.topLevelItem(1));
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      QPoint(tree.viewport()->width() - 2, tree.viewport()->height() - 2));
    ASSERT_EQ(browser->urls.size(), 3u);
    EXPECT_EQ(browser->urls[2], "http://hledej/?q=Les");
}

// Screen readers name every field after its label, also a drop-down showing
// a value; no field stops a long text at the toolkit's default limit.
TEST_F(MainWindowTest, FieldsCarryTheirLabelsNamesAndTakeLongTexts) {
    Ui::Teditf& d = *editf->form();
    const std::pair<QWidget*, QString> fields[] = {
        {F().autorcb, "Autor:"},
        {F().titulle, "titul"},
        {F().zanrcb, "žánr"},
        {F().vydalcb, "vydal"},
        {F().seriele, "série"},
        {F().hodnocenispin, "hodnocení"},
        {F().umistenicb, "umístění"},
        {F().zapujcenokomucb, "zapůjčeno komu"},
        {F().zapujcenokdyle, "zapůjčeno kdy"},
        {F().poznamkale, "poznámka/komentář"},
        {F().wb1skriptle, F().wb1skriptl->text()},
        {d.autorcb, "Autor:"},
        {d.titulle, "titul"},
        {d.zanrcb, "žánr"},
        {d.vydalcb, "vydal"},
        {d.seriele, "série"},
        {d.hodnocenispin, "hodnocení"},
        {d.umistenicb, "umístění"},
        {d.poznamkale, "poznámka/komentář"},
    };
    const QString text(40000, u'x');
    for (const auto& [field, name] : fields) {
        SCOPED_TRACE(field->objectName().toStdString());
        if (auto* box = qobject_cast<QComboBox*>(field)) box->setEditText("hodnota");
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(field);
        ASSERT_NE(spoken, nullptr);
        EXPECT_EQ(spoken->text(QAccessible::Name), name);
        auto* edit = qobject_cast<QLineEdit*>(field);
        if (auto* box = qobject_cast<QComboBox*>(field)) edit = box->lineEdit();
        if (edit) {
            edit->setText(text);
            EXPECT_EQ(edit->text().size(), text.size());
        }
    }
}

}  // namespace
}  // namespace testsupport
