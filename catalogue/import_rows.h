#pragma once
// A file's rows on their way into the catalogue, each with the place it comes
// from and what the catalogue already holds of it, and the rule that finds
// the books already stored and those the file itself repeats.
#include <string>
#include <unordered_set>
#include <vector>

#include "catalogue/catalogue_transfer.h"

struct ImportRow {
    // As it will be stored: texts in the catalogue's code page, the rating in
    // 1 to 5. The id is given on writing, from the highest plus one.
    CatalogueRow row;
    int line = 0;            // the line (or record) of the file it comes from
    bool owned = true;       // false: a wish-list book, offered unticked
    bool duplicate = false;  // author and title, or ISBN, already stored
    int repeats = -1;        // index of an earlier row of the file it repeats, or -1
};

// Marks the rows the catalogue already has (author and title, or the ISBN of
// a stored `udaj1` text) and those that repeat an earlier row of the file.
void MarkStored(std::vector<ImportRow>& rows, const std::unordered_set<std::string>& storedKeys,
                const std::unordered_set<std::string>& storedUdaj1);
