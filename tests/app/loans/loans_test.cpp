// The loans window and lending from the tree, with the catalogue read back
// through the system's SQLite library.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include "app/window/tree_node.h"
#include "app/loans/loans.h"
#include "app/loans/loans_capability.h"
#include "app/loans/loans_window.h"
#include "support/app_catalogue_rows.h"
#include "support/app_screen_reader.h"
#include "support/app_scripted_guard.h"
#include "support/app_window_fixture.h"
#include "ui_loans_window.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

const QDate kToday(2026, 12, 8);

Book Lent(std::string titul, std::string komu, std::string kdy, std::optional<long long> id = {}) {
    Book b = BookOf("Autor", std::move(titul));
    b.zapujcenokomu = std::move(komu);
    b.zapujcenokdy = std::move(kdy);
    b.id = id;
    return b;
}

class LoansTest : public WindowFixture {
protected:
    void Open(const std::vector<Book>& books) {
        MakeCatalogue(books);
        OpenWindow();
        window->con1.BusyTimeout = std::chrono::milliseconds(50);
        Command("zapujcky").trigger();
        L().SetToday(kToday);
        L().Refresh();
    }
    LoansWindow& L() const { return *window->capability<LoansCapability>().loansWindow(); }
    ScriptedGuard guard;  // set where a test declines the backup
    Ui::LoansWindow& W() const { return *L().form(); }
    QTreeWidget& List() const { return *W().zapujckytw; }
    // The top rows as "komu|titul|stav", a borrower's row as its label and mark.
    QStringList Shown() const {
        QStringList rows;
        for (int i = 0; i < List().topLevelItemCount(); ++i) {
            const QTreeWidgetItem* top = List().topLevelItem(i);
            if (top->isHidden()) continue;
            rows << top->text(0) + "|" + top->text(LoansWindow::Titul) + "|" + top->text(LoansWindow::Stav);
            for (int c = 0; c < top->childCount(); ++c)
                if (!top->child(c)->isHidden())
                    rows << "  " + top->child(c)->text(LoansWindow::Titul) + "|" +
                                top->child(c)->text(LoansWindow::Stav);
        }
        return rows;
    }
    QTreeWidgetItem* Row(const QString& titul) const {
        const auto found = List().findItems(titul, Qt::MatchExactly | Qt::MatchRecursive, LoansWindow::Titul);
        if (found.isEmpty()) throw std::runtime_error("no row " + titul.toStdString());
        return found.first();
    }
    void Select(const QStringList& titles) {
        List().clearSelection();
        for (const QString& t : titles) Row(t)->setSelected(true);
    }
    // The top rows' titles, the flat list's order.
    QStringList Titles() const {
        QStringList titles;
        for (int i = 0; i < List().topLevelItemCount(); ++i) titles << List().topLevelItem(i)->text(LoansWindow::Titul);
        return titles;
    }
    QStringList TopLabels() const {
        QStringList labels;
        for (int i = 0; i < List().topLevelItemCount(); ++i) labels << List().topLevelItem(i)->text(LoansWindow::Komu);
        return labels;
    }
    // The tree's title node of the (only) author.
    QTreeWidgetItem* Title(const QString& titul) const {
        QTreeWidgetItem* author = Tree().topLevelItem(0);
        for (int i = 0; i < AsTreeNode(*author).TitleCount(); ++i)
            if (TitleNode(*author, i)->text(0) == titul) return TitleNode(*author, i);
        throw std::runtime_error("no title " + titul.toStdString());
    }
    // Returns the books with these titles, answering the question "Ano".
    void Return(const QStringList& titles) {
        Select(titles);
        ui.QueueQuestion(true);
        W().vracenob->click();
    }
    // Each row's id, title and loan fields as stored.
    std::vector<std::string> Stored() const {
        std::vector<std::string> rows;
        for (const testsupport::Row& r : ReadAllRows(CataloguePath()))
            rows.push_back(Describe(r[0]) + " " + Describe(r[2]) + " " + Describe(r[7]) + " " + Describe(r[8]));
        return rows;
    }
};

