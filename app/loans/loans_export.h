#pragma once
// The loans list as shown, written out: CSV for spreadsheet programs (UTF-8,
// ";"-separated, a header row) and PDF for printing.
#include <QString>
#include <QStringList>
#include <vector>

// A row of the list: its cells in column order, and whether it is overdue.
struct ExportedLoan {
    QStringList cells;
    bool overdue = false;
};

// A cell a spreadsheet program takes as text, never as a formula: one starting
// with "=", "+", "-", "@", a tab or a carriage return gets a leading
// apostrophe, except a plain whole number ("-3" days).
QString SpreadsheetSafe(const QString& text);

QString LoansCsv(const QStringList& titles, const std::vector<ExportedLoan>& rows);
// The summary above a table of the rows, overdue ones in red.
QString LoansHtml(const QString& summary, const QStringList& titles, const std::vector<ExportedLoan>& rows);

// Both replace the file only once the new one is whole; they throw a Czech
// message when it cannot be written.
void WriteLoansCsv(const QString& path, const QString& csv);
void WriteLoansPdf(const QString& path, const QString& html);
