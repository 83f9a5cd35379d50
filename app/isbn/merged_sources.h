#pragma once
// One book as several sources found it: the record of the first source that
// found it (in the configured order) with what it lacks taken from the next
// ones, and where they say otherwise noted beside it. Texts are compared as
// the catalogue compares books (catalogue/book_match): case, accents and
// punctuation make no difference.
#include <QString>
#include <vector>

#include "app/isbn/found_record.h"

// `found` holds the records of each source that found the book, in the order
// the sources were asked. Returns the candidates to choose from: the first
// source's, filled in and noted; a later record whose author or title is
// another is kept as a candidate of its own as well.
std::vector<FoundRecord> MergeSources(const std::vector<std::vector<FoundRecord>>& found);

// What the cell of `field` tells in its tooltip: where its text came from
// ("doplněno ze zdroje Open Library") and what other sources said ("jiný
// zdroj (Open Library): Odeon"); empty when the first source alone said it.
QString SourceNoteText(const FoundRecord& record, FoundRecord::Field field);
// Whether another source gave `field` a different value.
bool SourcesDiffer(const FoundRecord& record, FoundRecord::Field field);