TEST_F(LoansTest, GroupsCountsMarksOverdueFiltersAndSorts) {
    Open({Lent("Dlouho", "Jan", "1.10.2026"), Lent("Nedavno", "Jan", "20.11.2026"), Lent("Hranice", "Eva", "8.11.2026"),
          Lent("Bez data", "Eva", "2. d\xEDl"), Lent("Nikdo", "", "3.3.2020"), BookOf("Autor", "Doma")});
    EXPECT_EQ(W().souhrnl->text(), QString::fromUtf8("Zapůjčených knih: 5, vypůjčitelů: 2, po lhůtě: 2."));
    const QString late = QString::fromUtf8("po lhůtě");
    EXPECT_EQ(Shown(),
              QStringList({"Eva (2)||", "  Hranice|", "  Bez data|", "Jan (2)||" + late + " 1", "  Dlouho|" + late,
                           "  Nedavno|", QString::fromUtf8("(bez jména) (1)||") + late + " 1", "  Nikdo|" + late}));
    EXPECT_EQ(Row("Dlouho")->background(0).color(), QColor(255, 226, 226));
    EXPECT_EQ(Row("Bez data")->text(LoansWindow::Kdy), QString::fromUtf8("2. díl")) << "shown as typed";

    // A day longer: the boundary loan is overdue as well.
    W().lhutaspin->setValue(29);
    EXPECT_EQ(W().souhrnl->text(), QString::fromUtf8("Zapůjčených knih: 5, vypůjčitelů: 2, po lhůtě: 3."));
    EXPECT_EQ(Row("Hranice")->text(LoansWindow::Stav), late);

    W().hledatle->setText("EVA");
    EXPECT_EQ(Shown(), QStringList({"Eva (2)||" + late + " 1", "  Hranice|" + late, "  Bez data|"}));
    W().hledatle->clear();

    // Flat and sorted by date: a text without a date goes last both ways.
    W().seskupitchb->setChecked(false);
    List().sortByColumn(LoansWindow::Datum, Qt::AscendingOrder);
    QStringList titles;
    for (int i = 0; i < List().topLevelItemCount(); ++i) titles << List().topLevelItem(i)->text(LoansWindow::Titul);
    EXPECT_EQ(titles, QStringList({"Nikdo", "Dlouho", "Hranice", "Nedavno", "Bez data"}));
    List().sortByColumn(LoansWindow::Datum, Qt::DescendingOrder);
    titles.clear();
    for (int i = 0; i < List().topLevelItemCount(); ++i) titles << List().topLevelItem(i)->text(LoansWindow::Titul);
    EXPECT_EQ(titles, QStringList({"Nedavno", "Hranice", "Dlouho", "Nikdo", "Bez data"}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(LoansTest, ReturnChangesExactlyTheChosenRowsWhateverTheirIds) {
    Open({Lent("A", "Jan", "1.1.2026", 5), Lent("B", "Jan", "2.1.2026", 5), Lent("C", "Eva", "x", 7),
          Lent("D", "Eva", "y", 8), Lent("E", "Ota", "1.1.2020", 0), Lent("F", "Ota", "", 1LL << 40),
          Lent("G", "Ota", "5.5.2025", 1LL << 40)});
    ExecSql(CataloguePath(),
            "update svazkovna set id=NULL where titul in ('C','D');"
            "insert into svazkovna(rowid,id,autor,titul,zapujcenokomu,zapujcenokdy) "
            "values(4294967298,9,'Autor','H','Ida','1.1.2026'),(4294967299,9,'Autor','I','Ida','')");
    L().Refresh();
    Select({"B", "C", "F", "I"});

    // A declined backup or a "Ne" changes nothing.
    window->session().SetGuard(&guard);
    guard.answer = false;
    ui.QueueQuestion(true);
    const auto before = Stored();
    W().vracenob->click();
    ui.QueueQuestion(false);
    W().vracenob->click();
    EXPECT_EQ(Stored(), before);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Question);
    EXPECT_TRUE(ui.boxes[0].text.contains("4 knih")) << ui.boxes[0].text.toStdString();

    guard.answer = true;
    ui.QueueQuestion(true);
    W().vracenob->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"5 'A' 'Jan' '1.1.2026'", "5 'B' '' ''", "NULL 'C' '' ''",
                                                  "NULL 'D' 'Eva' 'y'", "0 'E' 'Ota' '1.1.2020'",
                                                  "1099511627776 'F' '' ''", "1099511627776 'G' 'Ota' '5.5.2025'",
                                                  "9 'H' 'Ida' '1.1.2026'", "9 'I' '' ''"}));
    EXPECT_EQ(IntegrityCheck(CataloguePath()), "ok");
    EXPECT_EQ(L().Loans().size(), 5u) << "the list is read anew";
    EXPECT_EQ(ui.boxes.size(), 3u);
}

