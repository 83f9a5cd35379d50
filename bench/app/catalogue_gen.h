#pragma once
// Realistic catalogues for measuring the window: Czech authors and titles in
// the catalogue's code page, authors with 1 to 50 books, some long notes and a
// few NULL or odd rows. The same seed and size give the same file.
#include <cstdint>
#include <string>

struct CatalogueStats {
    int books = 0;
    int authors = 0;  // distinct author values, NULL included
};

// Writes a new catalogue file at `path` (which must not exist) with `books` rows.
CatalogueStats GenerateCatalogue(const std::string& path, int books, uint32_t seed = 1);
