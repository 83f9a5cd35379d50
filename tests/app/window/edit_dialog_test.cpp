// The new-record dialog driven like a user inside the main window; what it
// stores is read back with the system's SQLite library.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "app/window/edit_dialog.h"
#include "app/window/spin_edit.h"
#include "support/app_catalogue_rows.h"
#include "support/app_window_fixture.h"
#include "support/sql_rows.h"
#include "ui_edit_dialog.h"
#include "ui_main_window.h"

// Designated initializers name only the fields a case uses; the rest stay empty on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using testsupport::Book;
using testsupport::ExecSql;
using testsupport::ShownAuthor;
using testsupport::WriteLock;
using Row = std::vector<std::string>;
constexpr auto ReadRows = testsupport::SelectTexts;

std::string One(const std::string& path, const std::string& sql) {
    auto rows = ReadRows(path, sql);
    return rows.empty() || rows[0].empty() ? testsupport::kNullText : rows[0][0];
}

// What a user enters; a field left unset is not touched.
struct Entry {
    QString autor, titul, zanr, vydal, serie, umisteni, poznamka;
    std::optional<QString> hodnoceni;  // typed over the whole field
};

// The dialog's own control that holds the keyboard focus (a list's edit counts as the list).
QString FocusedField(QDialog& dialog) {
    QWidget* w = QApplication::focusWidget();
    while (w && w->parentWidget() != &dialog) w = w->parentWidget();
    return w ? w->objectName() : "<none>";
}

class EditDialogTest : public testsupport::WindowFixture {
public:
    Teditf& Dialog() { return *editf; }
    Ui::Teditf& F() { return *editf->form(); }

    // Shows the dialog through the menu command and runs `script` while it is shown.
    void ShowDialog(std::function<void(Teditf&)> script) {
        ui.QueueDialog([this, script](QDialog& d) {
            d.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
            script(static_cast<Teditf&>(d));
        });
        window->form()->novyzaznam->trigger();
    }

    // Types over the whole field; characters without a key of their own come as text, as
    // an input method delivers them.
    static void TypeInto(QWidget* field, const QString& text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].unicode() < 128) {
                QTest::keyClick(field, text[i].toLatin1());
                continue;
            }
            const qsizetype n = text[i].isHighSurrogate() ? 2 : 1;
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text.mid(i, n), {});
            i += n - 1;
        }
    }

    void Fill(const Entry& e) {
        auto f = editf->form();
        const std::pair<QWidget*, QString> fields[] = {
            {f->autorcb, e.autor}, {f->titulle, e.titul},       {f->zanrcb, e.zanr},        {f->vydalcb, e.vydal},
            {f->seriele, e.serie}, {f->umistenicb, e.umisteni}, {f->poznamkale, e.poznamka}};
        for (const auto& [field, text] : fields)
            if (!text.isEmpty()) TypeInto(field, text);
        if (e.hodnoceni) TypeInto(f->hodnocenispin, *e.hodnoceni);
    }

    void Press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Adds one book the way a user does: menu, typing, a click on "uložit".
    void AddBook(const Entry& e) {
        ShowDialog([&](Teditf&) {
            Fill(e);
            Press(F().ulozitb);
        });
    }

    int Count() { return std::stoi(One(CataloguePath(), "select count(*) from svazkovna")); }

    std::vector<QString> ErrorTexts() const {
        std::vector<QString> texts;
        for (const auto& b : ui.boxes)
            if (b.kind == ScriptedUi::BoxKind::Error) texts.push_back(b.text);
        return texts;
    }
};