TEST_F(LoansTest, LockedCatalogueReportsAndLosesNothing) {
    Open({Lent("A", "Jan", "1.1.2026"), Lent("B", "Eva", "2.1.2026")});
    const auto before = Stored();
    Select({"A", "B"});
    {
        WriteLock lock(CataloguePath());
        ui.QueueQuestion(true);
        W().vracenob->click();
    }
    EXPECT_EQ(Stored(), before);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].kind, ScriptedUi::BoxKind::Error);
    EXPECT_EQ(ui.boxes[1].text, QString::fromUtf8("Katalog právě používá jiný program. Zkuste to znovu za chvíli."));
    EXPECT_EQ(ui.boxes[1].details, "database is locked");
    EXPECT_EQ(L().Loans().size(), 2u);
    // The connection is not left inside a transaction: the next try goes
    // through, except on a row another program changed since it was read.
    ExecSql(CataloguePath(), "update svazkovna set zapujcenokomu='Ota' where titul='A'");
    ui.QueueQuestion(true);
    W().vracenob->click();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"1 'A' 'Ota' '1.1.2026'", "2 'B' '' ''"}));
    ASSERT_EQ(ui.boxes.size(), 4u);
    EXPECT_EQ(ui.boxes[3].kind, ScriptedUi::BoxKind::Information);
    EXPECT_TRUE(ui.boxes[3].text.contains(QString::fromUtf8("U 1 z 2 vybraných knih")))
        << ui.boxes[3].text.toStdString();
    EXPECT_EQ(L().Loans().size(), 1u);
}

TEST_F(LoansTest, PeriodIsKeptBesideTheOtherSettings) {
    const std::string ini = "; moje poznamka\r\n[jine]\r\nklic=1\r\n[nastaveni]\r\nwebbrowserskript=http://x/?q=\r\n";
    WriteFile(exeDir.path() / "nastav.ini", ini);
    Open({Lent("A", "Jan", "1.1.2026")});
    EXPECT_EQ(W().lhutaspin->value(), 30);
    W().lhutaspin->setValue(45);
    const std::string written = ReadFile(exeDir.path() / "nastav.ini");
    EXPECT_EQ(written,
              "; moje poznamka\r\n[jine]\r\nklic=1\r\n[nastaveni]\r\nwebbrowserskript=http://x/?q=\r\n"
              "vypujcnilhuta=45\r\n");
    EXPECT_EQ(ReadLoanPeriod(window->SettingsPath()), 45);
    WriteFile(exeDir.path() / "nastav.ini", "[nastaveni]\r\nvypujcnilhuta=0\r\n");
    EXPECT_EQ(ReadLoanPeriod(window->SettingsPath()), kDefaultLoanPeriod) << "out of range";
}

