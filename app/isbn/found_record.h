#pragma once
// A book as a library catalogue describes it, already in the catalogue's
// terms: the author as "Příjmení Jméno", the title without cataloguing
// punctuation. Texts are Unicode; the catalogue's code page comes at storing.
#include <QString>
#include <QStringList>
#include <vector>

struct FoundRecord {
    // The texts a later source may fill in or see otherwise.
    enum class Field { Autor, Titul, Vydal, Rok, Serie, Zanr };
    // What another source said of a field: filled in where the first had
    // nothing, or a different value beside the one kept.
    struct SourceNote {
        Field field = Field::Autor;
        bool differs = false;  // false: the value was filled in from `source`
        QString source;
        QString value;
        bool operator==(const SourceNote&) const = default;
    };

    QString autor;
    QString titul;
    QString vydal;
    QString rok;
    QString serie;
    QString zanr;
    QStringList isbns;                   // the record's ISBNs in the stored form
    QString source;                      // the source's name as the queue shows it
    QString page;                        // the record's page at the source, when it has one
    QString stran;                       // pages, the number alone: "240"
    QString vydani;                      // the edition as an ordinal: "3."
    std::vector<SourceNote> notes = {};  // what later sources filled in or said otherwise

    bool operator==(const FoundRecord&) const = default;
};

// A name as catalogues write it ("Čapek, Karel," or "Karel Čapek") in the
// catalogue's order "Čapek Karel". `inverted` says the text already starts
// with the surname (MARC 100 $a); otherwise the last word is taken as it,
// a suffix ("Jr.") staying last. Dates at the end are dropped.
QString CatalogueName(const QString& name, bool inverted);

// A MARC subfield without the punctuation cataloguers put at its end
// (" /", " :", " ;", " =", ","; a final full stop unless it ends an initial,
// an abbreviation or a Roman numeral: "J.", "R.U.R.", "spol.", "Jr.", "IV.").
QString WithoutEndPunctuation(const QString& text);

// The pages of an extent ("240 s. :", "xii, 240 stran", "[96] s.", "320 p.")
// or of a plain number; empty when it names no pages ("2 sv.").
QString PagesOf(const QString& extent);
// An edition statement as an ordinal ("3. vydání", "Vyd. 2.", "2nd ed." give
// "3.", "2."); a statement without a number stays as written.
QString EditionOf(const QString& statement);