TEST_F(EditDialogTest, IdsFollowTheHighestWithoutFillingGaps) {
    MakeCatalogue({});
    OpenWindow();
    AddBook({.autor = "Hašek", .titul = "Švejk"});
    ExecSql(CataloguePath(),
            "insert into svazkovna values(2,'b','b','','','','','','',3,'','','','');"
            "insert into svazkovna values(7,'c','c','','','','','','',3,'','','','')");
    AddBook({.autor = "Hašek", .titul = "Povídky"});
    EXPECT_EQ(ReadRows(CataloguePath(), "select id, titul from svazkovna order by id"),
              (std::vector<Row>{{"1", "\x8Avejk"},
                                {"2", "b"},
                                {"7", "c"},
                                {"8",
                                 "Pov\xED"
                                 "dky"}}));
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(EditDialogTest, StoresEveryColumnExactlyAsTyped) {
    // Rows made outside the program hold Windows-1250 bytes.
    MakeCatalogue({{.autor = "O'Brien", .titul = "Star\x9A\xED", .id = 1}, {.autor = "Zola", .titul = "Zabij\xE1k"}});
    OpenWindow();
    const QString note300 = QString(297, u'n') + QStringLiteral("ček");
    AddBook({.autor = "O'Brien",
             .titul = "It's 'quoted''",
             .zanr = "sci-fi",
             .vydal = "Odeon",
             .serie = "I.",
             .umisteni = "police 2",
             .poznamka = note300,
             .hodnoceni = "4"});
    AddBook({.autor = "   ", .titul = "bez autora"});

    const std::string note300Bytes = std::string(297, 'n') +
                                     "\xE8"
                                     "ek";
    EXPECT_EQ(ReadRows(CataloguePath(), "select * from svazkovna where id >= 3 order by id"),
              (std::vector<Row>{{"3", "O'Brien", "It's 'quoted''", "sci-fi", "Odeon", "I.", "police 2", "", "", "4",
                                 note300Bytes, "", "", ""},
                                {"4", "   ", "bez autora", "", "", "", "", "", "", "3", "", "", "", ""}}));
    // Texts, never NULL, in every text column; the two numbers are integers.
    EXPECT_EQ(One(CataloguePath(),
                  "select group_concat(typeof(autor)||typeof(titul)||typeof(zanr)||typeof(vydal)||"
                  "typeof(serie)||typeof(umisteni)||typeof(zapujcenokomu)||typeof(zapujcenokdy)||"
                  "typeof(poznamka)||typeof(udaj1)||typeof(udaj2)||typeof(udaj3)||typeof(id)||"
                  "typeof(hodnoceni), '|') from svazkovna where id >= 3"),
              std::string("texttexttexttexttexttexttexttexttexttexttexttextintegerinteger|") +
                  "texttexttexttexttexttexttexttexttexttexttexttextintegerinteger");

    // The author gets its new title last; every node is collapsed after the rebuild.
    EXPECT_EQ(testsupport::ShownTree(Tree()),
              (std::vector<ShownAuthor>{{"   ", {"bez autora"}, false},
                                        {"O'Brien", {"Starší", "It's 'quoted''"}, false},
                                        {"Zola", {"Zabiják"}, false}}));
}

TEST_F(EditDialogTest, RatingIsBroughtIntoRangeWhenTheFocusLeaves) {
    MakeCatalogue({});
    OpenWindow();
    const struct {
        QString typed;
        std::string stored;
    } cases[] = {{"9", "5"}, {"", "1"}, {"0", "1"}, {"-3", "1"}, {"2", "2"}, {"+", "1"}};
    for (const auto& c : cases) AddBook({.autor = "A", .titul = "r" + c.typed, .hodnoceni = c.typed});
    for (const auto& c : cases)
        EXPECT_EQ(One(CataloguePath(), "select hodnoceni from svazkovna where titul='r" + c.typed.toStdString() + "'"),
                  c.stored)
            << "typed [" << c.typed.toStdString() << "]";
}

TEST_F(EditDialogTest, EachShowingStartsEmptyWithFreshLists) {
    MakeCatalogue({{.autor = "b", .titul = "t1", .zanr = "rom\xE1n", .umisteni = "pokoj"},
                   {.autor = "A", .titul = "t2", .zanr = "rom\xE1n", .vydal = "Odeon"}});
    ExecSql(CataloguePath(), "insert into svazkovna values(3,null,'t3',null,'','','','','',3,'','','','')");
    OpenWindow();
    AddBook({.autor = "Čapek",
             .titul = "Krakatit",
             .zanr = "drama",
             .vydal = "Melantrich",
             .serie = "s",
             .umisteni = "sklep",
             .poznamka = "p",
             .hodnoceni = "5"});

    auto items = [](QComboBox* cb) {
        QStringList l;
        for (int i = 0; i < cb->count(); ++i) l << cb->itemText(i);
        return l;
    };
    ShowDialog([&](Teditf& d) {
        auto f = d.form();
        for (QComboBox* cb : {f->autorcb, f->zanrcb, f->vydalcb, f->umistenicb})
            EXPECT_EQ(cb->currentText(), "") << cb->objectName().toStdString();
        for (QLineEdit* le : {f->titulle, f->seriele, f->poznamkale})
            EXPECT_EQ(le->text(), "") << le->objectName().toStdString();
        EXPECT_EQ(f->hodnocenispin->Value(), 3);
        EXPECT_EQ(f->idspin->Value(), 5);
        EXPECT_EQ(FocusedField(d), "autorcb");
        // NULL first, then by stored bytes (upper case before lower, diacritics last).
        EXPECT_EQ(items(f->autorcb), (QStringList{"", "A", "b", "Čapek"}));
        EXPECT_EQ(items(f->zanrcb), (QStringList{"", "drama", "román"}));
        EXPECT_EQ(items(f->vydalcb), (QStringList{"", "Melantrich", "Odeon"}));
        EXPECT_EQ(items(f->umistenicb), (QStringList{"", "pokoj", "sklep"}));
        Press(f->stornob);
    });
    EXPECT_EQ(Count(), 4);
}

TEST_F(EditDialogTest, LeavingWithoutStoringStillRebuildsTheTree) {
    MakeCatalogue({});
    OpenWindow();
    const struct {
        const char* how;
        Entry entry;
        std::function<void(EditDialogTest&, Teditf&)> leave;
    } cases[] = {
        {"storno", {.autor = "a", .titul = "t"}, [](auto& t, auto& d) { t.Press(d.form()->stornob); }},
        {"close box", {.autor = "a", .titul = "t"}, [](auto&, auto& d) { d.close(); }},
        {"no title", {.autor = "a"}, [](auto& t, auto& d) { t.Press(d.form()->ulozitb); }},
        {"no author", {.titul = "t"}, [](auto& t, auto& d) { t.Press(d.form()->ulozitb); }},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string outside = "outside" + std::to_string(++n);
        ShowDialog([&](Teditf& d) {
            Fill(c.entry);
            // A row added behind the dialog's back shows only if the tree is rebuilt.
            ExecSql(CataloguePath(), "insert into svazkovna values(" + std::to_string(100 + n) + ",'" + outside +
                                         "','x','','','','','','',3,'','','','')");
            c.leave(*this, d);
            EXPECT_FALSE(d.isVisible()) << c.how;
        });
        EXPECT_EQ(Count(), n) << c.how;
        EXPECT_TRUE(testsupport::ShownAuthors(Tree()).contains(QString::fromStdString(outside))) << c.how;
    }
    EXPECT_EQ(ui.closeRefusals, 0);
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(EditDialogTest, EnterAndEscapePressNothing) {
    MakeCatalogue({});
    OpenWindow();
    ShowDialog([&](Teditf& d) {
        Fill({.autor = "a", .titul = "t"});
        auto f = d.form();
        for (QWidget* w :
             std::initializer_list<QWidget*>{f->autorcb, f->titulle, f->hodnocenispin, f->ulozitb, f->stornob}) {
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                w->setFocus();
                QTest::keyClick(w, key);
                EXPECT_TRUE(d.isVisible()) << w->objectName().toStdString() << " " << key;
            }
        }
        EXPECT_EQ(Count(), 0);
        EXPECT_EQ(f->autorcb->count(), 0);  // Enter adds nothing to the list
        EXPECT_EQ(f->autorcb->currentText(), "a");
    });
    EXPECT_EQ(Count(), 0);
}

TEST_F(EditDialogTest, FailedInsertKeepsEverythingForAnotherTry) {
    MakeCatalogue({});
    OpenWindow();
    window->con1.BusyTimeout = std::chrono::milliseconds(50);

    // The table gone after the dialog opened; the catalogue locked by another program.
    ShowDialog([&](Teditf& d) {
        Fill({.autor = "Verne", .titul = "Ocelové město", .poznamka = "n"});
        {
            WriteLock lock(CataloguePath());
            Press(d.form()->ulozitb);
            ASSERT_EQ(ErrorTexts(), std::vector<QString>{QString::fromUtf8(
                                        "Katalog právě používá jiný program. Zkuste to znovu za chvíli.")});
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(d.form()->autorcb->currentText(), "Verne");
            EXPECT_EQ(d.form()->titulle->text(), "Ocelové město");
            EXPECT_EQ(d.form()->poznamkale->text(), "n");
        }
        Press(d.form()->ulozitb);  // the lock is gone: this one stores
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(ReadRows(CataloguePath(), "select id, autor from svazkovna"), (std::vector<Row>{{"1", "Verne"}}));

    // A file without the table: the dialog opens with the error, and storing fails the same way.
    const std::string other = startDir.file("other.db");
    ExecSql(other, "create table jina(x)");
    EXPECT_ANY_THROW(Reconnect(other));  // connected; only the tree cannot be read
    ShowDialog([&](Teditf& d) {
        EXPECT_EQ(
            ErrorTexts().back(),
            QString::fromUtf8(
                "Databázový stroj příkaz odmítl; soubor nejspíš nemá tabulku knih v podobě, jakou program potřebuje."));
        Fill({.autor = "a", .titul = "b"});
        Press(d.form()->ulozitb);
        EXPECT_EQ(ErrorTexts().size(), 3u);
        EXPECT_EQ(
            ErrorTexts().back(),
            QString::fromUtf8(
                "Databázový stroj příkaz odmítl; soubor nejspíš nemá tabulku knih v podobě, jakou program potřebuje."));
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.form()->titulle->text(), "b");
        Reconnect(CataloguePath());
        Press(d.form()->stornob);
    });
    EXPECT_EQ(ReadRows(other, "select name from sqlite_master"), (std::vector<Row>{{"jina"}}));
    EXPECT_EQ(Count(), 1);
}

TEST_F(EditDialogTest, ReadOnlyCatalogueRefusesTheInsertAndLeavesQuery1Alone) {
    MakeCatalogue({{.autor = "a", .titul = "t"}});
    // A write version above 2 in the header: the engine opens the file read-only.
    {
        std::fstream file(CataloguePath(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(18);
        file.put('\x03');
    }
    OpenWindow();
    window->query1.Close();
    ShowDialog([&](Teditf& d) {
        EXPECT_EQ(d.form()->idspin->Value(), 2);
        Fill({.autor = "b", .titul = "u"});
        Press(d.form()->ulozitb);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.form()->autorcb->currentText(), "b");
    });
    EXPECT_EQ(ErrorTexts(), std::vector<QString>{QString::fromUtf8("Soubor katalogu nebo disk je jen pro čtení.")});
    EXPECT_FALSE(window->query1.Active());
    EXPECT_EQ(Count(), 1);
}

TEST_F(EditDialogTest, StoringReopensAClosedQuery1) {
    MakeCatalogue({});
    OpenWindow();
    window->query1.Close();
    AddBook({.autor = "a", .titul = "t"});
    EXPECT_TRUE(window->query1.Active());
}

TEST_F(EditDialogTest, TextOutsideTheCodePageIsRefusedAndNothingStored) {
    MakeCatalogue({});
    OpenWindow();
    ShowDialog([&](Teditf& d) {
        Fill({.autor = "Autor", .titul = "t", .poznamka = QStringLiteral("smích 😀")});
        Press(d.form()->ulozitb);
        ASSERT_EQ(ErrorTexts().size(), 1u);
        EXPECT_TRUE(ErrorTexts()[0].contains(QStringLiteral("😀"))) << ErrorTexts()[0].toStdString();
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.form()->poznamkale->text(), QStringLiteral("smích 😀"));
    });
    EXPECT_EQ(Count(), 0);
}

TEST_F(EditDialogTest, FailedActivationKeepsTheOldIdUntilANewOneCanBeTaken) {
    MakeCatalogue({});
    OpenWindow();
    window->con1.BusyTimeout = std::chrono::milliseconds(50);
    AddBook({.autor = "a", .titul = "first"});  // takes id 1
    {
        WriteLock lock(CataloguePath());
        ShowDialog([&](Teditf& d) {
            EXPECT_EQ(ErrorTexts(), std::vector<QString>{QString::fromUtf8(
                                        "Katalog právě používá jiný program. Zkuste to znovu za chvíli.")});
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(d.form()->idspin->Value(), 1);  // the previous showing's id
            EXPECT_EQ(d.form()->titulle->text(), "");
            EXPECT_EQ(d.form()->hodnocenispin->Value(), 3);
            lock.Release();
            Fill({.autor = "a", .titul = "second"});
            Press(d.form()->ulozitb);
        });
    }
    // The second book must not get the first one's id.
    EXPECT_EQ(ReadRows(CataloguePath(), "select id, titul from svazkovna order by id"),
              (std::vector<Row>{{"1", "first"}, {"2", "second"}}));
}

TEST_F(EditDialogTest, FailedRebuildKeepsTheDialogAndDoesNotStoreTwice) {
    // The table behind a view whose reading fails once it holds a row, while `porucha` says so.
    testsupport::CreateCatalogue(CataloguePath());
    ExecSql(CataloguePath(),
            "alter table svazkovna rename to kniha;"
            "create table porucha(n integer); insert into porucha values(1);"
            "create view svazkovna as select * from kniha where abs(-9223372036854775807 - "
            "(select count(*) from kniha) * (select n from porucha)) > 0;"
            "create trigger vloz instead of insert on svazkovna begin insert into kniha values("
            "new.id,new.autor,new.titul,new.zanr,new.vydal,new.serie,new.umisteni,"
            "new.zapujcenokomu,new.zapujcenokdy,new.hodnoceni,new.poznamka,new.udaj1,"
            "new.udaj2,new.udaj3); end");
    OpenWindow();
    ShowDialog([&](Teditf& d) {
        Fill({.autor = "a", .titul = "t"});
        Press(d.form()->ulozitb);
        EXPECT_EQ(ErrorTexts(),
                  std::vector<QString>{QString::fromUtf8("Databázový stroj příkaz odmítl; soubor nejspíš nemá tabulku "
                                                         "knih v podobě, jakou program potřebuje.")});
        EXPECT_TRUE(d.isVisible());
        Press(d.form()->ulozitb);  // closing again retries the rebuild, stores nothing
        EXPECT_EQ(ErrorTexts().size(), 2u);
        EXPECT_TRUE(d.isVisible());
        ExecSql(CataloguePath(), "update porucha set n = 0");
        d.close();
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(One(CataloguePath(), "select count(*) from kniha"), "1");
    EXPECT_EQ(testsupport::ShownAuthors(Tree()), QStringList{"a"});
}

// Edits made while a failed rebuild kept the stored book's dialog open are
// written over that book, not dropped.
TEST_F(EditDialogTest, EditsAfterAStoredBookAreKeptWhenTheDialogCloses) {
    // The view fails to read once it holds a row while `porucha` says so.
    testsupport::CreateCatalogue(CataloguePath());
    ExecSql(CataloguePath(),
            "alter table svazkovna rename to kniha;"
            "create table porucha(n integer); insert into porucha values(1);"
            "create view svazkovna as select * from kniha where "
            "abs(-9223372036854775807 - (select count(*) from kniha) * (select n from porucha)) > 0;"
            "create trigger vloz instead of insert on svazkovna begin insert into kniha values("
            "new.id,new.autor,new.titul,new.zanr,new.vydal,new.serie,new.umisteni,"
            "new.zapujcenokomu,new.zapujcenokdy,new.hodnoceni,new.poznamka,new.udaj1,"
            "new.udaj2,new.udaj3); end;"
            "create trigger uprav instead of update on svazkovna begin update kniha set "
            "autor=new.autor,titul=new.titul,poznamka=new.poznamka where id=old.id; end");
    OpenWindow();
    ShowDialog([&](Teditf& d) {
        Fill({.autor = "a", .titul = "t", .poznamka = "prvni"});
        Press(d.form()->ulozitb);
        ASSERT_TRUE(d.isVisible());
        TypeInto(d.form()->poznamkale, "opravena");
        ExecSql(CataloguePath(), "update porucha set n = 0");
        Press(d.form()->ulozitb);
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(ReadRows(CataloguePath(), "select autor, titul, poznamka from kniha"),
              (std::vector<Row>{{"a", "t", "opravena"}}));
    EXPECT_EQ(
        ErrorTexts(),
        std::vector<QString>{QString::fromUtf8(
            "Databázový stroj příkaz odmítl; soubor nejspíš nemá tabulku knih v podobě, jakou program potřebuje.")});
}

TEST_F(EditDialogTest, WindowFrameAndFocusOrder) {
    MakeCatalogue({});
    OpenWindow();
    Teditf& d = Dialog();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("záznam"));
    EXPECT_EQ(d.minimumSize(), QSize(475, 219));
    EXPECT_EQ(d.maximumSize(), QSize(475, 219));
    EXPECT_FALSE(d.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(d.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    for (QPushButton* b : {F().ulozitb, F().stornob}) EXPECT_FALSE(b->isDefault() || b->autoDefault());

    // Tab walks the fields in the order of the form, skipping the hidden id.
    ShowDialog([&](Teditf& dlg) {
        auto f = dlg.form();
        QStringList walked;
        for (int i = 0; i < 10; ++i) {
            walked << FocusedField(dlg);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        EXPECT_EQ(walked, (QStringList{"autorcb", "titulle", "zanrcb", "vydalcb", "seriele", "hodnocenispin",
                                       "umistenicb", "poznamkale", "ulozitb", "stornob"}));
        EXPECT_FALSE(f->idspin->isVisible());
        Press(f->stornob);
    });
}

}  // namespace