TEST_F(LoansTest, LendAndReturnFromTheTreeKeepThePanelTrue) {
    Book other = BookOf("Autor", "Jina");
    other.zapujcenokomu = "Eva";
    Open({BookOf("Autor", "Kniha"), BookOf("Autor", "Kniha"), other});
    Ui::TForm1& f = *window->form();
    f.wb1skriptle->setText("http://hledej/?q=");
    QTreeWidgetItem* author = Tree().topLevelItem(0);
    ClickItem(Tree(), TitleNode(*author, 1));  // the panel shows the second "Kniha"
    browser->urls.clear();

    std::unique_ptr<QMenu> menu = window->TitleMenu(*TitleNode(*author, 1));
    // The loans' two entries, the book's loan history, then completing the book by ISBN.
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[2]->text(), QString::fromUtf8("historie výpůjček…"));
    EXPECT_EQ(menu->actions()[3]->text(), QString::fromUtf8("doplnit podle ISBN…"));
    EXPECT_TRUE(menu->actions()[0]->isEnabled());
    EXPECT_FALSE(menu->actions()[1]->isEnabled()) << "not lent: nothing to return";
    ui.QueueInput(QString::fromUtf8("Řehoř"));
    menu->actions()[0]->trigger();
    ASSERT_EQ(ui.itemInputs.size(), 1u);
    EXPECT_EQ(ui.itemInputs[0].items, QStringList({"Eva"}));
    const std::string today = LoanDateText(QDate::currentDate()).toStdString();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"1 'Kniha' '' ''", "2 'Kniha' '\\xD8eho\\xF8' '" + today + "'",
                                                  "3 'Jina' 'Eva' ''"}));
    EXPECT_EQ(f.zapujcenokomucb->currentText(), QString::fromUtf8("Řehoř"));
    EXPECT_EQ(f.zapujcenokdyle->text(), QString::fromStdString(today));
    f.ulozitb->click();  // a later save keeps the loan
    EXPECT_EQ(Stored()[1], "2 'Kniha' '\\xD8eho\\xF8' '" + today + "'");

    // A name the code page cannot hold is refused like the panel does.
    menu = window->TitleMenu(*TitleNode(*Tree().topLevelItem(0), 0));
    ui.QueueInput(QString::fromUtf8("Jan 📚"));
    menu->actions()[0]->trigger();
    EXPECT_EQ(Stored()[0], "1 'Kniha' '' ''");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("📚")));

    menu = window->TitleMenu(*TitleNode(*Tree().topLevelItem(0), 1));
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
    menu->actions()[1]->trigger();
    EXPECT_EQ(Stored()[1], "2 'Kniha' '' ''");
    EXPECT_EQ(f.zapujcenokomucb->currentText(), "");
    EXPECT_TRUE(browser->urls.empty()) << "no web lookup without a left click";

    // The open loans window follows changes made from the panel.
    QCoreApplication::processEvents();
    EXPECT_EQ(L().Loans().size(), 1u);
    ClickItem(Tree(), TitleNode(*Tree().topLevelItem(0), 0));
    f.zapujcenokomucb->setEditText("Ota");
    f.ulozitb->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(L().Loans().size(), 2u);
}

