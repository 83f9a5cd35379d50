#pragma once
// Telling two spellings of one author or one book from two authors or two
// books, as a collector compares them: case, accents, punctuation, spaces
// between initials, the order of the names and a series suffix after the
// title do not count. Texts are the catalogue's Windows-1250 bytes.
#include <string>
#include <string_view>
#include <vector>

namespace match {

// Lower-case letters and digits without accents, every run of anything else
// one space, no space at either end: "Čapek, K." -> "capek k".
std::string Fold(std::string_view cp1250);
// The words of a folded text.
std::vector<std::string_view> Words(std::string_view folded);

// The author's folded words in sorted order, so that "J.R.R. Tolkien",
// "Tolkien, J. R. R." and "TOLKIEN J.R.R." give one key.
std::string AuthorKey(std::string_view autor);

// The folded title without a series suffix such as "(Discworld, #4)".
std::string TitleKey(std::string_view titul);

// Author and title together; equal keys are probably the same book. Empty
// when either is empty after folding: such rows match nothing.
std::string BookKey(std::string_view autor, std::string_view titul);

// A name of a body or of many people ("Kolektiv autorů", "Čapek K. a kol.",
// "Nakladatelství Albatros"): never the weaker kind of sameness with a person.
bool IsCollective(std::string_view autor);

// A weaker kind of sameness: one name written with initials, the other in
// full ("Tolkien J.R.R." and "Tolkien John Ronald Reuel"). The surnames
// (whole words both hold, a double one too) must agree; the other words, in
// order, are the same or an initial of the other's, at least one an initial;
// particles ("von", "de", "y") may be left out. Collective names match nothing.
bool InitialsMatch(std::string_view autorA, std::string_view autorB);

// A name folded and split once, for comparing it with many others: its words
// without particles, in the order written.
struct NameWords {
    std::vector<std::string> words;
    bool collective = false;
};
NameWords SplitName(std::string_view autor);
// InitialsMatch on names split beforehand.
bool InitialsMatch(const NameWords& a, const NameWords& b);
// The first letters of the words, sorted: two names that match by initials
// always give the same, so only names alike in it need comparing.
std::string InitialLetters(const NameWords& name);

}  // namespace match
