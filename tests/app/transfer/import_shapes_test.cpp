// Exports shaped as each program writes them today (every column, in its
// order): what the readers make of the columns that differ from our own idea
// of the data — shelves, series in titles, star ratings, lending columns,
// quotes at a field's start, translators and corporate authors.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include "app/core/codepage.h"
#include "app/transfer/import_dialog.h"
#include "app/transfer/readers/foreign_book.h"
#include "app/transfer/readers/import_reader.h"
#include "support/app_files.h"
#include "ui_import_dialog.h"

namespace testsupport {
namespace {

std::string Data(const char* name) { return std::string(SVAZKOVNA_TEST_DATA) + "/import/" + name; }

// The author, title and series of each row, with a tick where it is offered.
std::vector<std::string> Books(const ImportPlan& plan) {
    std::vector<std::string> out;
    const std::vector<bool> offered = plan.Offered();
    for (size_t i = 0; i < plan.rows.size(); ++i) {
        const CatalogueRow& row = plan.rows[i].row;
        const auto text = [&](int c) { return FromCodePage(row[static_cast<size_t>(c)].value_or("NULL")); };
        out.push_back(QStringLiteral("%1 %2 | %3 | %4")
                          .arg(offered[i] ? QStringLiteral("x") : QStringLiteral("-"))
                          .arg(text(1), text(2), text(5))
                          .toStdString());
    }
    return out;
}

TEST(ImportShapes, GoodreadsOffersWhatWasReadAndTakesTheSeriesOutOfTheTitle) {
    const ImportPlan plan = ParseImport(Slurp(Data("goodreads_shelves_series.csv")));
    // Owned Copies is 0 on every row: the shelf decides.
    EXPECT_EQ(Books(plan), (std::vector<std::string>{
                               "x Pratchett Terry | Mort | Discworld 4",
                               "x Rowling J.K. | Harry Potter a Kámen mudrců | Harry Potter 1",
                               "- Nesbo Jo | Sněhulák | Harry Hole 7",
                               "x Le Guin Ursula K. | The Left Hand of Darkness | ",
                               "x Pratchett Terry | The Colour of Magic | Discworld 1",
                               "x Jirotka Zdeněk | Saturnin | ",
                               "- Márquez Gabriel García | Sto roků samoty | ",
                               "x Sapkowski Andrzej | Zaklínač I: Poslední přání | Zaklínač 1",
                           }));
    EXPECT_EQ(plan.warnings.value(0).toStdString(),
              "Knih z police to-read (přání): 2; nabízejí se nezaškrtnuté, zaškrtněte ty, které máte.");
    // A custom shelf stays the genre; the exclusive one is no genre.
    EXPECT_EQ(FromCodePage(*plan.rows[6].row[3]).toStdString(), "klasika");

    // A copy marked owned by hand is owned on any shelf.
    std::string owned = Slurp(Data("goodreads_shelves_series.csv"));
    owned.replace(owned.find("to-read,,,,0,0"), 14, "to-read,,,,0,1");
    EXPECT_EQ(ParseImport(owned).Offered()[2], true);

    struct Case {
        const char* title;
        const char* stays;
        const char* series;
    } cases[] = {
        {"Mort (Discworld, #4)", "Mort", "Discworld 4"},
        {"Mort (Discworld #4)", "Mort", "Discworld 4"},
        {"Hobit (Středozem, #0.5)", "Hobit", "Středozem 0.5"},
        {"Pán prstenů (Pán prstenů, #1-3)", "Pán prstenů", "Pán prstenů 1-3"},
        {"Babička (Obrazy venkovského života)", "Babička (Obrazy venkovského života)", ""},
        {"Kapitola #5", "Kapitola #5", ""},
        {"(Discworld, #4)", "(Discworld, #4)", ""},
    };
    for (const Case& c : cases) {
        QString series;
        EXPECT_EQ(TitleWithoutSeries(QString::fromUtf8(c.title), &series).toStdString(), c.stays) << c.title;
        EXPECT_EQ(series.toStdString(), c.series) << c.title;
    }
}

// Every column from the author on, between bars, with a tick where the row is offered.
std::vector<std::string> Rows(const ImportPlan& plan) {
    std::vector<std::string> out;
    const std::vector<bool> offered = plan.Offered();
    for (size_t i = 0; i < plan.rows.size(); ++i) {
        QStringList parts{offered[i] ? QStringLiteral("x") : QStringLiteral("-")};
        for (int c = 1; c < kCatalogueColumnCount; ++c)
            parts << FromCodePage(plan.rows[i].row[static_cast<size_t>(c)].value_or("NULL"));
        out.push_back(parts.join(u'|').toStdString());
    }
    return out;
}

TEST(ImportShapes, CalibreStarsAreReadOnTheScaleTheValuesShow) {
    const ImportPlan stars = ParseImport(Slurp(Data("calibre_stars.csv")));
    std::vector<std::string> ratings;
    for (const ImportRow& r : stars.rows) ratings.push_back(*r.row[kRatingColumn]);
    // 5, 4.5, 3 and 1 stars; 0 is unrated.
    EXPECT_EQ(ratings, (std::vector<std::string>{"5", "5", "3", "1", "3"}));
    struct Case {
        const char* file;
        const char* rating;
    } cases[] = {
        {"title,author_sort,rating\nA,\"B, C\",8\nD,\"E, F\",4\n", "2"},  // 0–10: 4 is two stars
        {"title,author_sort,rating\nA,\"B, C\",\nD,\"E, F\",2\n", "2"},
    };
    for (const Case& c : cases) EXPECT_EQ(*ParseImport(c.file).rows[1].row[kRatingColumn], c.rating) << c.file;

    // Calibre (and Goodreads) put the last word first; a particle, a body's name
    // and a single name are made anew from the plain name.
    std::vector<std::string> authors;
    for (const ImportRow& r : stars.rows) authors.push_back(FromCodePage(*r.row[kAuthorColumn]).toStdString());
    EXPECT_EQ(authors, (std::vector<std::string>{"Le Guin Ursula K.", "Márquez Gabriel García", "Kolektiv autorů",
                                                 "Zidrou", "Čapek Karel"}));
    struct Name {
        const char* sort;
        const char* plain;
        const char* stored;
    } names[] = {
        {"de la Mare, Walter", "Walter de la Mare", "de la Mare Walter"},  // a sort form made by hand stays
        {"Mare, Walter de la", "Walter de la Mare", "de la Mare Walter"},
        {"", "Jaroslav Hašek", "Hašek Jaroslav"},
        {"Hašek, Jaroslav", "", "Hašek Jaroslav"},
        {"Geographic, National", "National Geographic", "National Geographic"},
        {"Rowling, J.K.", "J.K. Rowling", "Rowling J.K."},
    };
    for (const Name& n : names)
        EXPECT_EQ(AuthorFromSortForm(QString::fromUtf8(n.sort), QString::fromUtf8(n.plain)).toStdString(), n.stored)
            << n.sort;
}

TEST(ImportShapes, LibraryThingLendingCoauthorsPublisherAndCollectionsAsTheExportHasThem) {
    const std::vector<std::string> expected = {
        "x|Bulgakov Michail|Mistr a Markétka|román|Artur|||Pavel Novák|12.3.2025|5|Nejlepší kniha.; koupeno v Luxoru; "
        "štítky: klasika; sbírky: Favorites; spoluautoři: Dvořák Alena (Translator), Lada Josef (Illustrator)|"
        "9788072034000|#bib rok=2004|",
        "x|Feynman Richard P.|\"Surely You're Joking, Mr. Feynman!\": Adventures of a Curious Character|fyzika|"
        "W. W. Norton & Company|||||5|štítky: \"memoáry\"; spoluautoři: Leighton Ralph "
        "(Contributor)|9780393316049|#bib rok=1985|",
        "-|García Márquez Gabriel|Sto roků samoty|román|Odeon|||||4|sbírky: Read but unowned||#bib rok=1971|",
        "-|Tolkien J. R. R.|Hobit|fantasy|Argo|||||3|sbírky: Wishlist; spoluautoři: Pošustová Lubomír "
        "(Translator)||#bib rok=2012|",
        "x|Němcová Božena|Babička||Albatros|||||3|sbírky: To read||#bib rok=1990|",
    };
    const std::string tsv = Slurp(Data("librarything_library.tsv"));
    const ImportPlan plan = ParseImport(tsv);
    EXPECT_EQ(plan.format.toStdString(), "LibraryThing");
    EXPECT_EQ(Rows(plan), expected);
    EXPECT_TRUE(plan.ignoredColumns.contains(QStringLiteral("Lending Status")));

    // The same export saved as UTF-16 (either byte order) reads the same.
    const QString text = QString::fromUtf8(tsv);
    for (const bool little : {true, false}) {
        std::string utf16 = little ? "\xFF\xFE" : "\xFE\xFF";
        for (const QChar ch : text) {
            const char lo = static_cast<char>(ch.unicode() & 0xFF), hi = static_cast<char>(ch.unicode() >> 8);
            utf16 += little ? std::string{lo, hi} : std::string{hi, lo};
        }
        EXPECT_EQ(Rows(ParseImport(utf16)), expected) << little;
    }
}

TEST(ImportShapes, TellicoNamesAreTurnedButNotABodysAndEveryRoleIsKept) {
    const ImportPlan plan = ParseImport(Slurp(Data("tellico_roles.xml")));
    EXPECT_EQ(Rows(plan),
              (std::vector<std::string>{
                  "x|Tolkien J.R.R.|Pán prstenů: Společenstvo prstenu|Fantasy|Mladá fronta|Pán prstenů 1|||"
                  "|5|Rodinný výtisk.; překlad: Stanislava Pošustová|9788020409041|#bib rok=2002;stran=404|",
                  "x|National Geographic|Zázraky přírody|Příroda|Computer Press|||||3|||#bib rok=2010|",
                  "x|Bulgakov Michail|Mistr a Markétka||Odeon|||Eva Malá|5.10.2025|4|"
                  "překlad: Alena Morávková, Libor Dvořák; editor: Jan Nový||#bib rok=1990|",
                  "x|Le Guin Ursula K.|Levá ruka tmy||Argo|||||3|překlad: Jan Kantůrek||#bib rok=2004|",
                  "x|Kolektiv autorů|Atlas hub||Aventinum|||||3||||",
              }));
    EXPECT_TRUE(plan.warnings.isEmpty());

    struct Case {
        const char* written;
        const char* stored;
    } cases[] = {
        {"J.R.R. Tolkien", "Tolkien J.R.R."},
        {"Walter de la Mare", "de la Mare Walter"},
        {"Ludwig van Beethoven", "van Beethoven Ludwig"},
        {"Homér", "Homér"},
        {"Čapek, Karel", "Čapek Karel"},
        {"Kolektiv autorů", "Kolektiv autorů"},
        {"Ústav pro českou literaturu", "Ústav pro českou literaturu"},
        {"Oxford University Press", "Oxford University Press"},
        {"Karel Jaromír Erben", "Erben Karel Jaromír"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AuthorFromPlainName(QString::fromUtf8(c.written)).toStdString(), c.stored) << c.written;

    // A zip that is no Tellico file is told as such, not as a damaged one.
    const std::string tc = Slurp(Data("tellico.tc"));
    std::string xlsx = tc;
    for (size_t at = xlsx.find("tellico.xml"); at != std::string::npos; at = xlsx.find("tellico.xml", at + 1))
        xlsx.replace(at, 11, "content.xml");
    try {
        ParseImport(xlsx);
        ADD_FAILURE() << "read";
    } catch (const ImportError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Soubor není ve formátu, který program umí importovat", 0), 0u)
            << e.what();
    }
}

TEST(ImportShapes, ThePreviewTicksEveryRowToDecideOnAtOnce) {
    const ImportPlan plan = ParseImport(Slurp(Data("goodreads_shelves_series.csv")));
    ImportDialog dialog(plan, QStringLiteral("export.csv"));
    Ui::ImportDialog& ui = *dialog.form();
    const auto count = [&] { return ui.pocetl->text().toStdString(); };
    const auto shownId = [&](int row) { return ui.nahledtw->item(row, 0)->text().toStdString(); };
    ASSERT_EQ(ui.duplicitylw->count(), 2);  // the two wishes
    EXPECT_EQ(count(), "Bude importováno záznamů: 6.");
    EXPECT_EQ(shownId(3), "3");

    ui.vybratvsepb->click();
    EXPECT_EQ(count(), "Bude importováno záznamů: 8.");
    EXPECT_EQ(shownId(2), "3");
    EXPECT_EQ(shownId(3), "4");  // the ids after a ticked row move on
    ui.zrusitvyberpb->click();
    EXPECT_EQ(count(), "Bude importováno záznamů: 6.");
    EXPECT_EQ(shownId(2), "přeskočí se");

    // Space on both selected rows ticks both, and again unticks both.
    ui.duplicitylw->selectAll();
    ui.duplicitylw->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    for (const char* expected : {"Bude importováno záznamů: 8.", "Bude importováno záznamů: 6."}) {
        QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QApplication::sendEvent(ui.duplicitylw, &space);
        EXPECT_EQ(count(), expected);
    }
    EXPECT_EQ(dialog.Chosen(), plan.Offered());

    // One row ticked by hand moves only what follows it.
    ui.duplicitylw->item(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(count(), "Bude importováno záznamů: 7.");
    EXPECT_EQ(shownId(2), "přeskočí se");
    EXPECT_EQ(shownId(7), "7");
    ui.duplicitylw->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(dialog.importButton()->isEnabled());
}

}  // namespace
}  // namespace testsupport
