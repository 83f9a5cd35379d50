#pragma once
// The empty catalogue that the program carries and writes when no catalogue
// file exists yet: a 2048-byte SQLite 3 database holding the table
// `svazkovna` and no rows.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The table definition exactly as stored in the catalogue's schema (CR LF line breaks).
extern const char* const kCatalogueTableSql;

// The carried image (2048 bytes).
const std::string& TemplateImage();

// Resources carried in the program, looked up by type and name without regard
// to letter case; the template is type "db", name "databaze".
std::optional<std::string_view> FindResource(std::string_view type, std::string_view name);

// Builds the image from the file format; the carried image is its output.
std::vector<unsigned char> BuildTemplateImage();

// Writes the template to `path` unless something already exists there. Never
// replaces an existing file, not even one that appears while writing.
// Returns whether the file was written; failures are not reported otherwise.
bool WriteTemplateCatalogue(const std::string& path);
