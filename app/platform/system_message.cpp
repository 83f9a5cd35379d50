#include "app/platform/system_message.h"

#include <cerrno>
#include <cstring>
#include <iterator>

namespace {

struct Wording {
    const char* english;  // a part of the original, compared without regard to case
    const char* czech;
};

// The longer and more specific texts first: "file is encrypted or is not a
// database" must not be taken for a plain "database".
const Wording kWordings[] = {
    {"database or disk is full", "na disku není volné místo"},
    {"no space left on device", "na disku není volné místo"},
    {"disk quota exceeded", "je vyčerpán diskový prostor přidělený uživateli"},
    {"file too large", "soubor je pro disk příliš velký"},
    {"attempt to write a readonly database", "soubor nebo disk je jen pro čtení"},
    {"read-only file system", "disk je jen pro čtení"},
    {"permission denied", "chybí oprávnění k souboru nebo složce"},
    {"operation not permitted", "chybí oprávnění k souboru nebo složce"},
    {"access denied", "chybí oprávnění k souboru nebo složce"},
    {"file is not a database", "soubor není katalog (není to databáze SQLite)"},
    {"file is encrypted or is not a database", "soubor není katalog (není to databáze SQLite)"},
    {"database disk image is malformed", "soubor katalogu je poškozený"},
    {"database is locked", "katalog má otevřený a zamčený jiný program"},
    {"database table is locked", "katalog má otevřený a zamčený jiný program"},
    {"resource temporarily unavailable", "soubor má zamčený jiný program"},
    {"disk i/o error", "chyba při čtení nebo zápisu na disk"},
    {"input/output error", "chyba při čtení nebo zápisu na disk"},
    {"unable to open database file", "soubor katalogu nelze otevřít"},
    {"no such file or directory", "soubor nebo složka neexistuje"},
    {"not a directory", "v cestě je soubor místo složky"},
    {"is a directory", "na místě souboru je složka"},
    {"file exists", "soubor téhož jména už existuje"},
    {"interrupted", "práce byla přerušena"},
    {"unknown error", "neznámá chyba"},
};

}  // namespace

QString CzechSystemMessage(const QString& original) {
    const QString text = original.trimmed();
    // The most specific wording that the message contains.
    const Wording* best = nullptr;
    for (const Wording& w : kWordings) {
        const QString english = QString::fromLatin1(w.english);
        if (text.contains(english, Qt::CaseInsensitive) &&
            (!best || english.size() > qsizetype(std::strlen(best->english))))
            best = &w;
    }
    return best ? QString::fromUtf8(best->czech) : original;
}

QString SystemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString CzechSystemError(int error) { return CzechSystemMessage(SystemErrorText(error)); }

QString SystemDetails(const QString& original) {
    return CzechSystemMessage(original) == original ? QString() : original.trimmed();
}
