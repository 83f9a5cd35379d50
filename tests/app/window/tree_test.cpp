// The tree of authors and titles: what a rebuild shows and selects, and what
// a search expands and where its selection ends.
#include <QTest>
#include <QTreeWidget>
#include <random>

#include "app/window/tree_node.h"
#include "app/core/codepage.h"
#include "support/app_window_fixture.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

using Shown = std::vector<ShownAuthor>;

const auto B = BookOf;

const std::string kCtvrtek = "\xC8tvrtek";  // "Čtvrtek" in the catalogue's code page
QString Cp(const std::string& bytes) { return FromCodePage(bytes); }

class TreeTest : public WindowFixture {
protected:
    void SetUp() override {
        MakeCatalogue({});
        OpenWindow();
    }
    // A fresh catalogue with these rows, opened and shown.
    void Show(const std::vector<Book>& books) {
        const std::string path = startDir.file("case" + std::to_string(++cases_) + ".db");
        CreateCatalogue(path);
        InsertBooks(path, books);
        Reconnect(path);
    }
    void Search(std::optional<QString> text) {
        ui.QueueInput(std::move(text));
        window->vyhledatExecute();
    }
    int cases_ = 0;
};

TEST_F(TreeTest, RebuildShowsAuthorsTitlesAndSelection) {
    const std::string longAuthor(300, 'A'), cutAuthor(255, 'A');
    const std::string longTitle = std::string(250, 't') + "123456789";
    struct Case {
        const char* name;
        std::vector<Book> rows;
        Shown shown;
        QString selected;
    } cases[] = {
        {"empty", {}, {}, "<none>"},
        {"quote in author", {B("O'Brien", "Hra"), B("O'Brien", "Noc")}, {{"O'Brien", {"Hra", "Noc"}}}, "O'Brien"},
        {"locale order, byte-last selected",
         {B("Zahrada", "Z1"), B(kCtvrtek, "C1")},
         {{Cp(kCtvrtek), {"C1"}}, {"Zahrada", {"Z1"}}},
         Cp(kCtvrtek)},
        {"Czech ch after h",
         {B("Ivan", "I"), B("Chmel", "C"), B("Hora", "H")},
         {{"Hora", {"H"}}, {"Chmel", {"C"}}, {"Ivan", {"I"}}},
         "Ivan"},
        {"titles in storage order",
         {B("X", "Zima"), B("Y", "Leto"), B("X", "Jaro"), B("X", "Zima")},
         {{"X", {"Zima", "Jaro", "Zima"}}, {"Y", {"Leto"}}},
         "Y"},
        // NULL and '' are two distinct authors, shown alike; only '' rows have titles.
        {"null author",
         {B(std::nullopt, "N"), B("", "E"), B("Q", std::nullopt)},
         {{"", {"E"}}, {"", {"E"}}, {"Q", {""}}},
         "Q"},
        {"long author without a cut twin",
         {B(longAuthor, "L"), B("B", "b")},
         {{QString(cutAuthor.c_str()), {}}, {"B", {"b"}}},
         "B"},
        {"long author with a cut twin",
         {B(longAuthor, "L"), B(cutAuthor, "S")},
         {{QString(cutAuthor.c_str()), {"S"}}, {QString(cutAuthor.c_str()), {"S"}}},
         QString(cutAuthor.c_str())},
        {"long title cut", {B("A", longTitle)}, {{"A", {QString(longTitle.substr(0, 255).c_str())}}}, "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Show(c.rows);
        EXPECT_EQ(ShownTree(Tree()), c.shown);
        EXPECT_EQ(SelectedPath(Tree()), c.selected);
    }
}

TEST_F(TreeTest, NodesKeepTheStoredBytes) {
    // 0x81 is undefined in the code page; the node must still lead back to these bytes.
    const std::string odd =
        "Ka\x81"
        "rel";
    Show({B(odd, "T\x81")});
    QTreeWidgetItem* author = Tree().topLevelItem(0);
    EXPECT_EQ(NodeBytes(*author), odd);
    EXPECT_EQ(NodeBytes(*TitleNode(*author, 0)), "T\x81");
}

// Titles are made when the view first opens their author, by the keyboard
// as by a search; until then the author still offers to open.
TEST_F(TreeTest, TitlesAreMadeWhenTheViewOpensTheirAuthor) {
    Show({B("Capek", "Krakatit"), B("Ivan", "I"), B("Capek", "Matka")});
    Tree().show();
    auto& capek = AsTreeNode(*Tree().topLevelItem(0));
    ASSERT_EQ(capek.text(0), "Capek");
    EXPECT_EQ(capek.childCount(), 0);
    EXPECT_EQ(capek.TitleCount(), 2);
    EXPECT_EQ(capek.childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

    Tree().setFocus();
    Tree().setCurrentItem(&capek);
    QTest::keyClick(&Tree(), Qt::Key_Right);
    ASSERT_TRUE(capek.isExpanded());
    ASSERT_EQ(capek.childCount(), 2);
    EXPECT_EQ(capek.child(1)->text(0), "Matka");
    EXPECT_EQ(AsTreeNode(*capek.child(1)).RowKey(), 3);
    // The view shows the new rows at once: the next key goes to the first title.
    QTest::keyClick(&Tree(), Qt::Key_Down);
    EXPECT_EQ(Tree().currentItem(), capek.child(0));
    ClickItem(Tree(), capek.child(1));
    EXPECT_EQ(window->form()->titulle->text(), "Matka");

    // A search opens what it finds, and makes those titles only.
    Show({B("Capek", "Krakatit"), B("Ivan", "Matka")});
    Search(QString("matka"));
    EXPECT_EQ(Tree().topLevelItem(0)->childCount(), 0);
    ASSERT_EQ(Tree().topLevelItem(1)->childCount(), 1);
    EXPECT_TRUE(Tree().topLevelItem(1)->isExpanded());
}

// Authors delivered cut (a sized column, a zero byte) give nodes whose text
// no longer equals the stored author: such a node gets only the titles of
// authors stored exactly as its text.
TEST_F(TreeTest, CutAuthorsCollectOnlyTitlesOfTheirExactText) {
    const std::string path = startDir.file("sized.db");
    ExecSql(path,
            "create table svazkovna(id integer, autor varchar(10), titul text, zanr text,"
            " vydal text, serie text, umisteni text, zapujcenokomu text, zapujcenokdy text,"
            " hodnoceni integer, poznamka text, udaj1 text, udaj2 text, udaj3 text);"
            "insert into svazkovna(id, autor, titul) values"
            " (1, 'Abcdefghijk1', 'dlouhy1'), (2, 'Abcdefghij', 'presny'),"
            " (3, 'Abcdefghijk2', 'dlouhy2'), (4, 'Ab', 'kratky'),"
            " (5, cast(x'41620063' as text), 'nula')");
    Reconnect(path);
    // Node texts as delivered: three authors read as "Abcdefghij", two as "Ab".
    EXPECT_EQ(ShownTree(Tree()), (Shown{{"Ab", {"kratky"}},
                                        {"Ab", {"kratky"}},
                                        {"Abcdefghij", {"presny"}},
                                        {"Abcdefghij", {"presny"}},
                                        {"Abcdefghij", {"presny"}}}));
}

TEST_F(TreeTest, FailedTitlesQueryKeepsTheFirstAuthorOnly) {
    Show({B("A", "a")});
    // The authors query works on this table, the titles query does not.
    const std::string path = startDir.file("authors-only.db");
    ExecSql(path, "create table svazkovna(autor text); insert into svazkovna values('C'),('A'),('B')");
    EXPECT_ANY_THROW(Reconnect(path));
    EXPECT_EQ(ShownTree(Tree()), (Shown{{"A", {}}}));
    EXPECT_EQ(SelectedPath(Tree()), "A");
}

TEST_F(TreeTest, FailedAuthorsQueryLeavesTheTreeEmpty) {
    Show({B("A", "a")});
    const std::string path = startDir.file("other.db");
    ExecSql(path, "create table jina(x)");
    EXPECT_ANY_THROW(Reconnect(path));
    EXPECT_EQ(Tree().topLevelItemCount(), 0);
}

TEST_F(TreeTest, SearchExpandsMatchingAuthors) {
    Show({B("Zahrada", "Sad"), B(kCtvrtek, "Noc"), B("Hora", "Kr\xE1sn\xE1 ZIMA"), B("Hora", "Jaro")});
    // Shown order: Čtvrtek, Hora, Zahrada.
    struct Case {
        std::optional<QString> text;
        std::vector<bool> expanded;
    } cases[] = {
        {"\xC4\x8CTVRT", {true, false, false}},  // case folding covers letters with diacritics
        {"krásná z", {false, true, false}},      // a title's match opens its author
        {"a", {false, true, true}},
        {"sad", {false, false, true}},  // the earlier search's expansions are gone
        {"", {false, false, false}},    // empty text matches nothing
        {"xyz", {false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text->toStdString());
        Search(c.text);
        const Shown shown = ShownTree(Tree());
        ASSERT_EQ(shown.size(), 3u);
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(shown[i].expanded, c.expanded[i]) << i;
    }
    // An expanded author shows all its titles, matching or not.
    Search(QString("zima"));
    EXPECT_EQ(ShownTree(Tree())[1], (ShownAuthor{"Hora", {Cp("Kr\xE1sn\xE1 ZIMA"), "Jaro"}, true}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(TreeTest, CancelLeavesTheTreeAsItWas) {
    Show({B("A", "a1"), B("B", "b1"), B("C", "c1")});
    Search(QString("b1"));
    Tree().setCurrentItem(TitleNode(*Tree().topLevelItem(1), 0));
    const Shown before = ShownTree(Tree());
    Search(std::nullopt);
    EXPECT_EQ(ShownTree(Tree()), before);
    EXPECT_EQ(SelectedPath(Tree()), "B/b1");
    ASSERT_EQ(ui.inputs.size(), 2u);
    EXPECT_EQ(ui.inputs[1].caption, "vyhledat");
    EXPECT_EQ(ui.inputs[1].prompt, "v svazkovne:");
    EXPECT_EQ(ui.inputs[1].maxLength, 255);
}

TEST_F(TreeTest, SearchOnEmptyOrSingleAuthorTree) {
    Show({});
    Search(QString("a"));
    EXPECT_EQ(ui.inputs.size(), 1u);
    EXPECT_EQ(Tree().topLevelItemCount(), 0);

    Show({B("Sam", "Jediny"), B("Sam", "Druhy")});
    Tree().setCurrentItem(TitleNode(*Tree().topLevelItem(0), 1));
    Search(QString("nic"));
    EXPECT_EQ(SelectedPath(Tree()), "<none>");
}

// The search's selection rule applied one node at a time, as the user sees it.
QString SimulatedEnd(const QTreeWidget& tree, QTreeWidgetItem* start) {
    QTreeWidgetItem* sel = start && start->parent() ? start->parent() : start;
    int n = 0;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) n += 1 + AsTreeNode(*tree.topLevelItem(i)).TitleCount();
    for (int i = 0; i < n && sel; ++i) {
        QTreeWidgetItem* parent = sel->parent();
        const int count = parent ? AsTreeNode(*parent).TitleCount() : tree.topLevelItemCount();
        const int at = parent ? parent->indexOfChild(sel) : tree.indexOfTopLevelItem(sel);
        const auto sibling = [&](int k) { return parent ? TitleNode(*parent, k) : tree.topLevelItem(k); };
        if (at + 1 < count)
            sel = sibling(at + 1);
        else if (at > 0)
            sel = sibling(at - 1);
        else
            sel = parent;
    }
    if (!sel) return "<none>";
    return sel->parent() ? sel->parent()->text(0) + "/" + sel->text(0) : sel->text(0);
}

TEST_F(TreeTest, SearchEndsWhereTheStepwiseWalkEnds) {
    std::mt19937 random(20240611);
    const std::string letters = "abcde";
    for (int round = 0; round < 25; ++round) {
        std::vector<Book> rows;
        const int authors = 1 + static_cast<int>(random() % 7);
        for (int a = 0; a < authors; ++a) {
            const std::string name = "Autor " + std::string(1, static_cast<char>('A' + a)) + letters[random() % 5];
            const int titles = 1 + static_cast<int>(random() % 4);
            for (int t = 0; t < titles; ++t)
                rows.push_back(B(name, "kniha " + std::string(1, letters[random() % 5]) + letters[random() % 5]));
        }
        Show(rows);
        // Start from no selection, an author or a title.
        QTreeWidgetItem* start = nullptr;
        const int pick = static_cast<int>(random() % 3);
        QTreeWidgetItem* author = Tree().topLevelItem(static_cast<int>(random() % authors));
        if (pick == 1) start = author;
        if (pick == 2) start = TitleNode(*author, static_cast<int>(random() % AsTreeNode(*author).TitleCount()));
        Tree().setCurrentItem(start);
        if (!start) Tree().clearSelection();

        const QString expectedEnd = SimulatedEnd(Tree(), start);
        const QString needle = QString(letters[random() % 5]) + letters[random() % 5];
        std::vector<bool> expectedOpen;
        for (const ShownAuthor& s : ShownTree(Tree())) {
            bool match = s.author.toLower().contains(needle);
            for (const QString& t : s.titles) match = match || t.toLower().contains(needle);
            expectedOpen.push_back(match);
        }
        Search(needle);
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(SelectedPath(Tree()), expectedEnd);
        std::vector<bool> open;
        for (const ShownAuthor& s : ShownTree(Tree())) open.push_back(s.expanded);
        EXPECT_EQ(open, expectedOpen);
    }
}

}  // namespace
}  // namespace testsupport
