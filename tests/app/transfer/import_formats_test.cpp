// Moving in from other programs: Goodreads, LibraryThing, Calibre and Tellico
// files (written here from the formats' public descriptions) read into rows,
// and imported through the menu and the preview.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

#include "app/core/codepage.h"
#include "app/transfer/catalogue_import.h"
#include "app/transfer/import_dialog.h"
#include "app/transfer/readers/foreign_book.h"
#include "app/transfer/transfer_capability.h"
#include "support/app_catalogue_rows.h"
#include "support/app_files.h"
#include "support/app_scripted_guard.h"
#include "support/app_window_fixture.h"
#include "ui_import_dialog.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

std::string Data(const char* name) { return std::string(SVAZKOVNA_TEST_DATA) + "/import/" + name; }

// Columns 1 to 13 of a row, decoded, between bars; NULL shown as such.
std::string Shown(const CatalogueRow& row) {
    QStringList parts;
    for (int c = 1; c < kCatalogueColumnCount; ++c) parts << (row[c] ? FromCodePage(*row[c]) : QStringLiteral("NULL"));
    return parts.join(u'|').toStdString();
}

std::vector<std::string> Shown(const ImportPlan& plan) {
    std::vector<std::string> out;
    for (const ImportRow& r : plan.rows) out.push_back(Shown(r.row));
    return out;
}

