#include "bench/app/messy_catalogue.h"

#include <QString>
#include <QStringList>
#include <filesystem>
#include <map>
#include <random>
#include <sqlite3.h>
#include <stdexcept>
#include <unistd.h>
#include <vector>

#include "app/core/codepage.h"
#include "bench/app/bench_support.h"

namespace {

struct Names {
    QStringList surnames, first;
    const char* particle;  // written or left out at will
};

// Surnames shared by many people, as in any large collection.
const Names kCzech = {{"Novák",   "Svoboda", "Dvořák",   "Černý",     "Procházka",   "Kučera",  "Veselý",   "Horák",
                       "Němcová", "Čapek",   "Hrabal",   "Škvorecký", "Šťastný",     "Žáček",   "Řezníček", "Urban",
                       "Vaculík", "Kundera", "Holub",    "Ďurová",    "Zahradníček", "Čtvrtek", "Macháček", "Třešňák",
                       "Fuks",    "Ptáčník", "Olbracht", "Jirásek",   "Nezval",      "Seifert", "Havel",    "Klíma"},
                      {"Jan",    "Petr",  "Karel",  "Jiří",    "Josef",  "Božena",   "Věra",    "Alena",
                       "Ondřej", "Tomáš", "Šárka",  "Ludmila", "Zdeněk", "Jaroslav", "Eliška",  "Václav",
                       "Hana",   "Miloš", "Růžena", "Čeněk",   "Žofie",  "Radek",    "Bohumil", "Ivan"},
                      nullptr};
const Names kGerman = {
    {"Goethe", "Mann", "Hesse", "Remarque", "Kafka", "Rilke", "Brecht", "Grass", "Böll", "Süskind", "Zweig"},
    {"Johann", "Wolfgang", "Thomas", "Heinrich", "Hermann", "Erich", "Maria", "Franz", "Rainer", "Günter", "Stefan",
     "Klaus"},
    "von"};
const Names kSpanish = {
    {"García Márquez", "Vargas Llosa", "Ruiz Zafón", "Pérez Reverte", "Cela Trulock", "Sánchez Ferlosio"},
    {"Gabriel", "Mario", "Carlos", "Arturo", "Camilo", "José", "Vicente", "Isabel"},
    "y"};
const QStringList kCorporate = {
    "Kolektiv autorů",      "kolektiv autorů",  "Ústav pro jazyk český AV ČR", "Nakladatelství Albatros",
    "Redakce Mladé fronty", "Novák Jan a kol.", "Klub českých turistů",        "Various"};

struct Person {
    QString surname;
    QStringList first;
};

QString Initials(const QStringList& names, const QString& between) {
    QStringList out;
    for (const QString& n : names) out << n.left(1) + ".";
    return out.join(between);
}

// One of the ways a person is written; most books carry the first.
QString Spelling(const Person& p, unsigned way) {
    const QString first = p.first.join(' ');
    switch (way) {
    case 1: return p.surname + " " + Initials(p.first, " ");  // "Tolkien J. R. R."
    case 2: return p.surname + " " + Initials(p.first, "");   // "Tolkien J.R.R."
    case 3: return first + " " + p.surname;                   // inverted
    case 4: return p.surname + ", " + first;                  // as a library prints it
    case 5: return p.surname.toUpper() + " " + first;         // typed with caps lock
    case 6: return Initials(p.first, " ") + " " + p.surname;  // "J. R. R. Tolkien"
    default: return p.surname + " " + first;
    }
}

int Digit(int sum) { return (10 - sum % 10) % 10; }

// A valid Czech ISBN (prefix 80) for the n-th book, in one of the forms found in `udaj1`.
std::string IsbnText(int n, unsigned form) {
    const std::string nine = "80" + std::to_string(1000000 + n % 9000000).substr(0, 7);
    int sum10 = 0;
    for (size_t i = 0; i < 9; ++i) sum10 += (10 - static_cast<int>(i)) * (nine[i] - '0');
    const int c10 = (11 - sum10 % 11) % 11;
    const std::string isbn10 = nine + (c10 == 10 ? "X" : std::to_string(c10));
    const std::string twelve = "978" + nine;
    int sum13 = 0;
    for (size_t i = 0; i < 12; ++i) sum13 += (i % 2 ? 3 : 1) * (twelve[i] - '0');
    const std::string isbn13 = twelve + std::to_string(Digit(sum13));
    const std::string hyphens10 =
        isbn10.substr(0, 2) + "-" + isbn10.substr(2, 4) + "-" + isbn10.substr(6, 3) + "-" + isbn10.substr(9);
    switch (form) {
    case 1: return hyphens10;
    case 2: return isbn10;
    case 3: return "ISBN 978-" + hyphens10.substr(0, 12) + isbn13.substr(12);
    case 4: return hyphens10 + " (váz.)";
    default: return isbn13;
    }
}

struct Messy {
    std::string dir, path;
    ~Messy() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

void Fail(sqlite3* db) { throw std::runtime_error(sqlite3_errmsg(db)); }

void Rewrite(const std::string& path, int books) {
    std::mt19937 random(static_cast<uint32_t>(books));
    const auto pick = [&](const QStringList& list) { return list[static_cast<int>(random() % list.size())]; };
    // About one person for every six books.
    std::vector<Person> people;
    for (int i = 0; i < std::max(books / 6, 10); ++i) {
        const unsigned kind = random() % 10;
        const Names& names = kind < 7 ? kCzech : kind < 9 ? kGerman : kSpanish;
        Person p{pick(names.surnames), {pick(names.first)}};
        if (random() % 3 == 0) p.first << pick(names.first);
        if (names.particle && random() % 4 == 0) p.first << names.particle;
        people.push_back(p);
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) Fail(db);
    std::vector<int64_t> keys;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select rowid from svazkovna where autor <> '' order by rowid", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) keys.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    if (sqlite3_prepare_v2(db, "update svazkovna set autor=?, udaj1=? where rowid=?", -1, &st, nullptr) != SQLITE_OK)
        Fail(db);
    size_t at = 0;
    int isbn = 0;
    std::vector<int> earlier;
    while (at < keys.size()) {
        const Person& p = people[random() % people.size()];
        const unsigned usual = random() % 4 == 0 ? random() % 7 : 0;
        const int run = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < run && at < keys.size(); ++i, ++at) {
            const QString author = random() % 40 == 0  ? pick(kCorporate)
                                   : random() % 6 == 0 ? Spelling(p, random() % 7)
                                                       : Spelling(p, usual);
            std::string number;
            if (random() % 5 != 0) {
                // One book in fifty is another copy of an earlier one, its ISBN stored another way.
                const bool again = !earlier.empty() && random() % 50 == 0;
                const int n = again ? earlier[random() % earlier.size()] : ++isbn;
                if (!again) earlier.push_back(n);
                number = IsbnText(n * 7919, random() % 5);
            }
            const std::string a = ToCodePage(author), u = ToCodePage(QString::fromStdString(number));
            sqlite3_bind_text(st, 1, a.data(), static_cast<int>(a.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, u.data(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 3, keys[at]);
            if (sqlite3_step(st) != SQLITE_DONE) Fail(db);
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace

const std::string& MessyCatalogueOf(int books) {
    static std::map<int, Messy> made;
    Messy& m = made[books];
    if (m.path.empty()) {
        std::string dir = (std::filesystem::temp_directory_path() / "svazkovna-messy-XXXXXX").string();
        if (!mkdtemp(dir.data())) throw std::runtime_error("no temporary directory");
        m.dir = dir;
        m.path = dir + "/svazkovna.db";
        std::filesystem::copy_file(CatalogueOf(books), m.path);
        Rewrite(m.path, books);
    }
    return m.path;
}
