#include "app/platform/system_message.h"

#include <cerrno>
#include <cstring>

namespace {

// The engine's primary result codes (the low byte of an extended one).
enum Primary {
    kError = 1,
    kPerm = 3,
    kAbort = 4,
    kBusy = 5,
    kLocked = 6,
    kNoMemory = 7,
    kReadOnly = 8,
    kInterrupt = 9,
    kIoError = 10,
    kCorrupt = 11,
    kFull = 13,
    kCantOpen = 14,
    kProtocol = 15,
    kSchema = 17,
    kTooBig = 18,
    kConstraint = 19,
    kAuth = 23,
    kNotADatabase = 26,
};
// The extended codes of a read-only catalogue that say why.
constexpr int kReadOnlyRecovery = kReadOnly | (1 << 8);
constexpr int kReadOnlyCantLock = kReadOnly | (2 << 8);
constexpr int kReadOnlyRollback = kReadOnly | (3 << 8);
constexpr int kReadOnlyMoved = kReadOnly | (4 << 8);
constexpr int kReadOnlyCantInit = kReadOnly | (5 << 8);
constexpr int kReadOnlyDirectory = kReadOnly | (6 << 8);

struct Wording {
    const char* cause;
    const char* advice;  // may be empty
};

const Wording kNoSpace = {"na disku není volné místo", "Uvolněte místo na disku a zkuste to znovu."};
const Wording kQuota = {"je vyčerpán diskový prostor přidělený uživateli", "Uvolněte místo a zkuste to znovu."};
const Wording kTooLarge = {"soubor je pro disk příliš velký", ""};
const Wording kDiskReadOnly = {"disk je jen pro čtení", ""};
const Wording kNoPermission = {"chybí oprávnění k souboru nebo složce", ""};
const Wording kDiskError = {"chyba při čtení nebo zápisu na disk", "Zkontrolujte disk a zkuste to znovu."};
const Wording kMissing = {"soubor nebo složka neexistuje", ""};
const Wording kNotADirectory = {"v cestě je soubor místo složky", ""};
const Wording kIsADirectory = {"na místě souboru je složka", ""};
const Wording kExists = {"soubor téhož jména už existuje", ""};
const Wording kInterrupted = {"práce byla přerušena", ""};
const Wording kFileLocked = {"soubor má zamčený jiný program", "Zkuste to znovu za chvíli."};
const Wording kUsedElsewhere = {"katalog právě používá jiný program", "Zkuste to znovu za chvíli."};
const Wording kNoMemoryLeft = {"programu došla paměť", "Zavřete jiné programy a zkuste to znovu."};
const Wording kDamaged = {"soubor katalogu je poškozený", "Obnovte ho ze zálohy příkazem „obnovit ze zálohy…“."};
const Wording kNoCatalogue = {"soubor není katalog (není to databáze SQLite)", ""};
const Wording kMoved = {
    "soubor katalogu mezitím nahradil nebo přesunul jiný program (například jiná spuštěná "
    "kopie tohoto programu ho obnovila ze zálohy), takže se změna neuložila",
    "Otevřete katalog znovu a změnu zopakujte."};
const Wording kUnfinished = {
    "katalog má nedokončenou změnu z dřívějška, kterou lze dokončit jen na disku, kam "
    "se smí zapisovat",
    "Otevřete katalog jednou ze zapisovatelného disku nebo složky; nic se neztratilo."};
const Wording kNoJournal = {
    "do složky katalogu nelze zapisovat, a tak nelze založit deník změn, bez kterého se "
    "změna neuloží",
    "Povolte zápis do složky nebo katalog přesuňte jinam."};
const Wording kCatalogueReadOnly = {"soubor katalogu nebo disk je jen pro čtení", ""};
const Wording kCannotOpen = {"soubor katalogu nelze otevřít", ""};
// The program's statements are fixed: the engine refuses one when the file's
// table is not the catalogue's.
const Wording kRefused = {
    "databázový stroj příkaz odmítl; soubor nejspíš nemá tabulku knih v podobě, jakou "
    "program potřebuje",
    ""};
const Wording kRule = {"změna by porušila pravidlo tabulky katalogu", ""};
const Wording kTooBigValue = {"hodnota je pro katalog příliš velká", ""};
const Wording kSchemaChanged = {"jiný program mezitím změnil stavbu katalogu", "Zkuste to znovu."};
const Wording kUnknown = {"neznámá chyba", ""};

// A system error number, or nothing when it is none of those said above.
const Wording* ForSystemError(int error) {
    switch (error) {
    case ENOSPC: return &kNoSpace;
    case EDQUOT: return &kQuota;
    case EFBIG: return &kTooLarge;
    case EROFS: return &kDiskReadOnly;
    case EACCES:
    case EPERM: return &kNoPermission;
    case EIO: return &kDiskError;
    case ENOENT: return &kMissing;
    case ENOTDIR: return &kNotADirectory;
    case EISDIR: return &kIsADirectory;
    case EEXIST: return &kExists;
    case EINTR: return &kInterrupted;
    case EAGAIN: return &kFileLocked;
    case ENOMEM: return &kNoMemoryLeft;
    default: return nullptr;
    }
}

// The engine keeps the system's error number only for a failed read, write or
// open; with any other code it is left from an earlier failure and says nothing.
const Wording& ForEngine(int code, int systemError) {
    switch (code) {
    case kReadOnlyMoved: return kMoved;
    case kReadOnlyRollback:
    case kReadOnlyRecovery:
    case kReadOnlyCantInit: return kUnfinished;
    case kReadOnlyDirectory: return kNoJournal;
    case kReadOnlyCantLock: return kCatalogueReadOnly;
    default: break;
    }
    switch (code & 0xFF) {
    case kBusy:
    case kLocked:
    case kProtocol: return kUsedElsewhere;
    case kFull: return kNoSpace;
    case kIoError:
        if (const Wording* w = ForSystemError(systemError)) return *w;
        return kDiskError;
    case kCantOpen:
        // The catalogue itself was opened when the connection was made: a file
        // that cannot be made later is the journal beside it, in its folder.
        if (systemError == EACCES || systemError == EPERM || systemError == EROFS) return kNoJournal;
        if (const Wording* w = ForSystemError(systemError)) return *w;
        return kCannotOpen;
    case kReadOnly: return kCatalogueReadOnly;
    case kCorrupt: return kDamaged;
    case kNotADatabase: return kNoCatalogue;
    case kNoMemory: return kNoMemoryLeft;
    case kInterrupt:
    case kAbort: return kInterrupted;
    case kPerm:
    case kAuth: return kNoPermission;
    case kConstraint: return kRule;
    case kTooBig: return kTooBigValue;
    case kSchema: return kSchemaChanged;
    case kError: return kRefused;
    default: return kUnknown;
    }
}

QString Sentence(const Wording& w) {
    QString text = QString::fromUtf8(w.cause);
    text[0] = text[0].toUpper();
    text += u'.';
    if (*w.advice) text += u' ' + QString::fromUtf8(w.advice);
    return text;
}

// The highest error number the system's table has words for.
constexpr int kLastSystemError = 200;

}  // namespace

