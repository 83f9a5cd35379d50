#pragma once
// The engine's side of backups and of the health check on opening: the quick
// integrity check of the open catalogue, a consistent copy of it made with
// "VACUUM INTO", and a look into another catalogue file (a backup) on an
// engine handle of its own, so the window's connection is left alone.
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

class TASQLite3DB;
struct EngineApi;
struct OptionalEngineApi;

// What the engine's quick check says of a catalogue file.
struct Integrity {
    enum class State { Sound, Damaged, NotADatabase };
    State state = State::Sound;
    // The engine's complaints, word for word, one a line (the first few
    // dozen); empty when sound.
    std::string report;
};

// The user cancelled a copy while it was being written.
class CopyCancelled : public std::runtime_error {
public:
    CopyCancelled() : std::runtime_error("interrupted") {}
};

// Another program held the catalogue locked for longer than the connection
// waits: the copy could not even start reading.
class CatalogueBusy : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file handle of the system's, closed when it goes.
struct Descriptor {
    explicit Descriptor(int value) : fd(value) {}
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};

// The folder of a catalogue's backups: "<catalogue>.zalohy" beside it.
std::string BackupFolderOf(const std::string& catalogue);

// Whether writing `target` would overwrite the catalogue file itself, its
// journal or log, or a file in its backup folder (paths are the file system's
// bytes; links and other names of the same file count as the same).
bool WouldOverwriteCatalogue(const std::string& catalogue, const std::string& target);

// The file of the connection's main database as the engine opened it (a full
// path), or empty when it has none.
std::string OpenCataloguePath(TASQLite3DB& con);

// What the file says before the engine is asked: an empty file (what a crash
// or a full disk leaves most often) is damaged, though the engine would take
// it for a sound empty database; anything else is left to the quick check.
// A file whose pages still lie in its write-ahead log is not empty.
Integrity CheckEmptiness(const std::string& path);

// "PRAGMA quick_check" on the open catalogue. A busy catalogue or a failing
// disk says nothing about the file's health: those throw EDatabaseError with
// the engine's message.
Integrity QuickCheck(TASQLite3DB& con);
// The same on a connection of its own to the file at `path`, so that it can
// run on another thread while the program's connection reads the catalogue.
Integrity QuickCheckFile(const EngineApi& api, const OptionalEngineApi& optional, const std::string& path,
                         std::chrono::milliseconds busyWait);

// The rows changed through the connection since it opened; a statement that
// failed changed none.
long long ChangesMade(TASQLite3DB& con);

// Every later change through this engine connection fails in the engine
// ("attempt to write a readonly database"); a new connection lifts it.
void RefuseWrites(TASQLite3DB& con);

// Writes a consistent copy of the open catalogue to `target`, which must not
// exist. `tick` is called now and then while the copy is written (when the
// engine library can report progress); returning false cancels it, which
// throws CopyCancelled; a locked catalogue throws CatalogueBusy with the
// engine's message. A failed or cancelled copy may leave part of `target`
// behind: the caller removes it. Throws EDatabaseError with the engine's message.
void VacuumInto(TASQLite3DB& con, const std::string& target, const std::function<bool()>& tick);

// Copies the schema format number from the header of `source` into `copy`.
// "VACUUM INTO" writes the newest format into the copy's header while it copies
// the rows as they are; old engines refuse that format, and later writes under
// it would use record encodings they cannot read. Throws std::runtime_error.
void KeepSchemaFormat(const std::string& source, const std::string& copy);

// Whether the file is shorter than its header says, or not a whole number of
// pages: the end of a truncated catalogue is missing.
bool LooksTruncated(const std::string& path);

// A catalogue file that is not the open one, on a handle of its own.
struct CatalogueSummary {
    Integrity integrity;   // checked only when asked for, else left sound
    long long books = -1;  // rows of the table "svazkovna"; -1 when it cannot be read
    std::string failure;   // the engine's message when the rows could not be counted
    int failureCode = 0;   // and its result code; 0 for a file the engine could not open
};
// Never creates the file: a missing one counts as unreadable.
CatalogueSummary InspectCatalogueFile(const EngineApi& api, const std::string& path, bool check);
