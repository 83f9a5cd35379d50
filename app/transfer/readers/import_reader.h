#pragma once
// What every import reader gives: its format's name and file patterns, and
// for the file's bytes the rows as the catalogue will store them, the mapping
// used column by column and the warnings for the preview. One reader per
// format; the list of readers (import_readers.cpp) decides which one reads a
// file, from its content, and what the open dialog offers.
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "catalogue/import_rows.h"

struct ImportPlan {
    QString format;                          // "CSV", "Goodreads", "LibraryThing", "Calibre", "Tellico"
    QString encoding;                        // "UTF-8" or "Windows-1250"
    char separator = 0;                      // of a delimited file; 0 for other formats
    QString unit = QStringLiteral("řádek");  // what a row's `line` counts: "řádek" or "záznam"
    std::vector<ImportRow> rows;
    QStringList mapping;         // "Author l-f → autor (Příjmení Jméno)", one per source column
    QStringList warnings;        // what the user should know before importing
    QStringList ignoredColumns;  // header names that name no column of the catalogue
    // The program's own export: an empty field stands for NULL, "" for empty text.
    bool ownExport = false;
    long long firstId = 1;  // the id the first stored row is expected to get

    int DuplicateCount() const;
    int RepeatCount() const;
    // Ticked in the preview at first: owned books that are not stored yet.
    std::vector<bool> Offered() const;
    std::vector<CatalogueRow> RowsToStore(const std::vector<bool>& chosen) const;
};

// A file that cannot be imported, with every problem found (UTF-8 texts for
// the user); its message names the first kNamedProblems of them.
class ImportError : public std::runtime_error {
public:
    static constexpr int kNamedProblems = 20;
    explicit ImportError(const QStringList& problems, int total);
    int Total() const { return total_; }

private:
    int total_;
};

// Problems gathered while reading, so that one attempt names them all, in
// the order of the lines (or records) they are on.
class ImportProblems {
public:
    // `line`: the line or record the problem is on; 0 for the file as a whole.
    void Add(const QString& problem, int line = 0);
    bool Any() const { return total_ > 0; }
    // Throws ImportError when any problem was added.
    void ThrowIfAny() const;
    // Throws at once with this problem and those gathered before.
    [[noreturn]] void Fail(const QString& problem);

private:
    // Kept up to a bound: only the first few are named anyway.
    static constexpr int kKept = 1000;
    std::vector<std::pair<int, QString>> kept_;
    int total_ = 0;
};

// The file as the readers see it.
struct ImportSource {
    std::string_view bytes;
    // The names of the first row when the file reads as a delimited table
    // (any encoding, any of the three separators); empty otherwise.
    QStringList header;
};

class ImportReader {
public:
    virtual ~ImportReader() = default;
    // The format as the preview names it: "Goodreads" (Tellico adds the file's kind).
    virtual QString Name() const = 0;
    // The open dialog's patterns for the format's files: "*.csv".
    virtual QStringList FilePatterns() const = 0;
    // Whether the content is this reader's format.
    virtual bool Recognises(const ImportSource& source) const = 0;
    // The whole file; throws ImportError naming what is wrong.
    virtual ImportPlan Read(const ImportSource& source) const = 0;
};

// The readers in the order they are asked; the generic CSV one is last.
const std::vector<std::unique_ptr<ImportReader>>& ImportReaders();
// Each reader's file makes it.
std::unique_ptr<ImportReader> MakeTellicoReader();
std::unique_ptr<ImportReader> MakeGoodreadsReader();
std::unique_ptr<ImportReader> MakeLibraryThingReader();
std::unique_ptr<ImportReader> MakeCalibreReader();
std::unique_ptr<ImportReader> MakeCsvReader();

// The open dialog's filter from the readers: every file they read first, then
// each format, then all files.
QString ImportFileFilter();

// Reads a file of any known format. Throws ImportError.
ImportPlan ParseImport(std::string_view bytes);

// The separator as the user is shown it.
QString SeparatorName(char separator);

// Marks the rows the catalogue already has and those that repeat an earlier
// row of the file (catalogue/import_rows.h), and sets the id expected for the
// first stored row.
void MarkStored(ImportPlan& plan, const std::unordered_set<std::string>& storedKeys,
                const std::unordered_set<std::string>& storedUdaj1, long long nextId);

// Rows whose author the catalogue already holds in another form ("Márquez
// Gabriel García" for a stored "García Márquez Gabriel") take the stored
// form, each named in the warnings, so that one author stays one in the tree.
void AdoptStoredAuthors(ImportPlan& plan, const std::unordered_map<std::string, std::string>& storedForms);
