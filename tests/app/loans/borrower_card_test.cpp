// The borrower's card and the addresses reminders go to, on a catalogue as
// years of typing leave it: one borrower written with blanks, in capitals and
// with a zero byte another tool left behind, NULL fields, a foreign `udaj3`,
// and names no settings key was made for.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

#include "app/core/loan_period.h"
#include "app/core/profile_file.h"
#include "app/loans/borrower_address.h"
#include "app/loans/borrower_card_dialog.h"
#include "app/loans/loan_history_model.h"
#include "app/loans/loan_history_view.h"
#include "app/loans/loans_window.h"
#include "support/app_session_fixture.h"
#include "ui_loans_window.h"

namespace testsupport {
namespace {

const QDate kToday(2026, 12, 8);

Book Lent(std::optional<std::string> autor, std::string titul, std::string komu, std::string kdy) {
    Book b = BookOf(std::move(autor), std::move(titul));
    b.zapujcenokomu = std::move(komu);
    b.zapujcenokdy = std::move(kdy);
    return b;
}

QStringList Rows(const QTreeWidget& list) {
    QStringList rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < list.columnCount(); ++c) cells << list.topLevelItem(i)->text(c);
        rows << cells.join('|');
    }
    return rows;
}

class BorrowerCardTest : public SessionFixture {
protected:
    // Jan Novák's loans typed over the years, and two other borrowers'.
    void OpenJansCatalogue() {
        OpenCatalogue(
            {Lent("\xC8"
                  "apek Karel",
                  "V\xE1lka s mloky", "Jan Nov\xE1k ", "1.9.2026"),
             Lent("Hrabal Bohumil", "Obsluhoval jsem anglick\xE9ho kr\xE1le", " JAN NOV\xC1K", "15. 11. 2026"),
             Lent(std::nullopt, "Bez autora", "", ""),
             Lent("Nov\xE1kov\xE1 Jana", "Kucha\xF8ka", "Jana Nov\xE1kov\xE1", "1.1.2026"),
             Lent("Erben", "Kytice", "Eva", "2.10.2026"),
             Lent("N\xECmcov\xE1", "Babi\xE8ka", "jan nov\xE1k", "v \xF8\xEDjnu 2026")});
        // A C program wrote the name with its terminating zero and left the date NULL.
        ExecSql(CataloguePath(),
                "update svazkovna set zapujcenokomu=cast(x'4a616e204e6f76e16b00' as text), zapujcenokdy=NULL "
                "where titul='Bez autora';"
                "update svazkovna set udaj3='#vypujcka\tJan Nov\xE1k\t12. 3. 2024\t2.4.2024\n"
                "#vypujcka\tEva\t1.1.2025\t3.1.2025\n' where titul='V\xE1lka s mloky';"
                "update svazkovna set udaj3='#vypujcka\tjan nov\xE1k \t\t5.5.2024\n"
                "#vypujcka\tJAN NOV\xC1K\tb\xF8"
                "ezen 2025\t1.6.2025\n' where titul like 'Obsluhoval%';"
                "update svazkovna set udaj3='Jan Nov\xE1k m\xE1 d\xEDl 2, vr\xE1tit 1.1.2020' where titul='Kytice';"
                "update svazkovna set udaj3='#vypujcka\tJana Nov\xE1kov\xE1\t1.2.2025\t1.3.2025\n' "
                "where titul like 'Kucha%'");
    }
    BorrowerCardDialog* Card() const {
        const auto cards = window.findChildren<BorrowerCardDialog*>();
        return cards.size() == 1 ? cards.front() : nullptr;
    }
};

