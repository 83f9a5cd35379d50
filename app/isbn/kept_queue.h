#pragma once
// The unstored rows of the ISBN window, kept beside the catalogue in
// "<catalogue>.fronta" (UTF-8 JSON, never inside the catalogue) so that a
// closed window or a quit program loses no scanned book; offered again when
// the window opens on the same catalogue.
#include <QString>
#include <QStringList>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

struct KeptRow {
    QString isbn;        // stored form
    QStringList cells;   // the texts of the window's columns, in their order
    bool found = false;  // a source found it: not asked again
    bool ticked = false;
    bool userTicked = false;  // the tick was the user's
    std::set<int> edited;     // columns the user typed into
    QString stran;            // pages and edition of the record shown
    QString vydani;
};

// A kept queue that cannot be read or written; what() is a whole Czech sentence
// naming the file, fit to show as it is.
class KeptQueueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file that keeps the queue of the catalogue at `cataloguePath`.
QString KeptQueuePath(const std::string& cataloguePath);

// The rows kept in `file`; none when there is no file. Throws KeptQueueError
// when the file cannot be read or is damaged.
std::vector<KeptRow> ReadKeptQueue(const QString& file);

// Writes `rows` to `file` whole or not at all; no rows remove the file.
// Throws KeptQueueError when it cannot be written.
void WriteKeptQueue(const QString& file, const std::vector<KeptRow>& rows);