std::string Message(std::string_view bytes) {
    try {
        ParseImport(bytes);
    } catch (const ImportError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(ImportFormats, EachFormatIsRecognisedFromItsContentAndStoredAsTheCatalogueKeepsIt) {
    const ImportPlan gr = ParseImport(Slurp(Data("goodreads_library_export.csv")));
    EXPECT_EQ(gr.format.toStdString(), "Goodreads");
    EXPECT_EQ(Shown(gr),
              (std::vector<std::string>{
                  "Hašek Jaroslav|Osudy dobrého vojáka Švejka za světové války|klasika|Odeon|||||5|"
                  "Výborné!\nDruhý řádek \"citát\"; půjčeno od táty; police: humor; spoluautoři: Josef "
                  "Lada|9788020704191|#bib rok=1975;stran=750|",
                  "de la Mare Walter|The Return||Penguin|||||3|Koupit.\nNejlépe vázané.|9780141181233|#bib "
                  "rok=1997;stran=200|",
                  "Voskovec Jiří|Hry, \"Osvobozené\" divadlo|||||||3|spoluautoři: Jan Werich, Adolf Hoffmeister|||",
              }));
    std::vector<int> lines;
    for (const ImportRow& r : gr.rows) lines.push_back(r.line);
    EXPECT_EQ(lines, (std::vector<int>{2, 3, 5}));
    EXPECT_EQ(gr.Offered(), (std::vector<bool>{true, false, true}));  // Owned Copies 0: a wish
    EXPECT_TRUE(gr.mapping.contains(QString::fromUtf8("Author l-f → autor (Příjmení Jméno)")));
    EXPECT_TRUE(gr.ignoredColumns.contains("Average Rating"));

    const ImportPlan lt = ParseImport(Slurp(Data("librarything_export.tsv")));
    EXPECT_EQ(lt.format.toStdString(), "LibraryThing");
    EXPECT_EQ(lt.separator, '\t');
    EXPECT_EQ(
        Shown(lt),
        (std::vector<std::string>{
            "Čapek Karel|Válka s mloky|sci-fi|Praha : Fr. Borový, 1936|||||5|Silné.; z antikvariátu; štítky: satira|"
            "9788020401236|#bib rok=1936|",
            "Erben Karel Jaromír|Kytice|poezie|Odeon|||||3|sbírky: Wishlist||#bib rok=1853|",
            "|Bez autora|||||||3||9788071081234||",
        }));
    EXPECT_EQ(lt.Offered(), (std::vector<bool>{true, false, true}));

    const ImportPlan cal = ParseImport(Slurp(Data("calibre_catalog.csv")));
    EXPECT_EQ(cal.format.toStdString(), "Calibre");
    EXPECT_EQ(Shown(cal),
              (std::vector<std::string>{
                  "Jirotka Zdeněk|Saturnin se vrací|humor|Československý spisovatel|Saturnin 2||||5|"
                  "Humoristický román & klasika.\nDruhý odstavec; štítky: klasika|9788000001111|#bib rok=1942|",
                  "Voskovec Jiří|Hry|||||||3|spoluautoři: Jan Werich|||",
              }));

    const std::vector<std::string> tellicoRows = {
        "Čapek Karel|Krakatit|sci-fi|Fr. Borový|||Jana Nováková|12.3.2024|4|Podpis autora „vzácné“; žánry: román|"
        "9788020005120||",
        "Erben Karel Jaromír|Kytice|||Knihovna klasiků 3||||3||||",
        "Voskovec Jiří|Hry|||||Petr O'Neill|2.11.2025|5|spoluautoři: Jan Werich|||",
    };
    const ImportPlan tc = ParseImport(Slurp(Data("tellico.tc")));
    EXPECT_EQ(tc.format.toStdString(), "Tellico (.tc)");
    EXPECT_EQ(Shown(tc), tellicoRows);
    EXPECT_TRUE(tc.warnings.isEmpty());
    const ImportPlan xml = ParseImport(Slurp(Data("tellico.xml")));
    EXPECT_EQ(xml.format.toStdString(), "Tellico (XML)");
    EXPECT_EQ(Shown(xml), tellicoRows);

    // A file name says nothing: LibraryThing's CSV variant is told by its header.
    const ImportPlan ltCsv = ParseImport("Title,\"Author (Last, First)\",Rating\nR.U.R.,\"Čapek, Karel\",1.5\n");
    EXPECT_EQ(ltCsv.format.toStdString(), "LibraryThing");
    EXPECT_EQ(Shown(ltCsv), std::vector<std::string>{"Čapek Karel|R.U.R.|||||||2||||"});
    EXPECT_EQ(ParseImport("Autor,Titul\nA,B\n").format.toStdString(), "CSV");
}

TEST(ImportFormats, TheOpenDialogOffersEachFormatsFilesFromTheReaders) {
    // Asked in this order: the generic CSV reader takes any table, so it is last.
    QStringList names;
    for (const auto& reader : ImportReaders()) names.append(reader->Name());
    EXPECT_EQ(names, (QStringList{"Tellico", "Goodreads", "LibraryThing", "Calibre", "CSV"}));

    // Each sample file is read by the format whose patterns take its name.
    const std::pair<const char*, const char*> files[] = {
        {"goodreads_library_export.csv", "Goodreads"},
        {"librarything_export.tsv", "LibraryThing"},
        {"calibre_catalog.csv", "Calibre"},
        {"tellico.tc", "Tellico"},
        {"tellico.xml", "Tellico"},
    };
    const QStringList entries = ImportFileFilter().split(QStringLiteral(";;"));
    for (const auto& [file, name] : files) {
        EXPECT_TRUE(ParseImport(Slurp(Data(file))).format.startsWith(QString::fromUtf8(name))) << file;
        const QString pattern = QStringLiteral("*.") + QString::fromUtf8(file).section(u'.', -1);
        const auto reader = std::find_if(ImportReaders().begin(), ImportReaders().end(),
                                         [&](const auto& r) { return r->Name() == QString::fromUtf8(name); });
        ASSERT_NE(reader, ImportReaders().end()) << name;
        EXPECT_TRUE((*reader)->FilePatterns().contains(pattern)) << file;
        EXPECT_TRUE(entries.contains(QStringLiteral("%1 (%2)").arg(name, (*reader)->FilePatterns().join(u' '))))
            << name;
    }

    // First every file of any format, each pattern once; all files last.
    ASSERT_GE(entries.size(), 2);
    const QString every = entries.front();
    ASSERT_TRUE(every.startsWith(QStringLiteral("Soubory k importu (")) && every.endsWith(u')')) << every.toStdString();
    QStringList patterns = every.mid(19, every.size() - 20).split(u' ');
    patterns.sort();
    EXPECT_EQ(patterns, (QStringList{"*.csv", "*.tc", "*.tsv", "*.txt", "*.xml"}));
    EXPECT_EQ(entries.back(), QString::fromUtf8("Všechny soubory (*)"));
    EXPECT_EQ(entries.size(), static_cast<qsizetype>(ImportReaders().size()) + 2);
}

TEST(ImportFormats, NamesAreTurnedOnlyWhenTheRuleIsSure) {
    struct Case {
        const char* written;
        const char* stored;
        bool kept;
    } cases[] = {
        {"Jaroslav Hašek", "Hašek Jaroslav", false},          {"Jean-Paul Sartre", "Sartre Jean-Paul", false},
        {"Hašek, Jaroslav", "Hašek Jaroslav", false},         {"  Homér ", "Homér", false},
        {"Walter de la Mare", "Walter de la Mare", true},     {"Vincent van Gogh", "Vincent van Gogh", true},
        {"Karel Jaromír Erben", "Karel Jaromír Erben", true}, {"J. R. R. Tolkien", "J. R. R. Tolkien", true},
        {"Jan Werich a spol.", "Jan Werich a spol.", true},   {"karel čapek", "karel čapek", true},
        {"Eugene O'Neill", "O'Neill Eugene", false},          {"J Tolkien", "J Tolkien", true},
    };
    for (const Case& c : cases) {
        bool kept = false;
        EXPECT_EQ(AuthorFromFirstLast(QString::fromUtf8(c.written), &kept).toStdString(), c.stored) << c.written;
        EXPECT_EQ(kept, c.kept) << c.written;
    }
    EXPECT_EQ(AuthorFromLastFirst(QString::fromUtf8("de la Mare, Walter")).toStdString(), "de la Mare Walter");
    EXPECT_EQ(AuthorFromLastFirst(QString::fromUtf8("Nováková-Malá, Jana")).toStdString(), "Nováková-Malá Jana");

    // Ratings: unrated is 3, halves round up, the scale divides.
    EXPECT_EQ(StoredRating(""), 3);
    EXPECT_EQ(StoredRating("0"), 3);
    EXPECT_EQ(StoredRating("x"), 3);
    EXPECT_EQ(StoredRating("1"), 1);
    EXPECT_EQ(StoredRating("4,5"), 5);
    EXPECT_EQ(StoredRating("2.4"), 2);
    EXPECT_EQ(StoredRating("7"), 5);
    EXPECT_EQ(StoredRating("7", 2), 4);
    EXPECT_EQ(StoredRating("1", 2), 1);

    EXPECT_EQ(HtmlToText("<div><p>a&lt;b &#269;&#x159;</p><ul><li>x</li><li>y</li></ul></div>").toStdString(),
              "a<b čř\nx\ny");
    EXPECT_EQ(HtmlToText("&bogus; 5 & 6").toStdString(), "&bogus; 5 & 6");
}

TEST(ImportFormats, AStoppedImportNamesEveryMalformedLineUpToALimit) {
    EXPECT_EQ(Message("Autor,Titul\nA,B\n\"C\"x,D\nE,F,G\nH,\"I\"\n\"J\"y,K\n"),
              "Soubor nelze importovat, chyb: 3.\n"
              "Řádek 3: za uzavírací uvozovkou pole nenásleduje oddělovač ani konec řádku.\n"
              "Řádek 4: má 3 polí, záhlaví souboru jich má 2 (oddělovač: čárka (,)).\n"
              "Řádek 6: za uzavírací uvozovkou pole nenásleduje oddělovač ani konec řádku.\n"
              "Nic nebylo importováno.");
    // A character the code page cannot hold no longer stops a file; a short row still does.
    std::string gr = Slurp(Data("goodreads_library_export.csv"));
    gr.replace(gr.find("Odeon"), 5, "\xF0\x9F\x98\x80");
    gr += "1004,Kniha,Jan Novák,\"Novák, Jan\",,,,,,,,,,,,,,,,,,,\n";
    EXPECT_EQ(Message(gr),
              "Řádek 6: má 23 polí, záhlaví souboru jich má 24 (oddělovač: čárka (,)). Nic nebylo importováno.");
    std::string many = "Autor,Titul\n";
    for (int i = 0; i < 30; ++i) many += "A,B,C\n";
    const std::string m = Message(many);
    EXPECT_EQ(m.rfind("Soubor nelze importovat, chyb: 30.\nŘádek 2: má 3 polí", 0), 0u) << m;
    EXPECT_NE(m.find("Řádek 21: má 3 polí"), std::string::npos) << m;
    EXPECT_EQ(m.find("Řádek 22:"), std::string::npos) << m;
    EXPECT_NE(m.find("\n… a dalších 10 chyb.\nNic nebylo importováno."), std::string::npos) << m;

    // A column name with a zero character (found by fuzzing) must not cut the message short.
    EXPECT_EQ(Message(std::string("Ti\0tul\nA\0B\n", 11)),
              "Řádek 2, sloupec „Ti\xEF\xBF\xBDtul“: Text obsahuje nulový znak (U+0000), který katalog neumí "
              "uložit. Nic nebylo importováno.");

    // A damaged archive or XML is named in Czech.
    const std::string tc = Slurp(Data("tellico.tc"));
    EXPECT_EQ(Message(tc.substr(0, tc.size() - 30)),
              "Soubor Tellico nelze přečíst: archiv ZIP je neúplný nebo poškozený. Nic nebylo importováno.");
    std::string crc = tc;
    crc[40] = static_cast<char>(crc[40] ^ 0x55);  // inside the compressed data
    EXPECT_EQ(Message(crc).rfind("Soubor Tellico nelze přečíst: ", 0), 0u) << Message(crc);
    EXPECT_EQ(Message("<?xml version=\"1.0\"?>\n<tellico>\n<collection type=\"2\"><entry id=\"1\"><title>A</entry>"),
              "Soubor Tellico nelze přečíst: dokument není správně utvořené XML (řádek 3, sloupec 51). "
              "Nic nebylo importováno.");
    EXPECT_EQ(Message("<tellico><collection type=\"3\"/></tellico>"),
              "Soubor Tellico nelze přečíst: obsahuje sbírku typu „videa“, ne sbírku knih; importovat lze jen knihy. "
              "Nic nebylo importováno.");
    EXPECT_EQ(Message("<tellico><collection type=\"99\"/></tellico>"),
              "Soubor Tellico nelze přečíst: obsahuje sbírku typu „type=\"99\"“, ne sbírku knih; importovat lze jen "
              "knihy. Nic nebylo importováno.");
    EXPECT_EQ(Message(std::string("PK\x03\x04", 4) + "nothing"),
              "Soubor Tellico nelze přečíst: archiv ZIP je neúplný nebo poškozený. Nic nebylo importováno.");
}

class ImportFormatsWindowTest : public WindowFixture {
protected:
    void Open(const std::vector<Row>& rows) {
        WriteCatalogue(CataloguePath(), rows);
        OpenWindow();
        window->session().SetGuard(&guard);
    }
    // Imports `path`; `script` sees the preview before "Importovat" is clicked.
    void Import(const std::string& path, std::function<void(ImportDialog&)> script = {}) {
        ui.QueueFile(QString::fromStdString(path));
        ui.QueueDialog([script](QDialog& d) {
            auto& dialog = dynamic_cast<ImportDialog&>(d);
            if (script) script(dialog);
            if (dialog.importButton()->isEnabled()) dialog.importButton()->click();
        });
        Command("importovat").trigger();
    }
    std::vector<std::string> Boxes(ScriptedUi::BoxKind kind) const {
        std::vector<std::string> out;
        for (const auto& b : ui.boxes)
            if (b.kind == kind) out.push_back(b.text.toStdString());
        return out;
    }
    ScriptedGuard guard;  // instead of the backups
};

std::string Cp(const char* utf8) { return ToCodePage(QString::fromUtf8(utf8)); }

Row Book(long long id, const char* autor, const char* titul, const char* udaj1) {
    return Row{id,
               Cp(autor),
               Cp(titul),
               std::string(""),
               std::string(""),
               std::string(""),
               std::string(""),
               std::string(""),
               std::string(""),
               3LL,
               std::string(""),
               std::string(udaj1),
               std::string(""),
               std::string("")};
}

TEST_F(ImportFormatsWindowTest, GoodreadsThroughThePreviewWithWishesAndStoredIsbnsLeftOutUnlessTicked) {
    // The catalogue has Švejk under another title, by its ISBN (typed as an ISBN-10).
    Open({Book(7, "Hašek Jaroslav", "Švejk", "80-207-0419-1")});
    std::vector<std::string> listed;
    std::string facts;
    Import(Data("goodreads_library_export.csv"), [&](ImportDialog& d) {
        facts = d.form()->udajel->text().toStdString();
        for (int k = 0; k < d.form()->duplicitylw->count(); ++k) {
            QListWidgetItem* item = d.form()->duplicitylw->item(k);
            listed.push_back(item->text().toStdString() + (item->checkState() == Qt::Checked ? " [x]" : " [ ]"));
        }
        EXPECT_EQ(d.form()->pocetl->text().toStdString(), "Bude importováno záznamů: 1.");
        // The wish is ticked by hand.
        d.form()->duplicitylw->item(1)->setCheckState(Qt::Checked);
        EXPECT_EQ(d.form()->pocetl->text().toStdString(), "Bude importováno záznamů: 2.");
    });
    EXPECT_EQ(facts,
              "Formát: Goodreads; kódování: UTF-8; oddělovač: čárka (,); záznamů v souboru: 3, z toho "
              "už v katalogu: 1. Sloupce, které se nenačtou: Book Id, Average Rating, Binding, Date Read, "
              "Date Added, Bookshelves with positions, Spoiler, Read Count.");
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "řádek 2: Hašek Jaroslav – Osudy dobrého vojáka Švejka za světové války (už v katalogu) [ ]",
                          "řádek 3: de la Mare Walter – The Return (nevlastněná) [ ]"}));
    EXPECT_EQ(Boxes(ScriptedUi::BoxKind::Information), std::vector<std::string>{"Importováno záznamů: 2."});
    EXPECT_EQ(guard.asked, 1);
    const std::vector<Row> back = ReadAllRows(CataloguePath());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(
        Describe(back[1]),
        Describe(Row{8LL, Cp("de la Mare Walter"), Cp("The Return"), std::string(""), Cp("Penguin"), std::string(""),
                     std::string(""), std::string(""), std::string(""), 3LL, Cp("Koupit.\nNejlépe vázané."),
                     std::string("9780141181233"), std::string("#bib rok=1997;stran=200"), std::string("")}));
    EXPECT_EQ(std::get<std::string>(back[2][1]), Cp("Voskovec Jiří"));
}

