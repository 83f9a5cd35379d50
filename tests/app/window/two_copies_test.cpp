// Two copies of the program on one catalogue: each window's save and delete
// change the row only while it holds what its panel showed; otherwise the user
// is asked, and each answer does what it says (read back with the system's SQLite).
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "app/core/codepage.h"
#include "app/platform/catalogue_session.h"
#include "app/window/edit_dialog.h"
#include "app/window/spin_edit.h"
#include "app/window/tree_node.h"
#include "support/app_fake_browser.h"
#include "support/app_window_fixture.h"
#include "support/sql_rows.h"
#include "ui_edit_dialog.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

const std::string kAuthor =
    "\xC8"
    "apek Karel";  // Čapek Karel in Windows-1250
const QString kAuthorShown = QString::fromUtf8("Čapek Karel");

// Answers of the question, by button.
constexpr int kKeep = 0;
constexpr int kOverwrite = 1;
constexpr int kShowAnew = 2;
constexpr int kDeleteAnyway = 0;
constexpr int kDeleteShowAnew = 1;

class TwoCopiesTest : public WindowFixture {
protected:
    // Both windows on a fresh catalogue with these rows; A is the fixture's window.
    void OpenBoth(const std::vector<Book>& books) {
        b.reset();
        window.reset();
        std::filesystem::remove(CataloguePath());
        MakeCatalogue(books);
        ui = ScriptedUi();
        uiB = ScriptedUi();
        OpenWindow();
        b = std::make_unique<TForm1>(uiB, std::make_unique<FakeBrowser>(),
                                     QString::fromStdString(exeDir.path().string()),
                                     QString::fromStdString(startDir.path().string()));
        b->editf = new Teditf(*b, uiB, b.get());
        b->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(b.get()));
        notices = 0;
        QObject::connect(&b->session(), &CatalogueSession::RowsChanged, b.get(), [this] { ++notices; });
    }
    ~TwoCopiesTest() override { b.reset(); }

    static QTreeWidgetItem* FindTitle(QTreeWidget& tree, const QString& author, const QString& title) {
        const auto found = tree.findItems(author, Qt::MatchExactly);
        if (found.isEmpty()) return nullptr;
        for (int i = 0; i < AsTreeNode(*found.first()).TitleCount(); ++i)
            if (::TitleNode(*found.first(), i)->text(0) == title) return ::TitleNode(*found.first(), i);
        return nullptr;
    }
    static void Click(TForm1& w, const QString& author, const QString& title) {
        QTreeWidgetItem* node = FindTitle(*w.form()->tv1, author, title);
        if (!node) throw std::runtime_error("no title node " + title.toStdString());
        ClickItem(*w.form()->tv1, node);
    }
    std::vector<std::string> Rows() const {
        return SelectRows(CataloguePath(),
                          "select id, autor, titul, zapujcenokomu, poznamka, ifnull(udaj3,'') from svazkovna order by "
                          "rowid");
    }
    // B deletes its shown book, or saves it with this note.
    void DeleteOrSaveInB(bool deleting, const QString& note) {
        if (deleting) {
            b->form()->smazatb->click();
            return;
        }
        b->form()->poznamkale->setText(note);
        b->form()->ulozitb->click();
    }
    static size_t HistoryLines(const std::string& row) { return std::count(row.begin(), row.end(), '\n'); }

    ScriptedUi uiB;
    std::unique_ptr<TForm1> b;
    int notices = 0;  // B's change notices
};

Book Lent(std::string titul, std::string poznamka) {
    Book book = BookOf(kAuthor, std::move(titul));
    book.zapujcenokomu = "Jan Nov\xE1k";
    book.zapujcenokdy = "1.2.2024";
    book.poznamka = std::move(poznamka);
    return book;
}