QString EngineFailureCause(int engineCode, int systemError) {
    return QString::fromUtf8(ForEngine(engineCode, systemError).cause);
}

QString EngineFailureSentence(int engineCode, int systemError) { return Sentence(ForEngine(engineCode, systemError)); }

QString SystemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString CzechSystemError(int error) {
    const Wording* w = ForSystemError(error);
    return QString::fromUtf8((w ? w : &kUnknown)->cause);
}

QString CzechFileError(QFileDevice::FileError error, int systemError) {
    if (const Wording* w = ForSystemError(systemError)) return QString::fromUtf8(w->cause);
    switch (error) {
    case QFileDevice::PermissionsError: return QString::fromUtf8(kNoPermission.cause);
    case QFileDevice::ReadError: return QStringLiteral("soubor se nepodařilo přečíst");
    case QFileDevice::WriteError: return QStringLiteral("do souboru nelze zapisovat");
    case QFileDevice::OpenError: return QStringLiteral("soubor nelze otevřít");
    case QFileDevice::ResourceError: return QStringLiteral("systému došly prostředky (místo na disku nebo paměť)");
    case QFileDevice::RenameError:
    case QFileDevice::CopyError: return QStringLiteral("soubor se nepodařilo přejmenovat na cílové jméno");
    case QFileDevice::AbortError: return QString::fromUtf8(kInterrupted.cause);
    default: return QString::fromUtf8(kUnknown.cause);
    }
}

QString CzechSystemMessage(const QString& original) {
    const QString text = original.trimmed();
    for (int error = 1; error <= kLastSystemError; ++error) {
        const Wording* w = ForSystemError(error);
        if (w && text.endsWith(SystemErrorText(error))) return QString::fromUtf8(w->cause);
    }
    return original;
}

QString SystemDetails(const QString& original) {
    return CzechSystemMessage(original) == original ? QString() : original.trimmed();
}