TEST_F(BorrowerCardTest, OneBorrowerWhateverTheBlanksCaseAndZeroByte) {
    OpenJansCatalogue();
    const QStringList out{
        QString::fromUtf8("Čapek Karel|Válka s mloky|1.9.2026|98|po lhůtě"),
        QString::fromUtf8("Němcová|Babička|v říjnu 2026|38|po lhůtě"),
        QString::fromUtf8("Hrabal Bohumil|Obsluhoval jsem anglického krále|15. 11. 2026|23|"),
        QString::fromUtf8("|Bez autora|||"),
    };
    // Foreign text in "Kytice" and the other borrowers' lines are not his.
    const QStringList finished{
        QString::fromUtf8("Hrabal Bohumil|Obsluhoval jsem anglického krále|březen 2025|1.6.2025|"),
        QString::fromUtf8("Hrabal Bohumil|Obsluhoval jsem anglického krále||5.5.2024|"),
        QString::fromUtf8("Čapek Karel|Válka s mloky|12. 3. 2024|2.4.2024|21"),
    };
    const QString summary = QString::fromUtf8(
        "Knih vypůjčených nyní: 4, z toho po lhůtě: 2. Nejdéle po lhůtě: Čapek Karel: Válka s mloky, 68 dní po lhůtě.");
    // Every spelling the user may pick opens the one card.
    for (const char* name : {"Jan Novák", "  jan NOVÁK ", "JAN NOVÁK\t", "jan novák"}) {
        SCOPED_TRACE(name);
        BorrowerCardDialog* card = ShowBorrowerCard(*session, QString::fromUtf8(name));
        ASSERT_NE(card, nullptr);
        ASSERT_EQ(Card(), card) << "one card per borrower";
        card->SetToday(kToday);
        card->Refresh();
        EXPECT_EQ(Rows(*card->OutList()), out);
        EXPECT_EQ(Rows(*card->FinishedList()), finished);
        EXPECT_EQ(card->SummaryLabel()->text(), summary);
        EXPECT_EQ(card->AddressLabel()->text(), QString::fromUtf8("e-mail: nezadán"));
    }
    // A borrower with nothing out has a card of the past alone; a nameless loan has none.
    BorrowerCardDialog* jana = ShowBorrowerCard(*session, QString::fromUtf8("Jana Nováková"));
    jana->SetToday(kToday);
    ExecSql(CataloguePath(), "update svazkovna set zapujcenokomu='' where titul like 'Kucha%'");
    jana->Refresh();
    EXPECT_EQ(jana->SummaryLabel()->text(), QString::fromUtf8("Nyní nemá vypůjčenou žádnou knihu."));
    EXPECT_EQ(Rows(*jana->FinishedList()),
              QStringList{QString::fromUtf8("Nováková Jana|Kuchařka|1.2.2025|1.3.2025|28")});
    EXPECT_FALSE(jana->RemindButton()->isEnabled());
    EXPECT_EQ(ShowBorrowerCard(*session, QString::fromUtf8(" \t")), nullptr);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, QString::fromUtf8("Výpůjčky bez jména vypůjčitele nemají kartu."));
}