// A saves a new title; B, still showing the old one, returns the loan and
// changes the note (and in one case the title too), then saves.
TEST_F(TwoCopiesTest, ASaveOverAnotherCopysChangeAsksAndEachAnswerDoesWhatItSays) {
    const struct {
        const char* name;
        std::optional<int> answer;
        bool bEditsTitle;
        std::string stored;  // id|autor|titul|zapujcenokomu|poznamka after B's save
        bool historyKept;    // the returned loan is in udaj3
        QString bShowsTitle;
        QString bShowsNote;
        int notices;
    } cases[] = {
        {"keep", kKeep, false, "1|" + kAuthor + "|Krakatit 1924||nov\xE1", true, "Krakatit 1924",
         QString::fromUtf8("nová"), 1},
        {"keep, the title changed by both", kKeep, true, "1|" + kAuthor + "|Krakatit 1924||nov\xE1", true,
         "Krakatit 1924", QString::fromUtf8("nová"), 1},
        {"overwrite", kOverwrite, false, "1|" + kAuthor + "|Krakatit||nov\xE1", true, "Krakatit",
         QString::fromUtf8("nová"), 1},
        {"show anew", kShowAnew, false, "1|" + kAuthor + "|Krakatit 1924|Jan Nov\xE1k|star\xE1", false, "Krakatit 1924",
         QString::fromUtf8("stará"), 0},
        {"closed", std::nullopt, false, "1|" + kAuthor + "|Krakatit 1924|Jan Nov\xE1k|star\xE1", false, "Krakatit",
         QString::fromUtf8("nová"), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenBoth({Lent("Krakatit", "star\xE1"), BookOf("Hrabal Bohumil", "Ta\x9Aka")});
        Click(*window, kAuthorShown, "Krakatit");
        Click(*b, kAuthorShown, "Krakatit");
        window->form()->titulle->setText("Krakatit 1924");
        window->form()->ulozitb->click();
        ASSERT_TRUE(ui.boxes.empty());

        Ui::TForm1& f = *b->form();
        f.poznamkale->setText(QString::fromUtf8("nová"));
        f.zapujcenokomucb->setEditText("");
        f.zapujcenokdyle->setText("");
        if (c.bEditsTitle) f.titulle->setText("Krakatit!");
        uiB.QueueChoice(c.answer);
        f.ulozitb->click();

        ASSERT_EQ(uiB.boxes.size(), 1u);
        const QString& asked = uiB.boxes[0].text;
        EXPECT_TRUE(
            asked.contains(QString::fromUtf8("Knihu mezitím změnil jiný program:\ntitul: „Krakatit“ → "
                                             "„Krakatit 1924“\n\n")))
            << asked.toStdString();
        EXPECT_EQ(asked.contains(QString::fromUtf8("zůstane jeho hodnota: titul")), c.bEditsTitle);
        EXPECT_EQ(uiB.choiceButtons.back(),
                  (QStringList{QString::fromUtf8("&ponechat obě změny"), QString::fromUtf8("pře&psat"),
                               QString::fromUtf8("&zobrazit znovu")}));
        const std::vector<std::string> rows = Rows();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].substr(0, rows[0].rfind('|')), c.stored);
        EXPECT_EQ(HistoryLines(rows[0]), c.historyKept ? 1u : 0u) << "a loan is finished only by a save that wrote";
        EXPECT_EQ(f.titulle->text(), c.bShowsTitle);
        EXPECT_EQ(f.poznamkale->text(), c.bShowsNote);
        EXPECT_EQ(notices, c.notices) << "a notice for each change that happened, none for one that did not";
        if (c.answer == kShowAnew) {
            EXPECT_TRUE(FindTitle(*f.tv1, kAuthorShown, "Krakatit 1924")) << "the tree follows";
        }

        // What B shows now is what B saves next, without a question; a closed
        // question left B's panel as it was, so it is asked again.
        uiB.boxes.clear();
        f.seriele->setText("Spisy");
        f.ulozitb->click();
        EXPECT_EQ(uiB.boxes.empty(), c.answer.has_value());
        EXPECT_EQ(SelectRows(CataloguePath(), "select serie from svazkovna where rowid=1"),
                  std::vector<std::string>{c.answer ? "Spisy" : ""});
    }
}