TEST_F(LoansTest, ExportsTheListAsShownAndWritesAReminder) {
    Open({Lent("R&D; \"druhy\"", "Jan", "1.1.2026"), Lent("Jiny", "Eva", "x"), Lent("Treti", "Jan", "")});
    W().hledatle->setText("jan");
    const std::string csv = startDir.file("z.csv");
    ui.QueueSaveFile(QString::fromStdString(csv));
    W().csvb->click();
    EXPECT_EQ(ReadFile(csv),
              "komu;zapůjčeno kdy;datum;dní;stav;autor;titul;umístění\r\n"
              "Jan;1.1.2026;1.1.2026;341;po lhůtě;Autor;\"R&D; \"\"druhy\"\"\";\r\n"
              "Jan;;;;;Autor;Treti;\r\n");
    const std::string pdf = startDir.file("z.pdf");
    ui.QueueSaveFile(QString::fromStdString(pdf));
    W().pdfb->click();
    EXPECT_EQ(ReadFile(pdf).substr(0, 5), "%PDF-");
    // Its text, header row included, as a PDF reader extracts it.
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    ASSERT_FALSE(pdftotext.isEmpty()) << "pdftotext is missing: scripts/setup.sh installs poppler-utils";
    QProcess extract;
    extract.start(pdftotext, {"-layout", QString::fromStdString(pdf), "-"});
    ASSERT_TRUE(extract.waitForFinished(30000));
    const QStringList lines = QString::fromUtf8(extract.readAllStandardOutput()).split('\n');
    QStringList text;
    for (const QString& line : lines)
        if (!line.simplified().isEmpty()) text << line.simplified();
    ASSERT_GE(text.size(), 4) << text.join('|').toStdString();
    EXPECT_EQ(text[0], QString::fromUtf8("Zápůjčky"));
    EXPECT_EQ(text[1], QString::fromUtf8("Zapůjčených knih: 3, vypůjčitelů: 2, po lhůtě: 1."));
    EXPECT_EQ(text[2], QString::fromUtf8("komu zapůjčeno kdy datum dní stav autor titul umístění"));
    EXPECT_EQ(text[3], QString::fromUtf8("Jan 1.1.2026 1.1.2026 341 po lhůtě Autor R&D; \"druhy\""));
    ASSERT_EQ(text.size(), 6) << text.join("|").toStdString();
    EXPECT_EQ(text[4], "Jan Autor Treti");
    EXPECT_EQ(text[5], "strana 1 z 1") << "the page number";

    L().form()->zapujckytw->setCurrentItem(Row("Treti"));
    W().pripomenoutb->click();
    ASSERT_EQ(ui.urls.size(), 1u);
    const QUrl url(ui.urls[0]);
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_EQ(url.path(), "");
    const QString body = QUrl::fromPercentEncoding(ui.urls[0].section("&body=", 1).toUtf8());
    EXPECT_TRUE(body.contains(QString::fromUtf8("- Autor: R&D; \"druhy\" (od 1.1.2026)\r\n- Autor: Treti\r\n")))
        << body.toStdString();
    EXPECT_FALSE(body.contains("Jiny"));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(LoansTest, PanelFollowsTheLoanOfItsOwnRowWhateverTheIds) {
    Open({Lent("Alfa", "Eva", "1.12.2026", 5), Lent("Beta", "", "", 5), Lent("Gama", "Jan", "2.12.2026", 7),
          Lent("Delta", "Ida", "3.12.2026", 1LL << 40)});
    ExecSql(CataloguePath(), "update svazkovna set id=NULL where titul='Gama'");
    Ui::TForm1& f = *window->form();
    const auto panel = [&] { return f.zapujcenokomucb->currentText() + "|" + f.zapujcenokdyle->text(); };
    const std::string today = LoanDateText(QDate::currentDate()).toStdString();

    // Another book with the panel's id is lent: the panel keeps its own loan,
    // and its save keeps it too.
    ClickItem(Tree(), Title("Alfa"));
    ui.QueueInput(QString("Ota"));
    window->TitleMenu(*Title("Beta"))->actions()[0]->trigger();
    EXPECT_EQ(panel(), "Eva|1.12.2026");
    f.ulozitb->click();

    // The shown book, with a NULL id, returned from the loans window.
    ClickItem(Tree(), Title("Gama"));
    L().Refresh();
    Return({"Gama"});
    EXPECT_EQ(panel(), "|");
    f.ulozitb->click();

    // The shown book, with an id beyond 32 bits, returned from the tree.
    ClickItem(Tree(), Title("Delta"));
    window->TitleMenu(*Title("Delta"))->actions()[1]->trigger();
    EXPECT_EQ(panel(), "|");
    f.ulozitb->click();

    EXPECT_EQ(Stored(), (std::vector<std::string>{"5 'Alfa' 'Eva' '1.12.2026'", "5 'Beta' 'Ota' '" + today + "'",
                                                  "NULL 'Gama' '' ''", "1099511627776 'Delta' '' ''"}));
    EXPECT_TRUE(ui.boxes.size() == 1u) << "only the return's question";
}

TEST_F(LoansTest, ReturnsWhileAScreenReaderReadsTheList) {
    // A reader asks after the row that loses its selection while the list is
    // emptied: it must still read that row's own book, never another's or freed data.
    const ScreenReader reader;
    Open({Lent("Prvni", "Jan", "1.1.2026"), Lent("Druha", "Eva", "2.1.2026"), Lent("Treti", "Ota", "3.1.2026")});
    for (const bool grouped : {true, false}) {
        SCOPED_TRACE(grouped ? "grouped" : "flat");
        W().seskupitchb->setChecked(grouped);
        for (const QString& title : {QString("Druha"), QString("Treti")}) {
            List().setCurrentItem(Row(title));
            ScreenReader::Forget();
            Return({title});
            EXPECT_TRUE(ScreenReader::Heard().contains(title)) << ScreenReader::Heard().join('|').toStdString();
            EXPECT_FALSE(List().findItems(title, Qt::MatchExactly | Qt::MatchRecursive, LoansWindow::Titul).size());
        }
        // A list read anew (the catalogue changed meanwhile) is the same case.
        ExecSql(CataloguePath(),
                "update svazkovna set zapujcenokomu='Eva' where titul='Druha';"
                "update svazkovna set zapujcenokomu='Ota' where titul='Treti'");
        L().Refresh();
        List().setCurrentItem(Row("Treti"));
        ExecSql(CataloguePath(), "update svazkovna set zapujcenokomu='' where titul='Treti'");
        ScreenReader::Forget();
        L().Refresh();
        EXPECT_TRUE(ScreenReader::Heard().contains("Treti"));
        EXPECT_EQ(L().Loans().size(), 2u);
        ExecSql(CataloguePath(), "update svazkovna set zapujcenokomu='Ota' where titul='Treti'");
        L().Refresh();
    }
}

TEST_F(LoansTest, ImpossibleAndFutureDatesAreShownMarked) {
    Open({Lent("Unor", "Jan", "31.2.2026"), Lent("Zitra", "Jan", "9.12.2026"), Lent("Vydani", "Eva", "2. vyd. 1998"),
          Lent("Leto", "Eva", "v roce 2019")});
    const auto cells = [&](const char* title) {
        const QTreeWidgetItem* row = Row(title);
        return QStringList{row->text(LoansWindow::Kdy), row->text(LoansWindow::Datum), row->text(LoansWindow::Dni),
                           row->text(LoansWindow::Stav)};
    };
    EXPECT_EQ(cells("Unor"), QStringList({"31.2.2026", "", "", QString::fromUtf8("neplatné datum")}));
    EXPECT_EQ(cells("Zitra"), QStringList({"9.12.2026", "9.12.2026", "-1", QString::fromUtf8("budoucí datum")}));
    EXPECT_EQ(cells("Vydani"), QStringList({"2. vyd. 1998", "", "", ""}));
    EXPECT_EQ(cells("Leto"), QStringList({"v roce 2019", "2019", "2534", QString::fromUtf8("po lhůtě")}));
    EXPECT_EQ(W().souhrnl->text(), QString::fromUtf8("Zapůjčených knih: 4, vypůjčitelů: 2, po lhůtě: 1."));
    W().hledatle->setText(QString::fromUtf8("neplatné"));
    EXPECT_EQ(Shown(), QStringList({"Jan (1)||", QString::fromUtf8("  Unor|neplatné datum")}));
}

TEST_F(LoansTest, FilterIgnoresCaseAndAccents) {
    Book capek = Lent("Krakatit", "Jan", "1.12.2026");
    capek.autor =
        "\xC8"
        "apek";  // Čapek
    Open({Lent("Dlouho",
               "\x8A\x9D"
               "astn\xFD",
               "1.1.2026"),
          capek, Lent("Jiny", "Eva", "5.12.2026")});
    const auto titlesFor = [&](const char* typed) {
        W().hledatle->setText(QString::fromUtf8(typed));
        QStringList titles;
        for (const Loan* loan : L().ShownLoans()) titles << loan->titul;
        return titles;
    };
    EXPECT_EQ(titlesFor("stastny"), QStringList({"Dlouho"}));
    EXPECT_EQ(titlesFor("ŠŤASTNÝ"), QStringList({"Dlouho"}));
    EXPECT_EQ(titlesFor("capek"), QStringList({"Krakatit"}));
    EXPECT_EQ(titlesFor("po lhute"), QStringList({"Dlouho"}));
    EXPECT_EQ(titlesFor("  PO LHŮTĚ "), QStringList({"Dlouho"}));
    EXPECT_EQ(titlesFor("5.12"), QStringList({"Jiny"}));
    EXPECT_EQ(titlesFor("y\nj"), QStringList()) << "never across two columns";
    EXPECT_EQ(titlesFor(""), QStringList({"Jiny", "Krakatit", "Dlouho"}));
}

TEST_F(LoansTest, BorrowerNamesAreComparedTrimmed) {
    Open({Lent("A", "Jan Nov\xE1k ", "1.1.2026"), Lent("B", "Jan Nov\xE1k", "1.12.2026"), Lent("C", " Eva", "x"),
          BookOf("Autor", "D")});
    EXPECT_EQ(TopLabels(), QStringList({"Eva (1)", QString::fromUtf8("Jan Novák (2)")}));
    EXPECT_EQ(W().souhrnl->text(), QString::fromUtf8("Zapůjčených knih: 3, vypůjčitelů: 2, po lhůtě: 1."));
    List().setCurrentItem(Row("B"));
    W().pripomenoutb->click();
    ASSERT_EQ(ui.urls.size(), 1u);
    const QString body = QUrl::fromPercentEncoding(ui.urls[0].section("&body=", 1).toUtf8());
    EXPECT_TRUE(body.contains("- Autor: A (od 1.1.2026)\r\n- Autor: B (od 1.12.2026)\r\n")) << body.toStdString();

    // Lent from the tree: stored trimmed, and the dialog offers each name once.
    ClickItem(Tree(), TitleNode(*Tree().topLevelItem(0), 3));
    std::unique_ptr<QMenu> menu = window->TitleMenu(*TitleNode(*Tree().topLevelItem(0), 3));
    ui.QueueInput(QString::fromUtf8("  Jan Novák\t"));
    menu->actions()[0]->trigger();
    ASSERT_EQ(ui.itemInputs.size(), 1u);
    EXPECT_EQ(ui.itemInputs[0].items, QStringList({"Eva", QString::fromUtf8("Jan Novák")}));
    const std::string today = LoanDateText(QDate::currentDate()).toStdString();
    EXPECT_EQ(Stored(),
              (std::vector<std::string>{"1 'A' 'Jan Nov\\xE1k ' '1.1.2026'", "2 'B' 'Jan Nov\\xE1k' '1.12.2026'",
                                        "3 'C' ' Eva' 'x'", "4 'D' 'Jan Nov\\xE1k' '" + today + "'"}))
        << "the other names stay as stored";
    EXPECT_EQ(window->form()->zapujcenokomucb->currentText(), QString::fromUtf8("Jan Novák"));
}

TEST_F(LoansTest, CsvCellsCannotRunFormulas) {
    Open({Lent("=HYPERLINK(\"http://x\";\"klik\")", "+420 603", "9.12.2026"), Lent("-2+3", "@SUM(A1)", "1.1.2026"),
          Lent("\tTab", "\rCR", ""), Lent("Obycejny - titul", "Jan", "1.12.2026")});
    W().seskupitchb->setChecked(false);
    List().sortByColumn(LoansWindow::Titul, Qt::AscendingOrder);
    const std::string csv = startDir.file("f.csv");
    ui.QueueSaveFile(QString::fromStdString(csv));
    W().csvb->click();
    EXPECT_EQ(ReadFile(csv),
              "komu;zapůjčeno kdy;datum;dní;stav;autor;titul;umístění\r\n"
              "\"'\r"
              "CR\";;;;;Autor;'\tTab;\r\n"
              "'@SUM(A1);1.1.2026;1.1.2026;341;po lhůtě;Autor;'-2+3;\r\n"
              "'+420 603;9.12.2026;9.12.2026;-1;budoucí datum;Autor;\"'=HYPERLINK(\"\"http://x\"\";\"\"klik\"\")\";\r\n"
              "Jan;1.12.2026;1.12.2026;7;;Autor;Obycejny - titul;\r\n");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(LoansTest, GroupsStayInNameOrderAndShowTheirCounts) {
    const std::string longName = "Jaroslava Dlouhojmenn\xE1 z Vysok\xE9ho M\xFDta";
    Open({Lent("A", "Zeman", "1.1.2026"),
          Lent("B",
               "\xC8"
               "apek",
               "1.1.2026"),
          Lent("C", "Hora", "1.1.2026"), Lent("D", "Chalupa", "1.1.2026"), Lent("E", longName, "1.1.2026"),
          Lent("F", "", "1.1.2026"), Lent("G", "Adam", "1.1.2026"), BookOf("Autor", "H")});
    const QStringList names = {"Adam (1)",
                               QString::fromUtf8("Čapek (1)"),
                               "Hora (1)",
                               "Chalupa (1)",
                               QString::fromUtf8("Jaroslava Dlouhojmenná z Vysokého Mýta (1)"),
                               "Zeman (1)",
                               QString::fromUtf8("(bez jména) (1)")};
    EXPECT_EQ(TopLabels(), names);
    for (const int column : {int(LoansWindow::Komu), int(LoansWindow::Titul), int(LoansWindow::Datum)})
        for (const Qt::SortOrder order : {Qt::DescendingOrder, Qt::AscendingOrder}) {
            List().sortByColumn(column, order);
            EXPECT_EQ(TopLabels(), names) << column << " " << order;
        }
    // The longest label fits its column whole.
    const int needed = List().fontMetrics().horizontalAdvance(names[4]) + List().indentation();
    EXPECT_GE(List().columnWidth(LoansWindow::Komu), needed);

    // The "půjčit" dialog offers the names in Czech order.
    std::unique_ptr<QMenu> menu = window->TitleMenu(*TitleNode(*Tree().topLevelItem(0), 7));
    ui.QueueInput(std::nullopt);
    menu->actions()[0]->trigger();
    ASSERT_EQ(ui.itemInputs.size(), 1u);
    EXPECT_EQ(ui.itemInputs[0].items,
              QStringList({"Adam", QString::fromUtf8("Čapek"), "Hora", "Chalupa",
                           QString::fromUtf8("Jaroslava Dlouhojmenná z Vysokého Mýta"), "Zeman"}));
}

TEST_F(LoansTest, ReturnSaysExactlyHowManyAndKeepsTheOrder) {
    Open({Lent("Cyril", "Jan", "1.1.2026"), Lent("Adam", "Eva", "2.1.2026"), Lent("Bedrich", "Ota", "3.1.2026"),
          Lent("Dana", "Ida", "4.1.2026"), Lent("Emil", "Jan", "5.1.2026"), Lent("Filip", "Jan", "6.1.2026")});
    W().seskupitchb->setChecked(false);
    List().sortByColumn(LoansWindow::Titul, Qt::AscendingOrder);
    EXPECT_EQ(Titles(), QStringList({"Adam", "Bedrich", "Cyril", "Dana", "Emil", "Filip"}));
    Return({"Adam"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, QString::fromUtf8("Zapsat vrácení 1 knihy? U každé se vyprázdní „zapůjčeno komu“ "
                                                  "a „zapůjčeno kdy“."));
    // The rows after the returned one keep their own sort keys.
    EXPECT_EQ(Titles(), QStringList({"Bedrich", "Cyril", "Dana", "Emil", "Filip"}));
    List().sortByColumn(LoansWindow::Komu, Qt::AscendingOrder);
    EXPECT_EQ(Titles(), QStringList({"Dana", "Cyril", "Emil", "Filip", "Bedrich"}));
    List().sortByColumn(LoansWindow::Titul, Qt::DescendingOrder);
    EXPECT_EQ(Titles(), QStringList({"Filip", "Emil", "Dana", "Cyril", "Bedrich"}));

    // Four at once, one changed meanwhile by another program.
    ExecSql(CataloguePath(), "update svazkovna set zapujcenokomu='Ota' where titul='Emil'");
    Return({"Bedrich", "Cyril", "Dana", "Emil"});
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[1].text, QString::fromUtf8("Zapsat vrácení 4 knih? U každé se vyprázdní „zapůjčeno komu“ "
                                                  "a „zapůjčeno kdy“."));
    EXPECT_EQ(ui.boxes[2].text, QString::fromUtf8("U 1 z 4 vybraných knih se záznam mezitím v katalogu změnil, "
                                                  "proto zůstal beze změny. Seznam je načten znovu."));
    EXPECT_EQ(Titles(), QStringList({"Filip", "Emil"}));
    List().clearSelection();
    W().vracenob->click();
    ASSERT_EQ(ui.boxes.size(), 4u);
    EXPECT_EQ(ui.boxes[3].text, QString::fromUtf8("Vyberte v seznamu knihy, které se vrátily."));
    EXPECT_EQ(BooksGenitive(2), "2 knih");
    EXPECT_EQ(BooksGenitive(21), "21 knih");
}

}  // namespace
}  // namespace testsupport