TEST_F(BorrowerCardTest, OpensFromTheLoansWindowAndTheHistory) {
    OpenJansCatalogue();
    LoanWriter writer(*session);
    LoansWindow loans(*session, writer, &window);
    loans.SetToday(kToday);
    loans.Refresh();
    QTreeWidget& list = *loans.form()->zapujckytw;
    // The group " JAN NOVÁK" (the loans window keeps each spelling its own group).
    const auto groups = list.findItems(QString::fromUtf8("JAN NOVÁK (1)"), Qt::MatchExactly, LoansWindow::Komu);
    ASSERT_EQ(groups.size(), 1);
    list.setCurrentItem(groups.front());
    loans.form()->kartab->click();
    ASSERT_NE(Card(), nullptr);
    EXPECT_EQ(Card()->OutList()->topLevelItemCount(), 4) << "every spelling's books";
    EXPECT_EQ(Card()->OutList()->topLevelItem(0)->text(BorrowerCardDialog::OutDni), "98") << "the window's day";
    // A return in the loans window moves the book from "out" to "returned" on the open card.
    list.clearSelection();
    list.findItems(QString::fromUtf8("Válka s mloky"), Qt::MatchExactly | Qt::MatchRecursive, LoansWindow::Titul)
        .front()
        ->setSelected(true);
    ui.QueueQuestion(true);
    loans.form()->vracenob->click();
    EXPECT_EQ(Card()->OutList()->topLevelItemCount(), 3);
    ASSERT_EQ(Card()->FinishedList()->topLevelItemCount(), 4);
    EXPECT_EQ(Card()->FinishedList()->topLevelItem(0)->text(BorrowerCardDialog::FinishedKdy), "1.9.2026");
    Card()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(Card(), nullptr);

    LoanHistoryView& history = ShowLoanHistory(*session, window);
    history.SetGrouping(LoanHistoryView::ByBorrower);
    const LoanHistoryModel& model = history.Model();
    int eva = -1;
    for (int row = 0; row < model.rowCount() && eva < 0; ++row)
        if (model.IsGroup(model.index(row, 0)) && model.index(row, 0).data().toString().startsWith("Eva")) eva = row;
    ASSERT_GE(eva, 0);
    history.List()->setCurrentIndex(model.index(eva, 0));
    history.kartabClick();
    ASSERT_NE(Card(), nullptr);
    EXPECT_EQ(Card()->Identity(), "eva");
    EXPECT_EQ(Card()->FinishedList()->topLevelItemCount(), 1);
    EXPECT_EQ(ui.boxes.size(), 1u) << "only the return's question";
}

// Names that hold what a settings line is made of: each keeps its own address,
// and the rest of the file stays as it was.
TEST_F(BorrowerCardTest, AddressesKeptPerBorrowerWhateverTheName) {
    const std::string settings = dir.file("nastav.ini");
    WriteFile(settings, "[nastaveni]\r\nvypujcnilhuta=21\r\n; moje pozn\xE1mka\r\n[jine]\r\nklic=1\r\n");
    struct Case {
        const char* name;
        const char* address;
    };
    const std::vector<Case> cases{
        {"Jan Novák ", "jan.novak@example.cz"},
        {"a=b", "ab@example.cz"},
        {"x]y", "xy@example.cz"},
        {";Eva", "eva@example.cz"},
        {"[Petr]", "petr@example.cz"},
        {"Ota\nKarel", "ota@example.cz"},
        {"Ota Karel", "karel@example.cz"},
        {"100 % Ema", "ema100@example.cz"},
        {"a%3Db", "ab3d@example.cz"},
        {"Ema", "ema+knihy@example.cz"},
        {"Šťastný Řehoř", "rehor@example.cz"},
    };
    for (const Case& c : cases)
        WriteBorrowerAddress(QString::fromStdString(settings), QString::fromUtf8(c.name), c.address);
    for (const Case& c : cases)
        EXPECT_EQ(ReadBorrowerAddress(QString::fromStdString(settings), QString::fromUtf8(c.name)), c.address)
            << c.name;
    // The same borrowers however typed; a zero byte another tool left counts for nothing.
    EXPECT_EQ(ReadBorrowerAddress(QString::fromStdString(settings), QString::fromUtf8("JAN NOVÁK")),
              "jan.novak@example.cz");
    EXPECT_EQ(ReadBorrowerAddress(QString::fromStdString(settings), QString::fromUtf8("ŠŤASTNÝ řehoř") + QChar(0)),
              "rehor@example.cz");
    EXPECT_EQ(ReadBorrowerAddress(QString::fromStdString(settings), "Petr"), "");
    EXPECT_EQ(ReadLoanPeriod(QString::fromStdString(settings)), 21);
    const std::string content = ReadFile(settings);
    const std::string before = "[nastaveni]\r\nvypujcnilhuta=21\r\n; moje pozn\xE1mka\r\n[jine]\r\nklic=1\r\n";
    EXPECT_EQ(content.substr(0, before.size()), before);
    EXPECT_EQ(profile::Lookup(content, "jine", "klic", ""), "1");
    // One section of ours, one line per borrower, each "key=address" with no other "=".
    const std::string ours = content.substr(content.find("[vypujcitele]\r\n") + 15);
    EXPECT_EQ(ours.find('['), std::string::npos);
    EXPECT_EQ(std::count(ours.begin(), ours.end(), '\n'), static_cast<long>(cases.size()));
    EXPECT_EQ(std::count(ours.begin(), ours.end(), '='), static_cast<long>(cases.size()));
    EXPECT_EQ(ours.find('\0'), std::string::npos);
    EXPECT_NE(ours.find("jan nov\xE1k=jan.novak@example.cz\r\n"), std::string::npos) << "readable in the file";
    // An empty address forgets it.
    WriteBorrowerAddress(QString::fromStdString(settings), "a=b", " ");
    EXPECT_EQ(ReadBorrowerAddress(QString::fromStdString(settings), "a=b"), "");
    EXPECT_EQ(ReadBorrowerAddress(QString::fromStdString(settings), "x]y"), "xy@example.cz");
}

