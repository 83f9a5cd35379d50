#pragma once
// A delimited file (CSV or tab-separated) as the table readers share it: the
// encoding and separator detected, the header's names, and the records that
// are well formed; every malformed line is gathered as a problem.
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/transfer/readers/import_reader.h"
#include "catalogue/csv.h"

struct ForeignBook;

// The first row's names, decoded; empty for a file that is no table (a zip,
// an XML document, UTF-16, an empty file).
QStringList FirstRowNames(std::string_view bytes);

struct TableFile {
    bool utf8 = true;
    char separator = ',';
    QStringList header;
    std::vector<CsvRecord> records;  // after the header, empty lines left out
    QStringList warnings;            // bytes that were not UTF-8 in a UTF-8 file, by line

    QString Encoding() const;
    QString Text(const CsvField& field) const;
    // The index of the first header name among `names` (exact, case ignored), or -1.
    int Column(std::initializer_list<const char*> names) const;
};

// Reads the whole table. Lines with an unclosed quote, text after a closing
// quote or a wrong number of fields are added to `problems` and left out.
// A file that is UTF-8 but for a few stray bytes is read as UTF-8: each such
// byte becomes "?" and its line is named in the warnings.
TableFile ReadTableFile(std::string_view bytes, ImportProblems& problems);

// The longest text a field keeps; a longer one (a whole book pasted into a
// review) is cut, so that neither the preview nor the catalogue chokes on it.
inline constexpr size_t kMaxStoredField = 64 * 1024;

// The text in the catalogue's code page. Characters the code page cannot hold
// are stored in their nearest form (nearest_form.h) and a text over
// kMaxStoredField bytes is cut; both are added to `warnings` as
// "<where(-1)>: Nesbø → Nesbo". A zero character is added to `problems` as
// "<where(at)>: …", with `at` its index in `text`, under `line`, and an empty
// text is returned.
std::string ToStored(const QString& text, ImportProblems& problems, int line,
                     const std::function<QString(qsizetype at)>& where, QStringList& warnings);
// Bytes already in the code page, cut as ToStored cuts them.
std::string CutStored(std::string bytes, const std::function<QString(qsizetype at)>& where, QStringList& warnings);

// Line breaks in `text` before `end`, CR LF counted once.
int LineBreaksBefore(const QString& text, qsizetype end);

// A column another program writes, and what the import makes of it.
struct SourceColumn {
    const char* name;     // as the program writes it in the header
    const char* meaning;  // for the preview: "autor (Příjmení Jméno)"
};

// The index of each described column in the table's header (-1 when absent);
// each present one is added to the plan's mapping as "name → meaning", other
// header names to its ignored columns.
std::vector<int> MapColumns(const TableFile& table, const std::vector<SourceColumn>& columns, ImportPlan& plan);

// What every table format's reader starts and ends with: the table read, a
// plan named after the format with the table's encoding, separator and column
// mapping, the books added, the problems thrown.
class TableImport {
public:
    TableImport(std::string_view bytes, const QString& format, const std::vector<SourceColumn>& columns);

    // The text of the described column `column` in `record`; empty when the file lacks it.
    QString Cell(const CsvRecord& record, int column) const;
    // The plan gets the book, from the record on `line`.
    void Add(const ForeignBook& book, int line);
    // Throws the problems found; else gives the plan, first warning (when
    // any book is not owned) `unownedWarning` with %1 the number of such books.
    ImportPlan Finish(const char* unownedWarning);

    ImportProblems problems;
    const TableFile table;
    ImportPlan plan;

private:
    std::vector<int> at_;
    int unowned_ = 0;
};

// Whether the header holds every one of `names` (case ignored).
bool HeaderHas(const QStringList& header, std::initializer_list<const char*> names);
