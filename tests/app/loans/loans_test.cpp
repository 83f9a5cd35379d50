// The loans window and lending from the tree, with the catalogue read back
// through the system's SQLite library.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include "app/loans/loans.h"
#include "app/loans/loans_capability.h"
#include "app/loans/loans_window.h"
#include "support/app_catalogue_rows.h"
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
        window->form()->zapujcky->trigger();
        L().SetToday(kToday);
        L().Refresh();
    }
    Tzapujckyf& L() const { return *window->capability<LoansCapability>().loansWindow(); }
    Ui::Tzapujckyf& W() const { return *L().form(); }
    QTreeWidget& List() const { return *W().zapujckytw; }
    // The top rows as "komu|titul|stav", a borrower's row as its label and mark.
    QStringList Shown() const {
        QStringList rows;
        for (int i = 0; i < List().topLevelItemCount(); ++i) {
            const QTreeWidgetItem* top = List().topLevelItem(i);
            if (top->isHidden()) continue;
            rows << top->text(0) + "|" + top->text(Tzapujckyf::Titul) + "|" + top->text(Tzapujckyf::Stav);
            for (int c = 0; c < top->childCount(); ++c)
                if (!top->child(c)->isHidden())
                    rows << "  " + top->child(c)->text(Tzapujckyf::Titul) + "|" +
                                top->child(c)->text(Tzapujckyf::Stav);
        }
        return rows;
    }
    QTreeWidgetItem* Row(const QString& titul) const {
        const auto found = List().findItems(titul, Qt::MatchExactly | Qt::MatchRecursive, Tzapujckyf::Titul);
        if (found.isEmpty()) throw std::runtime_error("no row " + titul.toStdString());
        return found.first();
    }
    void Select(const QStringList& titles) {
        List().clearSelection();
        for (const QString& t : titles) Row(t)->setSelected(true);
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
    Open({Lent("Dlouho", "Jan", "1.10.2026"), Lent("Nedavno", "Jan", "20.11.2026"),
          Lent("Hranice", "Eva", "8.11.2026"), Lent("Bez data", "Eva", "2. d\xEDl"),
          Lent("Nikdo", "", "3.3.2020"), BookOf("Autor", "Doma")});
    EXPECT_EQ(W().souhrnl->text(), QString::fromUtf8("Zapůjčených knih: 5, vypůjčitelů: 2, po lhůtě: 2."));
    const QString late = QString::fromUtf8("po lhůtě");
    EXPECT_EQ(Shown(), QStringList({"Eva (2)||", "  Hranice|", "  Bez data|", "Jan (2)||" + late + " 1",
                                    "  Dlouho|" + late, "  Nedavno|", QString::fromUtf8("(bez jména) (1)||") + late + " 1",
                                    "  Nikdo|" + late}));
    EXPECT_EQ(Row("Dlouho")->background(0).color(), QColor(255, 226, 226));
    EXPECT_EQ(Row("Bez data")->text(Tzapujckyf::Kdy), QString::fromUtf8("2. díl")) << "shown as typed";

    // A day longer: the boundary loan is overdue as well.
    W().lhutaspin->setValue(29);
    EXPECT_EQ(W().souhrnl->text(), QString::fromUtf8("Zapůjčených knih: 5, vypůjčitelů: 2, po lhůtě: 3."));
    EXPECT_EQ(Row("Hranice")->text(Tzapujckyf::Stav), late);

    W().hledatle->setText("EVA");
    EXPECT_EQ(Shown(), QStringList({"Eva (2)||" + late + " 1", "  Hranice|" + late, "  Bez data|"}));
    W().hledatle->clear();

    // Flat and sorted by date: a text without a date goes last both ways.
    W().seskupitchb->setChecked(false);
    List().sortByColumn(Tzapujckyf::Datum, Qt::AscendingOrder);
    QStringList titles;
    for (int i = 0; i < List().topLevelItemCount(); ++i) titles << List().topLevelItem(i)->text(Tzapujckyf::Titul);
    EXPECT_EQ(titles, QStringList({"Nikdo", "Dlouho", "Hranice", "Nedavno", "Bez data"}));
    List().sortByColumn(Tzapujckyf::Datum, Qt::DescendingOrder);
    titles.clear();
    for (int i = 0; i < List().topLevelItemCount(); ++i) titles << List().topLevelItem(i)->text(Tzapujckyf::Titul);
    EXPECT_EQ(titles, QStringList({"Nedavno", "Hranice", "Dlouho", "Nikdo", "Bez data"}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(LoansTest, ReturnChangesExactlyTheChosenRowsWhateverTheirIds) {
    Open({Lent("A", "Jan", "1.1.2026", 5), Lent("B", "Jan", "2.1.2026", 5), Lent("C", "Eva", "x", 7),
          Lent("D", "Eva", "y", 8), Lent("E", "Ota", "1.1.2020", 0), Lent("F", "Ota", "", 1LL << 40),
          Lent("G", "Ota", "5.5.2025", 1LL << 40)});
    ExecSql(CataloguePath(), "update svazkovna set id=NULL where titul in ('C','D');"
                             "insert into svazkovna(rowid,id,autor,titul,zapujcenokomu,zapujcenokdy) "
                             "values(4294967298,9,'Autor','H','Ida','1.1.2026'),(4294967299,9,'Autor','I','Ida','')");
    L().Refresh();
    Select({"B", "C", "F", "I"});

    // A declined backup or a "Ne" changes nothing.
    window->capability<LoansCapability>().loanWriter().beforeChange = [] { return false; };
    ui.QueueQuestion(true);
    const auto before = Stored();
    W().vracenob->click();
    ui.QueueQuestion(false);
    W().vracenob->click();
    EXPECT_EQ(Stored(), before);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].kind, ScriptedUi::BoxKind::Question);
    EXPECT_TRUE(ui.boxes[0].text.contains("4 knih")) << ui.boxes[0].text.toStdString();

    window->capability<LoansCapability>().loanWriter().beforeChange = [] { return true; };
    ui.QueueQuestion(true);
    W().vracenob->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(Stored(), (std::vector<std::string>{
                            "5 'A' 'Jan' '1.1.2026'", "5 'B' '' ''", "NULL 'C' '' ''",
                            "NULL 'D' 'Eva' 'y'", "0 'E' 'Ota' '1.1.2020'", "1099511627776 'F' '' ''",
                            "1099511627776 'G' 'Ota' '5.5.2025'", "9 'H' 'Ida' '1.1.2026'", "9 'I' '' ''"}));
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
    EXPECT_TRUE(ui.boxes[1].text.contains("locked")) << ui.boxes[1].text.toStdString();
    EXPECT_EQ(L().Loans().size(), 2u);
    // The connection is not left inside a transaction: the next try goes
    // through, except on a row another program changed since it was read.
    ExecSql(CataloguePath(), "update svazkovna set zapujcenokomu='Ota' where titul='A'");
    ui.QueueQuestion(true);
    W().vracenob->click();
    EXPECT_EQ(Stored(), (std::vector<std::string>{"1 'A' 'Ota' '1.1.2026'", "2 'B' '' ''"}));
    ASSERT_EQ(ui.boxes.size(), 4u);
    EXPECT_EQ(ui.boxes[3].kind, ScriptedUi::BoxKind::Information);
    EXPECT_TRUE(ui.boxes[3].text.contains(QString::fromUtf8("U 1 z 2 vybraných knih"))) << ui.boxes[3].text.toStdString();
    EXPECT_EQ(L().Loans().size(), 1u);
}

TEST_F(LoansTest, PeriodIsKeptBesideTheOtherSettings) {
    const std::string ini = "; moje poznamka\r\n[jine]\r\nklic=1\r\n[nastaveni]\r\nwebbrowserskript=http://x/?q=\r\n";
    WriteFile(exeDir.path() / "nastav.ini", ini);
    Open({Lent("A", "Jan", "1.1.2026")});
    EXPECT_EQ(W().lhutaspin->value(), 30);
    W().lhutaspin->setValue(45);
    const std::string written = ReadFile(exeDir.path() / "nastav.ini");
    EXPECT_EQ(written, "; moje poznamka\r\n[jine]\r\nklic=1\r\n[nastaveni]\r\nwebbrowserskript=http://x/?q=\r\n"
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
    ClickItem(Tree(), author->child(1));  // the panel shows the second "Kniha"
    browser->urls.clear();

    std::unique_ptr<QMenu> menu = window->TitleMenu(*author->child(1));
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[2]->text(), QString::fromUtf8("historie výpůjček…"));
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
    menu = window->TitleMenu(*Tree().topLevelItem(0)->child(0));
    ui.QueueInput(QString::fromUtf8("Jan 📚"));
    menu->actions()[0]->trigger();
    EXPECT_EQ(Stored()[0], "1 'Kniha' '' ''");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("📚")));

    menu = window->TitleMenu(*Tree().topLevelItem(0)->child(1));
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
    menu->actions()[1]->trigger();
    EXPECT_EQ(Stored()[1], "2 'Kniha' '' ''");
    EXPECT_EQ(f.zapujcenokomucb->currentText(), "");
    EXPECT_TRUE(browser->urls.empty()) << "no web lookup without a left click";

    // The open loans window follows changes made from the panel.
    QCoreApplication::processEvents();
    EXPECT_EQ(L().Loans().size(), 1u);
    ClickItem(Tree(), Tree().topLevelItem(0)->child(0));
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
    EXPECT_EQ(ReadFile(csv), "komu;zapůjčeno kdy;datum;dní;stav;autor;titul;umístění\r\n"
                             "Jan;1.1.2026;1.1.2026;341;po lhůtě;Autor;\"R&D; \"\"druhy\"\"\";\r\n"
                             "Jan;;;;;Autor;Treti;\r\n");
    const std::string pdf = startDir.file("z.pdf");
    ui.QueueSaveFile(QString::fromStdString(pdf));
    W().pdfb->click();
    EXPECT_EQ(ReadFile(pdf).substr(0, 5), "%PDF-");

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

}  // namespace
}  // namespace testsupport
