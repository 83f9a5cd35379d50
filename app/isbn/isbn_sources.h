#pragma once
// The library catalogues ISBNs are looked up in, from the settings key
// "zdrojeisbn" in [nastaveni]: an ordered list separated by ';', each entry
// kind=address with kind z3950 (HOST:PORT/DATABASE), sru (URL) or
// openlibrary (URL). A missing key gives the defaults; an empty value
// switches the look-up off.
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

inline constexpr const char* kIsbnSourcesKey = "zdrojeisbn";
// The Czech union catalogue first, then Open Library.
inline constexpr const char* kDefaultIsbnSources =
    "z3950=aleph.nkp.cz:9991/SKC-UTF;openlibrary=https://openlibrary.org";

struct IsbnSource {
    enum class Kind { Z3950, Sru, OpenLibrary };
    Kind kind = Kind::Z3950;
    QString address;  // as written after "="

    // The name the queue shows in its source column: the catalogue, not only
    // its server ("aleph.nkp.cz/SKC-UTF", "host/sru/path", "Open Library").
    QString Name() const;
};

struct IsbnSourceList {
    std::vector<IsbnSource> sources;
    QStringList faults;  // entries that were skipped, with why, for the window's note
};

// The list as the value (in the settings file's code page) says.
IsbnSourceList ParseIsbnSources(const std::string& value);

// The list from the settings file at `settingsPath` (the defaults without the key).
IsbnSourceList ReadIsbnSources(const QString& settingsPath);
