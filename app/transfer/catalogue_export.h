#pragma once
// Export of the whole catalogue to CSV: UTF-8, RFC 4180 quoting, a header row
// with the table's column names, every column in stored order. A NULL is an
// empty field and an empty text a quoted empty field (""), so that an import
// of the file can tell them apart.
#include <QString>
#include <string>

class Progress;
class TASQLite3DB;
class CatalogueSession;

// Writes the catalogue to `path` atomically: the file appears only whole. Returns
// the number of rows written, or -1 when the user cancelled (no file is left,
// an existing one keeps its content). Throws with a message for the user when
// the file cannot be written.
long long ExportCatalogueCsv(TASQLite3DB& con, const QString& path, Progress& progress);

// The command "exportovat do CSV…": asks for the file, exports, says how many rows.
void ExportCatalogueCommand(CatalogueSession& session);