TEST_F(ImportFormatsWindowTest, BooksAndAuthorsAlreadyStoredInAnotherSpellingAreKnown) {
    // Typed by hand or imported long ago: initials spaced, a series suffix, a Spanish double surname.
    Open({Book(3, "Rowling J. K.", "Harry Potter a kámen mudrců", ""),
          Book(4, "Pratchett Terry", "Mort (Discworld, #4)", ""),
          Book(5, "García Márquez Gabriel", "Kronika ohlášené smrti", "")});
    std::vector<std::string> listed;
    QStringList warnings;
    Import(Data("goodreads_shelves_series.csv"), [&](ImportDialog& d) {
        for (int k = 0; k < d.form()->duplicitylw->count(); ++k) {
            QListWidgetItem* item = d.form()->duplicitylw->item(k);
            listed.push_back(item->text().toStdString() + (item->checkState() == Qt::Checked ? " [x]" : " [ ]"));
        }
        for (int k = 0; k < d.form()->upozornenilw->count(); ++k) warnings << d.form()->upozornenilw->item(k)->text();
    });
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "řádek 2: Pratchett Terry – Mort (už v katalogu) [ ]",
                          "řádek 3: Rowling J. K. – Harry Potter a Kámen mudrců (už v katalogu) [ ]",
                          "řádek 4: Nesbo Jo – Sněhulák (nevlastněná) [ ]",
                          "řádek 8: García Márquez Gabriel – Sto roků samoty (nevlastněná) [ ]",
                      }));
    EXPECT_TRUE(warnings.contains(
        QString::fromUtf8("Řádek 8: autor „Márquez Gabriel García“ zapsán jako v katalogu: „García Márquez Gabriel“.")))
        << warnings.join(u'\n').toStdString();
    EXPECT_EQ(ReadAllRows(CataloguePath()).size(), 3u + 4u);
}

