#pragma once
// A catalogue as it looks after moving in from two programs: one person
// written several ways ("Tolkien J.R.R.", "Tolkien J. R. R.", "J.R.R.
// Tolkien", "TOLKIEN John Ronald Reuel"), Czech, German and Spanish names,
// corporate authors, and ISBNs in `udaj1` in every form people store them,
// some books entered twice. Made once per size for the run.
#include <string>

// The path of a copy of the generated catalogue of `books` rows with its
// authors and ISBNs rewritten so; removed at the end of the run.
const std::string& MessyCatalogueOf(int books);
