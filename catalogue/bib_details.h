#pragma once
// Year of publication, pages and edition kept in `udaj2`, in one form:
//   "#bib rok=2010;stran=240;vydani=3."
// The marker keeps our text apart from whatever another program put there;
// text of another form is never overwritten. Keys we do not know (a later
// version's) are kept as they are when a known one is rewritten.
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct BibDetails {
    std::string year;                                         // "rok"
    std::string pages;                                        // "stran"
    std::string edition;                                      // "vydani"
    std::vector<std::pair<std::string, std::string>> others;  // unknown keys, in order

    bool Empty() const { return year.empty() && pages.empty() && edition.empty() && others.empty(); }
};

// The details held in `udaj2`: empty ones for an empty (or blank) text,
// nothing when the text is of another form.
std::optional<BibDetails> ParseBibDetails(const std::string& udaj2);

// The stored form; "" when there is nothing to keep. A value loses the
// separators of the form (';', '=', line breaks) and surrounding blanks.
std::string FormatBibDetails(const BibDetails& details);

// `udaj2` may be written: it is empty or already in our form.
bool MayWriteBibDetails(const std::string& udaj2);

// `udaj2` with the non-empty fields of `found` written over what it holds;
// nothing when `udaj2` is of another form.
std::optional<std::string> MergeBibDetails(const std::string& udaj2, const BibDetails& found);
