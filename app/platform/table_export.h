#pragma once
// A table as shown, written to a file: CSV (UTF-8, ";"-separated, a header
// row, CR LF) or a PDF page of it. Files are committed only when complete, so
// a failed export leaves an older file of that name as it was; a failure
// throws std::runtime_error with a message for the user.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QSaveFile;

void WriteTableCsv(const QString& path, const QStringList& header, const std::vector<QStringList>& rows);
// `title` and `summary` above the table; landscape A4.
void WriteTablePdf(const QString& path, const QString& title, const QString& summary, const QStringList& header,
                   const std::vector<QStringList>& rows);
// Runs `write` on the file opened for writing and commits it when `write` returns true.
void WriteFileWhole(const QString& path, const std::function<bool(QSaveFile&)>& write);