TEST_F(ImportFormatsWindowTest, TellicoLoansLandInTheLoanFieldsAndRepeatsInsideTheFileAreMarked) {
    Open({});
    Import(Data("tellico.tc"));
    EXPECT_EQ(Boxes(ScriptedUi::BoxKind::Information), std::vector<std::string>{"Importováno záznamů: 3."});
    const std::vector<Row> back = ReadAllRows(CataloguePath());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(std::get<std::string>(back[0][7]), Cp("Jana Nováková"));
    EXPECT_EQ(std::get<std::string>(back[0][8]), "12.3.2024");
    EXPECT_EQ(std::get<long long>(back[0][0]), 1);

    // A file holding one book twice (same ISBN, other spelling) and one twice by author and title.
    ui.boxes.clear();
    const std::string csv = startDir.file("opakovani.csv");
    Spit(csv, "Autor;Titul;udaj1\nA;B;\nC;D;9788000001111\nA;B;\nE;F;9788000001111\n");
    std::vector<std::string> listed;
    std::string facts;
    Import(csv, [&](ImportDialog& d) {
        facts = d.form()->udajel->text().toStdString();
        for (int k = 0; k < d.form()->duplicitylw->count(); ++k)
            listed.push_back(d.form()->duplicitylw->item(k)->text().toStdString());
    });
    EXPECT_NE(facts.find("záznamů v souboru: 4, z toho už v katalogu: 0, opakovaných v souboru: 2."), std::string::npos)
        << facts;
    EXPECT_EQ(listed,
              (std::vector<std::string>{"řádek 4: A – B (opakuje řádek 2)", "řádek 5: E – F (opakuje řádek 3)"}));
    // Marked, not left out: a collector may own two copies.
    EXPECT_EQ(Boxes(ScriptedUi::BoxKind::Information), std::vector<std::string>{"Importováno záznamů: 4."});

    // A damaged archive: the Czech message, no backup, nothing written.
    ui.boxes.clear();
    const std::string tc = Slurp(Data("tellico.tc"));
    Spit(startDir.file("poskozeny.tc"), tc.substr(0, tc.size() / 2));
    Import(startDir.file("poskozeny.tc"));
    EXPECT_EQ(Boxes(ScriptedUi::BoxKind::Error),
              std::vector<std::string>{
                  "Soubor Tellico nelze přečíst: archiv ZIP je neúplný nebo poškozený. Nic nebylo importováno."});
    EXPECT_EQ(guard.asked, 2);
    EXPECT_EQ(ReadAllRows(CataloguePath()).size(), 7u);
}

}  // namespace
}  // namespace testsupport