TEST_F(TwoCopiesTest, ADeleteAfterAnotherCopysChangeAsks) {
    const struct {
        const char* name;
        std::optional<int> answer;
        bool gone;
        QString bShowsTitle;
    } cases[] = {
        {"delete anyway", kDeleteAnyway, true, ""},
        {"show anew", kDeleteShowAnew, false, "Krakatit 1924"},
        {"closed", std::nullopt, false, "Krakatit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenBoth({BookOf(kAuthor, "Krakatit"), BookOf("Hrabal Bohumil", "Ta\x9Aka")});
        Click(*window, kAuthorShown, "Krakatit");
        Click(*b, kAuthorShown, "Krakatit");
        window->form()->titulle->setText("Krakatit 1924");
        window->form()->ulozitb->click();

        uiB.QueueChoice(c.answer);
        b->form()->smazatb->click();
        ASSERT_EQ(uiB.boxes.size(), 1u);
        EXPECT_TRUE(uiB.boxes[0].text.contains(QString::fromUtf8("titul: „Krakatit“ → „Krakatit 1924“")));
        EXPECT_EQ(uiB.choiceButtons.back(),
                  (QStringList{QString::fromUtf8("přesto &smazat"), QString::fromUtf8("&zobrazit znovu")}));
        EXPECT_EQ(Rows().size(), c.gone ? 1u : 2u);
        EXPECT_EQ(b->form()->titulle->text(), c.bShowsTitle);
        EXPECT_EQ(notices, c.gone ? 1 : 0);
    }
}

// A deletes the book with the highest id and adds a new one, which gets the
// same id and row key; B still shows the deleted book.
TEST_F(TwoCopiesTest, AKeyHandedOutAgainIsNoLongerTheShownBook) {
    const std::string newBook = "2|Nov\xFD Autor|Nov\xE1 kniha||";
    const struct {
        const char* name;
        bool deleting;
        std::optional<int> answer;
        std::optional<std::string> second;  // the row with key 2 afterwards
    } cases[] = {
        {"save, keep", false, kKeep, newBook + "pozn\xE1mka B"},
        {"save, show anew", false, kShowAnew, newBook},
        {"save, closed", false, std::nullopt, newBook},
        {"save, overwrite", false, kOverwrite, "2|Hrabal Bohumil|Ta\x9Aka||pozn\xE1mka B"},
        {"delete, show anew", true, kDeleteShowAnew, newBook},
        {"delete anyway", true, kDeleteAnyway, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenBoth({BookOf(kAuthor, "Krakatit"), BookOf("Hrabal Bohumil", "Ta\x9Aka")});
        Click(*b, "Hrabal Bohumil", QString::fromUtf8("Taška"));
        Click(*window, "Hrabal Bohumil", QString::fromUtf8("Taška"));
        window->form()->smazatb->click();
        ui.QueueDialog([](QDialog& d) {
            Ui::Teditf& e = *static_cast<Teditf&>(d).form();
            e.autorcb->setEditText(QString::fromUtf8("Nový Autor"));
            e.titulle->setText(QString::fromUtf8("Nová kniha"));
            e.ulozitb->click();
        });
        window->form()->novyzaznam->trigger();
        ASSERT_EQ(SelectRows(CataloguePath(), "select rowid, id from svazkovna where rowid=2"),
                  std::vector<std::string>{"2|2"})
            << "the new book took the deleted one's key and id";

        uiB.QueueChoice(c.answer);
        DeleteOrSaveInB(c.deleting, QString::fromUtf8("poznámka B"));
        ASSERT_EQ(uiB.boxes.size(), 1u);
        EXPECT_TRUE(uiB.boxes[0].text.contains(QString::fromUtf8("autor: „Hrabal Bohumil“ → „Nový Autor“")));
        const std::vector<std::string> rows = Rows();
        ASSERT_EQ(rows.size(), c.second ? 2u : 1u);
        EXPECT_EQ(rows[0], "1|" + kAuthor + "|Krakatit|||");
        if (c.second) {
            EXPECT_EQ(rows[1].substr(0, rows[1].rfind('|')), *c.second);
        }
    }
}

// A deletes a book; B, still showing it, saves (and is offered to store it as
// a new book) or deletes it (nothing to delete).
TEST_F(TwoCopiesTest, ASaveOrDeleteOfABookDeletedElsewhereIsSaid) {
    const QString gone = QString::fromUtf8(
        "Knihu mezitím smazal jiný program, změny proto nebyly uloženy.\n\nUložit zobrazené údaje jako novou knihu?");
    const struct {
        const char* name;
        bool deleting;
        bool storeAnew;
        QString said;
    } cases[] = {
        {"save, stored anew", false, true, gone},
        {"save, declined", false, false, gone},
        {"delete", true, false, QString::fromUtf8("Knihu mezitím smazal jiný program, není co mazat.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenBoth({Lent("Krakatit", "star\xE1"), BookOf("Hrabal Bohumil", "Ta\x9Aka")});
        Click(*b, kAuthorShown, "Krakatit");
        Click(*window, kAuthorShown, "Krakatit");
        window->form()->smazatb->click();

        uiB.QueueQuestion(c.storeAnew);
        DeleteOrSaveInB(c.deleting, QString::fromUtf8("nová"));
        ASSERT_EQ(uiB.boxes.size(), 1u);
        EXPECT_EQ(uiB.boxes[0].text, c.said);
        const std::vector<std::string> rows = Rows();
        if (c.storeAnew) {
            ASSERT_EQ(rows.size(), 2u);
            EXPECT_EQ(rows[1], "3|" + kAuthor + "|Krakatit|Jan Nov\xE1k|nov\xE1|");
            EXPECT_EQ(b->form()->idspin->Value(), 3) << "the panel shows the book stored anew";
            EXPECT_TRUE(FindTitle(*b->form()->tv1, kAuthorShown, "Krakatit"));
            EXPECT_EQ(notices, 1);
        } else {
            EXPECT_EQ(rows, std::vector<std::string>{"2|Hrabal Bohumil|Ta\x9Aka|||"});
            EXPECT_FALSE(FindTitle(*b->form()->tv1, kAuthorShown, "Krakatit")) << "the tree follows";
            EXPECT_TRUE(b->form()->titulle->text().isEmpty());
            EXPECT_EQ(notices, 0);
        }
    }
}

}  // namespace
}  // namespace testsupport
