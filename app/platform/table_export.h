#pragma once
// A table as shown, written to a file: CSV (UTF-8, ";"-separated, a header
// row, CR LF) or PDF pages of it. Files are committed only when complete, so
// a failed export leaves an older file of that name as it was; a failure
// throws std::runtime_error with a message for the user.
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QPaintDevice;
class QPainter;
class QSaveFile;

// A cell a spreadsheet program takes as text, never as a formula: one starting
// with "=", "+", "-", "@", a tab or a carriage return gets a leading
// apostrophe, except a plain whole number ("-3" days).
QString SpreadsheetSafe(const QString& text);
// The whole CSV text, every cell made spreadsheet-safe and quoted when needed.
QString TableCsv(const QStringList& header, const std::vector<QStringList>& rows);
void WriteTableCsv(const QString& path, const QStringList& header, const std::vector<QStringList>& rows);

// Landscape A4 pages: `title` and the page number on each page, `summary`
// above the table, its header row repeated on each page; the rows flagged in
// `marked` (when given) in red. Body text is kPdfBodyPoints high.
void WriteTablePdf(const QString& path, const QString& title, const QString& summary, const QStringList& header,
                   const std::vector<QStringList>& rows, const std::vector<bool>& marked = {});

inline constexpr qreal kPdfBodyPoints = 9.5;
inline constexpr qreal kPdfTitlePoints = 12;
// The title at the top of a page and "strana N z M" at its foot, inside `page`
// (the painter's printable area), which keep PageFrameHeights() free.
void DrawPageFrame(QPainter& painter, const QRect& page, const QString& title, int number, int pages);
struct PageFrameHeights {
    int head = 0, foot = 0;
};
PageFrameHeights PageFrameOn(QPaintDevice& device);

// Runs `write` on the file opened for writing and commits it when `write` returns true.
void WriteFileWhole(const QString& path, const std::function<bool(QSaveFile&)>& write);
