// What the health check does with a catalogue that is not simply sound: a file
// whose table is not the catalogue's, a damaged one kept for reading, and the
// check another program's lock postponed.
#include <QString>

#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"
#include "app/safekeeping/catalogue_backup.h"
#include "catalogue/backup_store.h"
#include "catalogue/table_shape.h"
#include "storage/connection.h"
#include "storage/errors.h"

using namespace backupfiles;

namespace {

const char* const kOtherProgram = "Soubor „%1“ je databáze jiného programu: nemá tabulku knih „svazkovna“.";
const char* const kNoTable = "Soubor „%1“ není katalog: je to databáze bez tabulky knih „svazkovna“.";
const char* const kColumnsMissing =
    "V tabulce knih souboru „%1“ chybí sloupce %2, takže by se do něj žádná změna neuložila; "
    "soubor nejspíš upravil jiný program.";
const char* const kForeignAsk =
    "%1\n\nObnovit katalog z nejnovější zálohy z %2 (%3)? Současný soubor se předtím uschová do složky záloh. "
    "Ne: katalog se neotevře.";
const char* const kReadableRows = "Z poškozeného katalogu „%1“ se podařilo přečíst %2. %3";
const char* const kUnreadableRows = "Nepodařilo se přečíst %1 z poškozených částí souboru; ostatní knihy se ukazují.";
const char* const kAllRead = "Žádná kniha se neztratila.";
const char* const kPostponedDamaged =
    "Katalog „%1“ je poškozený (kontrola celistvosti, kterou při otevření zdržel jiný program, v něm našla chyby). "
    "Změna se neprovedla a do katalogu se nic nezapíše. Obnovte ho ze zálohy příkazem „obnovit ze zálohy…“ "
    "v nabídce „databáze“.";

QString Czech(const char* text) { return QString::fromUtf8(text); }

QString RecordsText(long long count) {
    const char* word = count == 1 ? "záznam" : (count >= 2 && count <= 4) ? "záznamy" : "záznamů";
    return QString::number(count) + ' ' + word;
}

}  // namespace

const BackupFile* CatalogueBackup::NewestSound(const std::vector<BackupFile>& backups, long long& books) const {
    for (const BackupFile& backup : backups) {
        const CatalogueSummary summary = InspectCatalogueFile(con_.Api(), backup.path, true);
        if (summary.integrity.state == Integrity::State::Sound && summary.books >= 0) {
            books = summary.books;
            return &backup;
        }
    }
    return nullptr;
}

CatalogueBackup::Opened CatalogueBackup::CheckTable(const std::string& catalogue) {
    const TableShape shape = CatalogueTableShape(con_);
    if (shape.Fits()) return Opened::Sound;
    const QString name = Shown(NameOf(catalogue));
    QString missing;
    for (const std::string& column : shape.missing)
        missing += (missing.isEmpty() ? QString() : QStringLiteral(", ")) + QString::fromStdString(column);
    const QString why = !shape.tableFound ? Czech(shape.otherTables ? kOtherProgram : kNoTable).arg(name)
                                          : Czech(kColumnsMissing).arg(name, missing);
    const QString details = shape.tableFound ? QStringLiteral("table svazkovna lacks columns: ") + missing
                                             : QStringLiteral("no such table: svazkovna");
    long long books = 0;
    const std::vector<BackupFile> backups = Backups();
    if (const BackupFile* newest = NewestSound(backups, books)) {
        const QString question = Czech(kForeignAsk).arg(why, ShownTime(newest->made), BooksText(books));
        if (ui_.DetailedQuestion(ProgramTitle(), question, details) && PutInPlace(newest->path, catalogue, [&] {
                const Result kept = KeepDamagedCopy(catalogue);
                if (kept.outcome != Outcome::Done) ui_.DetailedErrorBox(ProgramTitle(), kept.Said(), kept.Details());
                return kept.outcome == Outcome::Done;
            })) {
            con_.SetConnected(true);
            if (QuickCheck(con_).state == Integrity::State::Sound && CatalogueTableShape(con_).Fits())
                return Opened::Restored;
        }
    }
    throw DetailedFailure(why, details);
}

CatalogueBackup::Opened CatalogueBackup::KeepForReading(const std::string& catalogue) {
    ReadableRows rows;
    QString failure;
    try {
        rows = ShadowReadableRows(con_);
    } catch (const EDatabaseError& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    RefuseWrites(con_);
    damaged_ = catalogue;
    if (failure.isEmpty()) {
        const QString lost =
            rows.unreadable > 0 ? Czech(kUnreadableRows).arg(RecordsText(rows.unreadable)) : Czech(kAllRead);
        ui_.InformationBox(ProgramTitle(),
                           Czech(kReadableRows).arg(Shown(NameOf(catalogue)), BooksText(rows.read), lost));
    }
    return Opened::ReadOnly;
}

bool CatalogueBackup::CheckPostponed(const std::string& catalogue) {
    // A failure to read (the lock still held) goes to the change, which meets it too.
    const Integrity health = QuickCheck(con_);
    unchecked_.clear();
    if (health.state == Integrity::State::Sound) return true;
    RefuseWrites(con_);
    damaged_ = catalogue;
    ui_.DetailedErrorBox(ProgramTitle(), Czech(kPostponedDamaged).arg(Shown(NameOf(catalogue))),
                         QString::fromLocal8Bit(health.report.c_str()));
    return false;
}
