#pragma once
// Import of books from a CSV file: the program's own export, and files whose
// header row names the usual columns in Czech or English. The file is read and
// checked whole before anything is written; the rows then go in with fresh ids
// in one transaction.
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "catalogue/catalogue_transfer.h"

class Progress;
class TASQLite3DB;
class CatalogueSession;

struct ImportPlan {
    QString encoding;  // "UTF-8" or "Windows-1250"
    char separator = ',';
    // The rows as they will be stored: texts in the catalogue's code page,
    // ratings brought into 1 to 5. Ids are given on writing, from the highest plus one.
    std::vector<CatalogueRow> rows;
    std::vector<int> lines;        // the file line each row starts on
    std::vector<bool> duplicate;   // same author and title as a stored row
    QStringList ignoredColumns;    // header names that name no column of the catalogue
    // The program's own export: an empty field stands for NULL, "" for empty text.
    bool ownExport = false;
    long long firstId = 1;  // the id the first stored row is expected to get

    int DuplicateCount() const;
    // The rows to write: every row, or those that are no duplicates.
    std::vector<CatalogueRow> RowsToStore(bool includeDuplicates) const;
};

// The separator as the user is shown it.
QString SeparatorName(char separator);

// Reads the file's bytes into a plan. Throws std::runtime_error (UTF-8 message
// for the user, naming the line) for a malformed line, a header without the
// author and title columns, or a text the catalogue's code page cannot hold.
ImportPlan ParseImport(std::string_view bytes);
// Marks the rows whose author and title a stored row has, and sets the
// id expected for the first stored row.
void MarkStored(ImportPlan& plan, const std::unordered_set<std::string>& storedKeys, long long nextId);

// The command "importovat z CSV…".
class CsvImport {
public:
    // Asked before anything is written (the backup); false means do nothing.
    std::function<bool()> beforeChange = [] { return true; };

    void Run(CatalogueSession& session);
};
