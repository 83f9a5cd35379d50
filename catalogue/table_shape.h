#pragma once
// What a file that opens as a database holds in place of the catalogue's
// table, and what can still be read from a damaged one.
#include <string>
#include <vector>

class TASQLite3DB;

// The table "svazkovna" (or a view of that name, which reads as one) against
// the columns the catalogue needs.
struct TableShape {
    bool tableFound = false;
    bool otherTables = false;          // the file holds tables of its own: another program's database
    std::vector<std::string> missing;  // the catalogue's columns the table lacks, in their stored order
    bool Fits() const { return tableFound && missing.empty(); }
};
// Throws EDatabaseError when the engine cannot read the schema.
TableShape CatalogueTableShape(TASQLite3DB& con);

// The rows of a damaged catalogue that the engine can still read, copied into
// a table of the same name and columns that lives only with the connection
// (the engine looks there first), so that every reader of the catalogue sees
// them. The file is not written to. `unreadable` counts the row keys up to the
// highest one found whose rows could not be read.
struct ReadableRows {
    long long read = 0;
    long long unreadable = 0;
};
// Throws EDatabaseError when not even the table's description can be read.
ReadableRows ShadowReadableRows(TASQLite3DB& con);