TEST_F(BorrowerCardTest, CardSetsTheAddressAndRemindersGoToIt) {
    OpenJansCatalogue();
    BorrowerCardDialog* card = ShowBorrowerCard(*session, QString::fromUtf8("Jan Novák"));
    ASSERT_NE(card, nullptr);
    // Refused with a Czech message; nothing written.
    ui.QueueInput(QString::fromUtf8("jan novák@example"));
    card->EmailButton()->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              QString::fromUtf8("„jan novák@example“ není e-mailová adresa; zadejte ji ve tvaru jmeno@domena.cz."));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("nastav.ini"))));
    ui.QueueInput(QString::fromUtf8(" jan.novak+knihy@example.cz "));
    card->EmailButton()->click();
    EXPECT_EQ(card->AddressLabel()->text(), "e-mail: jan.novak+knihy@example.cz");
    ui.QueueInput(std::nullopt);
    card->EmailButton()->click();
    ASSERT_EQ(ui.itemInputs.size(), 3u);
    EXPECT_EQ(ui.itemInputs[2].initial, "jan.novak+knihy@example.cz") << "the kept address, to be mended";

    const auto reminder = [&](const QString& url) {
        const QUrl parsed(url);
        EXPECT_TRUE(parsed.isValid()) << url.toStdString();
        EXPECT_EQ(parsed.scheme(), "mailto");
        return parsed.path();
    };
    card->RemindButton()->click();
    ASSERT_EQ(ui.urls.size(), 1u);
    EXPECT_EQ(reminder(ui.urls[0]), "jan.novak+knihy@example.cz");
    const QString body = QUrl::fromPercentEncoding(ui.urls[0].section("&body=", 1).toUtf8());
    EXPECT_TRUE(body.contains(QString::fromUtf8("- Čapek Karel: Válka s mloky (od 1.9.2026)\r\n")))
        << body.toStdString();
    EXPECT_TRUE(body.contains(QString::fromUtf8("- Bez autora\r\n"))) << body.toStdString();
    EXPECT_FALSE(body.contains("Kytice"));

    // The loans window's reminder to the same borrower in another spelling, and to one without an address.
    LoanWriter writer(*session);
    LoansWindow loans(*session, writer, &window);
    loans.Refresh();
    QTreeWidget& list = *loans.form()->zapujckytw;
    for (const auto& [label, address] : std::vector<std::pair<QString, QString>>{
             {QString::fromUtf8("JAN NOVÁK (1)"), "jan.novak+knihy@example.cz"}, {"Eva (1)", ""}}) {
        const auto groups = list.findItems(label, Qt::MatchExactly, LoansWindow::Komu);
        ASSERT_EQ(groups.size(), 1) << label.toStdString();
        list.setCurrentItem(groups.front());
        loans.form()->pripomenoutb->click();
        EXPECT_EQ(reminder(ui.urls.back()), address);
    }
    EXPECT_EQ(ui.boxes.size(), 1u);
}

}  // namespace
}  // namespace testsupport
