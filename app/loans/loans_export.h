#pragma once
// The loans list as shown, for the shared table export (CSV and PDF).
#include <QStringList>

// A row of the list: its cells in column order, and whether it is overdue.
struct ExportedLoan {
    QStringList cells;
    bool overdue = false;
};
