// Code page, locale order, error box, spin edit and cursor hook of the window.
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFocusEvent>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cerrno>
#include <functional>
#include <new>
#include <thread>
#include <gtest/gtest.h>

#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "app/core/profile_file.h"
#include "app/platform/error_box.h"
#include "app/platform/qt_hooks.h"
#include "app/platform/system_message.h"
#include "app/platform/ui_services.h"
#include "app/window/spin_edit.h"
#include "catalogue/backup_store.h"
#include "storage/errors.h"
#include "support/app_scripted_ui.h"

namespace {

TEST(CodePage, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    QString text = FromCodePage(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(ToCodePage(text), all);
    EXPECT_TRUE(FitsCodePage(text));
    // The undefined bytes keep their number, so stored junk survives a write back.
    for (int b : {0x81, 0x83, 0x88, 0x90, 0x98}) EXPECT_EQ(text[b].unicode(), b) << b;
    // A few defined ones that differ from Latin-1.
    EXPECT_EQ(text[0x8A], QChar(u'Š'));
    EXPECT_EQ(text[0xE8], QChar(u'č'));
    EXPECT_EQ(text[0x80], QChar(u'€'));
    EXPECT_EQ(text[0x84], QChar(u'„'));
}

TEST(CodePage, CzechSentenceBothWays) {
    const QString sentence = QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy – „Ř“");
    const std::string bytes =
        "P\xF8\xED"
        "li\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2 \xFAp\xECl \xEF\xE1"
        "belsk\xE9 \xF3"
        "dy \x96 \x84\xD8\x93";
    EXPECT_EQ(ToCodePage(sentence), bytes);
    EXPECT_EQ(FromCodePage(bytes), sentence);
}

TEST(CodePage, RefusedCharacterIsNamed) {
    struct Case {
        QString text;
        QString bad;
        const char* codePoint;
    } cases[] = {
        {QStringLiteral("Kniha 😀 smích"), QStringLiteral("😀"), "U+1F600"},
        {QStringLiteral("Война и мир"), QStringLiteral("В"), "U+0412"},
        {QStringLiteral("abc红楼梦"), QStringLiteral("红"), "U+7EA2"},
        {QStringLiteral("Ærø"), QStringLiteral("Æ"), "U+00C6"},
    };
    for (const Case& c : cases) {
        QString bad;
        EXPECT_FALSE(FitsCodePage(c.text, &bad));
        EXPECT_EQ(bad, c.bad);
        try {
            ToCodePage(c.text);
            ADD_FAILURE() << "no error for " << c.text.toStdString();
        } catch (const CodePageError& e) {
            EXPECT_EQ(e.Character(), c.bad);
            QString message = QString::fromUtf8(e.what());
            EXPECT_TRUE(message.contains(QStringLiteral("„") + c.bad + QStringLiteral("“"))) << e.what();
            EXPECT_TRUE(message.contains(QLatin1String(c.codePoint))) << e.what();
            EXPECT_TRUE(message.contains(QStringLiteral("Windows-1250"))) << e.what();
        }
    }
}

TEST(LocaleOrder, CzechOrder) {
    LocaleOrder order(CatalogueLocaleFor(QStringLiteral("cs_CZ.UTF-8")));
    struct Case {
        const char16_t* a;
        const char16_t* b;
    } less[] = {
        {u"Čtvrtek", u"Zahrada"},                        // a byte order would put Č last
        {u"Cyril", u"Čapek"},                            // Č is a letter of its own after C
        {u"Hrabal", u"Chalupa"},                         // CH comes after H in Czech
        {u"Řezáč", u"Šafařík"},   {u"kniha", u"Kniha"},  // case decides only when nothing else does
    };
    for (const Case& c : less) {
        QString a = QString::fromUtf16(c.a), b = QString::fromUtf16(c.b);
        EXPECT_LT(order.Compare(a, b), 0) << a.toStdString() << " < " << b.toStdString();
        EXPECT_GT(order.Compare(b, a), 0);
        EXPECT_TRUE(order.SortKey(a).compare(order.SortKey(b)) < 0);
    }
    EXPECT_EQ(order.Compare(QStringLiteral("Čapek"), QStringLiteral("Čapek")), 0);
}

TEST(LocaleOrder, PlainCLocaleMeansCzech) {
    for (const char* name : {"", "C", "POSIX", "C.UTF-8"}) {
        QLocale l = CatalogueLocaleFor(QString::fromLatin1(name));
        EXPECT_EQ(l.language(), QLocale::Czech) << name;
    }
    EXPECT_EQ(CatalogueLocaleFor(QStringLiteral("de_DE.UTF-8")).language(), QLocale::German);
    // Whatever the test machine runs with, the chosen locale is a real one.
    EXPECT_NE(CatalogueLocale().language(), QLocale::C);
}

TEST(LocaleLower, FoldsDiacritics) {
    EXPECT_EQ(LocaleLower(QStringLiteral("ČTVRTEK")), QStringLiteral("čtvrtek"));
    EXPECT_EQ(LocaleLower(QStringLiteral("ŽLUŤOUČKÝ KŮŇ")), QStringLiteral("žluťoučký kůň"));
    EXPECT_TRUE(LocaleLower(QStringLiteral("Čtvrtek")).contains(LocaleLower(QStringLiteral("ČTVRT"))));
}

TEST(ErrorBox, ProgramTitle) {
    struct Case {
        const char* path;
        const char* title;
    } cases[] = {
        {"/opt/svazkovna/svazkovna", "svazkovna"},
        {"/opt/SVAZKOVNA.EXE", "Svazkovna"},
        {"Svazkovna.backup.exe", "Svazkovna"},
        {"/x/MyApp", "Myapp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProgramTitleFor(QString::fromUtf8(c.path)), QString::fromUtf8(c.title)) << c.path;
}

TEST(ErrorBox, FullStopRule) {
    struct Case {
        const char* message;
        const char* shown;
    } cases[] = {
        {"no such table: svazkovna", "no such table: svazkovna."},
        {"error 5", "error 5."},
        {"Cannot open:", "Cannot open:."},
        {"Really?", "Really?."},
        {"Done.", "Done."},
        {"Stop!", "Stop!"},
        {"(closed)", "(closed)"},
        {"it said \"no\"", "it said \"no\""},
        {"trailing ", "trailing "},
        {"", ""},
        {"chyba v čísle ž", "chyba v čísle ž."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorBoxText(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown)) << c.message;
}

TEST(ErrorBox, RunGuardedShowsTheFailure) {
    ScriptedUi ui;
    EXPECT_TRUE(RunGuarded(ui, [] {}));
    EXPECT_TRUE(ui.boxes.empty());

    bool after = false;
    EXPECT_FALSE(RunGuarded(ui, [&] {
        // Storage messages are code-page bytes: "database is locked" with a Czech word.
        throw EDatabaseError("z\xE1mek: database is locked");
        after = true;
    }));
    EXPECT_FALSE(after);
    EXPECT_FALSE(RunGuarded(ui, [] { ToCodePage(QStringLiteral("😀")); }));
    EXPECT_FALSE(RunGuarded(ui, [] { throw std::runtime_error("Unable to write to /tmp/a.ini"); }));
    EXPECT_FALSE(RunGuarded(ui, [] { throw 42; }));

    ASSERT_EQ(ui.boxes.size(), 4u);
    for (const auto& box : ui.boxes) {
        EXPECT_EQ(box.kind, ScriptedUi::BoxKind::Error);
        EXPECT_EQ(box.caption, ProgramTitle());
        EXPECT_FALSE(box.text.isEmpty());
    }
    // English words of the storage layer and of the libraries go behind
    // "Podrobnosti"; the box itself speaks Czech.
    EXPECT_EQ(ui.boxes[0].text, QStringLiteral("Práci s katalogem se nepodařilo dokončit."));
    EXPECT_EQ(ui.boxes[0].details, QStringLiteral("zámek: database is locked"));
    EXPECT_TRUE(ui.boxes[1].text.contains(QStringLiteral("„😀“")));
    EXPECT_EQ(ui.boxes[2].text, QStringLiteral("Operaci se nepodařilo dokončit."));
    EXPECT_EQ(ui.boxes[2].details, QStringLiteral("Unable to write to /tmp/a.ini"));
    EXPECT_EQ(ui.boxes[3].text, QStringLiteral("Operaci se nepodařilo dokončit."));
}

// Each kind of failure a handler can end in, with the texts the storage layer,
// the engine, the system and the program itself really throw: the box's text
// is a Czech sentence, and whatever it replaced is kept behind "Podrobnosti".
TEST(ErrorBox, EveryFailureIsToldInCzechWithTheOriginalKept) {
    const std::string full = "cannot write /tmp/katalog.db: " + SystemErrorText(ENOSPC).toStdString();
    struct Case {
        std::function<void()> fail;
        const char* text;     // the box's text; "*" ends a prefix
        const char* details;  // "" when the text is the original
    } cases[] = {
        {[] { throw AsgError("Database not connected"); }, "Práci s katalogem se nepodařilo dokončit.",
         "Database not connected"},
        {[] { throw EDatabaseError("Query1: Field 'autor' not found"); }, "Práci s katalogem se nepodařilo dokončit.",
         "Query1: Field 'autor' not found"},
        {[] { throw EDatabaseError("database is locked", 5); }, "Katalog právě používá jiný program*",
         "database is locked"},
        {[] { throw EConvertError("'12a' is not a valid integer value"); },
         "Hodnota v katalogu nemá tvar, který program očekává (číslo nebo datum).",
         "'12a' is not a valid integer value"},
        {[] { throw EListError("List index out of bounds (14)"); }, "Katalog nemá sloupec, který program očekává.",
         "List index out of bounds (14)"},
        {[] { throw SettingsWriteError(QStringLiteral("/home/jiří/.config/nastav.ini")); },
         "Nastavení se nepodařilo uložit do souboru „/home/jiří/.config/nastav.ini“.",
         "Unable to write to /home/jiří/.config/nastav.ini"},
        {[] { throw CatalogueBusy("database is locked"); },
         "Katalog právě používá jiný program. Zkuste to znovu za chvíli.", "database is locked"},
        {[&] { throw std::runtime_error(full); }, "Operaci se nepodařilo dokončit: *", full.c_str()},
        {[] { throw std::invalid_argument("Invalid settings key name \"a=b\""); }, "Operaci se nepodařilo dokončit.",
         "Invalid settings key name \"a=b\""},
        {[] { throw std::runtime_error("cannot read /home/jiří/Knihy/katalog.db"); }, "Operaci se nepodařilo dokončit.",
         "cannot read /home/jiří/Knihy/katalog.db"},
        {[] { throw std::bad_alloc(); }, "Programu došla paměť; operaci se nepodařilo dokončit.", "*"},
        // The program's own Czech messages stay as they are.
        {[] { throw std::runtime_error("Záznam už v katalogu není."); }, "Záznam už v katalogu není.", ""},
        {[] { throw std::logic_error("Úprava záznamu mění právě jeden řádek."); },
         "Úprava záznamu mění právě jeden řádek.", ""},
        {[] { throw std::runtime_error("Neplatné ISBN: 80-85"); }, "Neplatné ISBN: 80-85.", ""},
    };
    for (const Case& c : cases) {
        ScriptedUi ui;
        EXPECT_FALSE(RunGuarded(ui, c.fail));
        ASSERT_EQ(ui.boxes.size(), 1u) << c.text;
        const QString text = QString::fromUtf8(c.text), details = QString::fromUtf8(c.details);
        if (text.endsWith(u'*'))
            EXPECT_TRUE(ui.boxes[0].text.startsWith(text.chopped(1))) << ui.boxes[0].text.toStdString();
        else
            EXPECT_EQ(ui.boxes[0].text, text);
        EXPECT_FALSE(ui.boxes[0].text.contains(QStringLiteral("space left")) ||
                     ui.boxes[0].text.contains(QStringLiteral("locked")))
            << ui.boxes[0].text.toStdString();
        if (details == u"*")
            EXPECT_FALSE(ui.boxes[0].details.isEmpty()) << c.text;
        else
            EXPECT_EQ(ui.boxes[0].details, details) << c.text;
    }
}

// A long report goes behind "Podrobnosti": the question and its buttons stay
// within a 1280×1024 screen, and the details button speaks Czech.
TEST(ErrorBox, DetailsStayBehindACzechButton) {
    ScriptedUi scripted;
    EXPECT_FALSE(
        RunGuarded(scripted, [] { throw DetailedFailure(QStringLiteral("Soubor nelze zapsat: plno"), "ENOSPC"); }));
    ASSERT_EQ(scripted.boxes.size(), 1u);
    EXPECT_EQ(scripted.boxes[0].text, QStringLiteral("Soubor nelze zapsat: plno."));
    EXPECT_EQ(scripted.boxes[0].details, "ENOSPC");

    QStringList report;
    for (int i = 0; i < 300; ++i) report << QStringLiteral("Page %1: btreeInitPage() returns error code 11").arg(i + 2);
    QtUiServices real;
    for (const bool question : {true, false}) {
        QString button, details;
        int height = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            for (QAbstractButton* b : box->buttons())
                if (box->buttonRole(b) == QMessageBox::ActionRole) button = b->text();
            details = box->detailedText();
            height = box->sizeHint().height();
            box->reject();
        });
        if (question)
            EXPECT_FALSE(real.DetailedQuestion("T", QStringLiteral("Obnovit?"), report.join('\n')));
        else
            real.DetailedErrorBox("T", QStringLiteral("Chyba."), report.join('\n'));
        EXPECT_EQ(button, QString::fromUtf8("Podrobnosti…"));
        EXPECT_EQ(details, report.join('\n'));
        EXPECT_GT(height, 0);
        EXPECT_LT(height, 1024 - 100);
    }
}

QLineEdit* EditOf(SpinEdit& spin) { return spin.findChild<QLineEdit*>(); }

void Key(QWidget* target, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

void Type(QWidget* target, const QString& text) {
    for (QChar c : text) Key(target, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_A, QString(c));
}

void FocusOut(SpinEdit& spin) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&spin, &out);
}

TEST(SpinEdit, RatingRange) {
    SpinEdit spin;
    spin.SetMinValue(1);
    spin.SetMaxValue(5);
    spin.SetValue(3);
    EXPECT_EQ(spin.text(), QStringLiteral("3"));
    struct Case {
        int set;
        int shown;
    } cases[] = {{0, 1}, {-7, 1}, {9, 5}, {5, 5}, {1, 1}, {4, 4}};
    for (const Case& c : cases) {
        spin.SetValue(c.set);
        EXPECT_EQ(spin.Value(), c.shown) << c.set;
        EXPECT_EQ(spin.text(), QString::number(c.shown));
    }
}

TEST(SpinEdit, TypingAndFocusOut) {
    SpinEdit spin;
    spin.SetMinValue(1);
    spin.SetMaxValue(5);
    spin.SetValue(3);
    spin.show();
    struct Case {
        const char* typed;
        const char* textAfterTyping;
        int valueBeforeFocusOut;
        const char* textAfterFocusOut;
    } cases[] = {
        {"9", "9", 9, "5"},       {"0", "0", 0, "1"},   {"-4", "-4", -4, "1"},
        {"4", "4", 4, "4"},       {"a4b", "4", 4, "4"},  // letters cannot be typed
        {"+", "+", 1, "+"},                              // no number: reads as the minimum, left as typed
        {"2#5", "2#5", 1, "2#5"},                        // # stands for the locale's decimal separator
    };
    const QString separator = CatalogueLocale().decimalPoint();
    for (const Case& c : cases) {
        EditOf(spin)->clear();
        Type(EditOf(spin), QString::fromUtf8(c.typed).replace(u'#', separator));
        EXPECT_EQ(spin.text(), QString::fromUtf8(c.textAfterTyping).replace(u'#', separator)) << c.typed;
        EXPECT_EQ(spin.Value(), c.valueBeforeFocusOut) << c.typed;
        FocusOut(spin);
        EXPECT_EQ(spin.text(), QString::fromUtf8(c.textAfterFocusOut).replace(u'#', separator)) << c.typed;
    }
}

TEST(SpinEdit, StepsStayInRange) {
    SpinEdit spin;
    spin.SetMinValue(1);
    spin.SetMaxValue(5);
    spin.SetValue(4);
    spin.show();
    Key(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.Value(), 5);
    Key(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.Value(), 5);
    spin.SetValue(2);
    Key(&spin, Qt::Key_Down);
    Key(&spin, Qt::Key_Down);
    EXPECT_EQ(spin.Value(), 1);
    spin.stepBy(100);
    EXPECT_EQ(spin.Value(), 5);
}

TEST(SpinEdit, NoRangeHoldsAnyValue) {
    SpinEdit spin;  // idspin: minimum and maximum both 0
    for (int v : {0, 100000, -3, 2147483647, -2147483647 - 1}) {
        spin.SetValue(v);
        EXPECT_EQ(spin.Value(), v);
        FocusOut(spin);
        EXPECT_EQ(spin.Value(), v);
    }
    spin.SetValue(2147483647);
    spin.stepBy(1);  // must not wrap to a negative id
    EXPECT_EQ(spin.Value(), 2147483647);
    EditOf(spin)->setText(QStringLiteral("99999999999"));
    EXPECT_EQ(spin.Value(), 0);
}

// Other window tests lean on this double; a dialog that refuses to close must stay shown.
TEST(ScriptedUi, ExecModalRunsScriptAndClosesThroughTheDialog) {
    class Stubborn : public QDialog {
    public:
        bool refuse = false;
        int rejects = 0;
        void reject() override {
            ++rejects;
            if (!refuse) QDialog::reject();
        }
    };
    ScriptedUi ui;
    Stubborn dialog;
    bool sawShown = false;
    ui.QueueDialog([&](QDialog& d) { sawShown = d.isVisible(); });
    ui.ExecModal(dialog);
    EXPECT_TRUE(sawShown);
    EXPECT_EQ(dialog.rejects, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(ui.closeRefusals, 0);

    dialog.refuse = true;
    ui.ExecModal(dialog);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(ui.closeRefusals, 1);

    ui.QueueInput(QStringLiteral("dlouhý text"));
    EXPECT_EQ(ui.InputQuery(QStringLiteral("c"), QStringLiteral("p"), 4), QStringLiteral("dlou"));
    EXPECT_EQ(ui.InputQuery(QStringLiteral("c"), QStringLiteral("p"), 4), std::nullopt);
    EXPECT_EQ(ui.OpenFileName(QStringLiteral(".")), std::nullopt);
}

TEST(CursorHook, SqlWaitRestoresWhatWasThere) {
    InstallQtStorageHooks();
    CursorHook& hook = ActiveCursorHook();
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        SqlWaitCursor outer;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
        EXPECT_EQ(hook.Current(), CursorKind::SqlWait);
        {
            SqlWaitCursor inner;
            EXPECT_EQ(hook.Current(), CursorKind::SqlWait);
        }
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // Someone else's hourglass is back on top, and theirs to remove, afterwards.
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    EXPECT_EQ(hook.Current(), CursorKind::Hourglass);
    {
        SqlWaitCursor wait;
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // A statement in a thread of its own leaves the window's cursor alone,
    // also while one in the window's thread shows it.
    {
        SqlWaitCursor window;
        std::thread([] {
            SqlWaitCursor background;
            EXPECT_EQ(ActiveCursorHook().Current(), CursorKind::Normal);
        }).join();
        EXPECT_EQ(hook.Current(), CursorKind::SqlWait);
    }
    std::thread([] { SqlWaitCursor background; }).join();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    SetCursorHook(nullptr);
}

}  // namespace
