#include "bench/app/catalogue_gen.h"

#include <QString>
#include <QStringList>
#include <random>
#include <set>
#include <sqlite3.h>
#include <stdexcept>
#include <vector>

#include "app/core/codepage.h"

namespace {

const char* const kTable =
    "CREATE TABLE svazkovna(id integer,\r\nautor text,\r\ntitul text,\r\nzanr text,\r\n"
    "vydal text,\r\nserie text,\r\numisteni text,\r\nzapujcenokomu text,\r\n"
    "zapujcenokdy text,\r\nhodnoceni integer,\r\npoznamka text,\r\nudaj1 text,\r\n"
    "udaj2 text,\r\nudaj3 text)";

const QStringList kFirst = {"Jan",    "Petr",  "Karel",  "Jiří",    "Josef",  "Božena",   "Věra",   "Alena",
                            "Ondřej", "Tomáš", "Šárka",  "Ludmila", "Zdeněk", "Jaroslav", "Eliška", "Václav",
                            "Hana",   "Miloš", "Růžena", "Čeněk",   "Žofie",  "Radek"};
const QStringList kLast = {"Novák",    "Svoboda",  "Dvořák",  "Černý",   "Procházka", "Kučera",  "Veselý",
                           "Horák",    "Němcová",  "Čapek",   "Hrabal",  "Škvorecký", "Šťastný", "Žáček",
                           "Řezníček", "Urban",    "Vaculík", "Kundera", "Holub",     "Ďurová",  "Zahrada",
                           "Čtvrtek",  "Macháček", "Třešňák", "Fuks",    "Ptáčník",   "Olbracht"};
const QStringList kWords = {"Zima",   "jaro",    "noc",   "Příběh", "dům",   "řeka",   "Válka", "láska",
                            "kůň",    "zahrada", "Stíny", "město",  "Cesta", "hvězdy", "ticho", "Ďábel",
                            "poklad", "Šumava",  "čas",   "moře",   "Léto",  "dopisy", "Žena",  "okno"};
const QStringList kGenres = {"román", "sci-fi", "detektivka", "poezie", "povídky", "fantasy"};
const QStringList kPublishers = {"Odeon", "Albatros", "Mladá fronta", "Argo", "Host", "Academia"};
const QStringList kPlaces = {"obývák", "ložnice", "sklep", "chalupa", "police 3"};

std::string Cp(const QString& text) { return ToCodePage(text); }

struct Db {
    explicit Db(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) Fail();
    }
    ~Db() { sqlite3_close(db); }
    [[noreturn]] void Fail() const { throw std::runtime_error(sqlite3_errmsg(db)); }
    void Exec(const char* sql) const {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
    }
    sqlite3* db = nullptr;
};

void Bind(sqlite3_stmt* st, int column, const std::string* text) {
    if (text)
        sqlite3_bind_text(st, column, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(st, column);
}

}  // namespace

CatalogueStats GenerateCatalogue(const std::string& path, int books, uint32_t seed) {
    std::mt19937 random(seed);
    const auto pick = [&](const QStringList& list) { return list[static_cast<int>(random() % list.size())]; };
    // Most authors have a few books, some have many (up to 50).
    std::discrete_distribution<int> shelf({30, 20, 12, 8, 6, 5, 4, 3, 2, 2, 1, 1, 1, 1});
    const auto booksOf = [&] {
        const int bucket = shelf(random);
        return bucket < 10 ? bucket + 1 : 11 + static_cast<int>(random() % 40);
    };

    Db d(path);
    d.Exec(kTable);
    d.Exec("begin");
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(d.db, "insert into svazkovna values(?,?,?,?,?,?,?,?,?,?,?,'','','')", -1, &st, nullptr) !=
        SQLITE_OK)
        d.Fail();

    std::set<std::string> authors;
    bool nullAuthor = false;
    int id = 0;
    while (id < books) {
        std::string author = Cp(pick(kFirst) + " " + pick(kLast));
        // Many distinct authors: a middle initial or a number keeps namesakes apart.
        author += " " + std::string(1, static_cast<char>('A' + random() % 26)) + "." + std::to_string(random() % 400);
        const int count = std::min(booksOf(), books - id);
        for (int i = 0; i < count; ++i) {
            ++id;
            std::string title = Cp(pick(kWords) + " " + pick(kWords).toLower());
            if (random() % 4 == 0) title += " " + std::to_string(random() % 20 + 1);
            const std::string genre = Cp(pick(kGenres)), publisher = Cp(pick(kPublishers)), place = Cp(pick(kPlaces));
            std::string series = random() % 5 == 0 ? Cp(pick(kWords)) : "";
            std::string lentTo = random() % 10 == 0 ? Cp(pick(kFirst)) : "", lentWhen;
            if (!lentTo.empty()) lentWhen = std::to_string(random() % 28 + 1) + ".3.2009";
            std::string note;
            if (random() % 50 == 0) {
                while (note.size() < 300) note += Cp(pick(kWords) + " ");  // beyond what a query delivers
            } else if (random() % 3 == 0) {
                note = Cp("vypůjčeno od " + pick(kFirst));
            }
            const std::string* authorCell = &author;
            const std::string* titleCell = &title;
            std::string odd;
            switch (random() % 2000) {  // a few rows from elsewhere
            case 0:
                authorCell = nullptr;
                nullAuthor = true;
                break;
            case 1: titleCell = nullptr; break;
            case 2:
                odd = "O'Brien, Flann";
                authorCell = &odd;
                break;
            case 3:
                odd.clear();
                authorCell = &odd;
                break;
            default: break;
            }
            if (authorCell) authors.insert(*authorCell);
            sqlite3_bind_int(st, 1, id);
            Bind(st, 2, authorCell);
            Bind(st, 3, titleCell);
            Bind(st, 4, &genre);
            Bind(st, 5, &publisher);
            Bind(st, 6, &series);
            Bind(st, 7, &place);
            Bind(st, 8, &lentTo);
            Bind(st, 9, &lentWhen);
            sqlite3_bind_int(st, 10, static_cast<int>(random() % 5) + 1);
            Bind(st, 11, &note);
            if (sqlite3_step(st) != SQLITE_DONE) {
                sqlite3_finalize(st);
                d.Fail();
            }
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    d.Exec("commit");
    return {books, static_cast<int>(authors.size()) + (nullAuthor ? 1 : 0)};
}
