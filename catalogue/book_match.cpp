#include "catalogue/book_match.h"

#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <vector>

namespace {

// What each Windows-1250 byte folds to, worked out once through ICU's
// converter and its Latin-ASCII transliterator, so that folding a text is a
// table look-up per byte: a search index folds every row of the catalogue.
using FoldTable = std::array<std::string, 256>;

FoldTable MakeFoldTable() {
    FoldTable table;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> fold(icu::Transliterator::createInstance(
        icu::UnicodeString::fromUTF8("Any-Latin; Latin-ASCII; Lower"), UTRANS_FORWARD, status));
    UConverter* cp1250 = ucnv_open("windows-1250", &status);
    for (int b = 0; b < 256; ++b) {
        std::string& out = table[static_cast<size_t>(b)];
        out.assign(1, ' ');
        if (U_FAILURE(status)) continue;
        const char byte = static_cast<char>(b);
        UChar unit[4];
        UErrorCode one = U_ZERO_ERROR;
        const int32_t n = ucnv_toUChars(cp1250, unit, 4, &byte, 1, &one);
        if (U_FAILURE(one) || n <= 0) continue;
        icu::UnicodeString text(unit, n);
        fold->transliterate(text);
        std::string utf8;
        text.toUTF8String(utf8);
        std::string kept;
        for (char c : utf8)
            if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) kept += c;
        // Characters that fold to nothing a collector reads (punctuation,
        // symbols) separate words; a letter keeps its whole folding ("ß" -> "ss").
        if (!kept.empty() && kept.size() == utf8.size()) out.swap(kept);
    }
    if (cp1250) ucnv_close(cp1250);
    return table;
}

const FoldTable& Table() {
    static const FoldTable table = MakeFoldTable();
    return table;
}

std::string Join(const std::vector<std::string_view>& words) {
    std::string out;
    for (std::string_view w : words) {
        if (!out.empty()) out += ' ';
        out += w;
    }
    return out;
}

// A trailing "(Series, #4)" or "(Series #4.5)": the form other programs give
// a title in a series. Other parentheses ("(2. vydání)") belong to the title.
std::string_view WithoutSeriesSuffix(std::string_view titul) {
    size_t end = titul.find_last_not_of(' ');
    if (end == std::string_view::npos || titul[end] != ')') return titul;
    const size_t open = titul.rfind('(', end);
    if (open == std::string_view::npos || open == 0) return titul;
    if (titul.substr(open, end - open).find('#') == std::string_view::npos) return titul;
    return titul.substr(0, open);
}

}  // namespace

namespace match {

std::vector<std::string_view> Words(std::string_view folded) {
    std::vector<std::string_view> words;
    size_t start = 0;
    while (start < folded.size()) {
        size_t end = folded.find(' ', start);
        if (end == std::string_view::npos) end = folded.size();
        if (end > start) words.push_back(folded.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

std::string Fold(std::string_view cp1250) {
    const FoldTable& table = Table();
    std::string out;
    out.reserve(cp1250.size());
    for (char c : cp1250) {
        const std::string& f = table[static_cast<unsigned char>(c)];
        if (f == " ") {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += f;
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string AuthorKey(std::string_view autor) {
    const std::string folded = Fold(autor);
    std::vector<std::string_view> words = Words(folded);
    std::sort(words.begin(), words.end());
    return Join(words);
}

std::string TitleKey(std::string_view titul) { return Fold(WithoutSeriesSuffix(titul)); }

std::string BookKey(std::string_view autor, std::string_view titul) {
    std::string author = AuthorKey(autor);
    const std::string title = TitleKey(titul);
    if (author.empty() || title.empty()) return {};
    // The separator cannot come out of folding, so no author runs into a title.
    return author + '|' + title;
}

bool IsCollective(std::string_view autor) {
    // Words that name a body or many people, never one person ("a kol.", "et al.").
    static const std::set<std::string, std::less<>> marks = {"kolektiv",
                                                             "kol",
                                                             "autoru",
                                                             "autori",
                                                             "redakce",
                                                             "nakladatelstvi",
                                                             "vydavatelstvi",
                                                             "ustav",
                                                             "spolecnost",
                                                             "spolek",
                                                             "svaz",
                                                             "klub",
                                                             "institut",
                                                             "akademie",
                                                             "univerzita",
                                                             "universita",
                                                             "muzeum",
                                                             "archiv",
                                                             "knihovna",
                                                             "sbornik",
                                                             "nadace",
                                                             "fakulta",
                                                             "ministerstvo",
                                                             "various",
                                                             "anonym",
                                                             "anonymous",
                                                             "al",
                                                             "hrsg",
                                                             "verlag",
                                                             "gmbh",
                                                             "ltd",
                                                             "inc",
                                                             "sro",
                                                             "society",
                                                             "association",
                                                             "editors",
                                                             "eds"};
    const std::string folded = Fold(autor);
    for (const std::string_view w : Words(folded))
        if (marks.count(w)) return true;
    return false;
}

bool InitialsMatch(std::string_view autorA, std::string_view autorB) {
    return InitialsMatch(SplitName(autorA), SplitName(autorB));
}

NameWords SplitName(std::string_view autor) {
    // Particles are written or left out at will: "Goethe J. W." is "Johann Wolfgang von Goethe".
    static const std::set<std::string, std::less<>> particles = {"von", "van", "de", "der", "den", "la", "le",
                                                                 "y",   "da",  "di", "du",  "del", "zu", "ten"};
    NameWords name;
    name.collective = IsCollective(autor);
    const std::string folded = Fold(autor);
    for (const std::string_view w : Words(folded))
        if (!particles.count(w)) name.words.emplace_back(w);
    return name;
}

bool InitialsMatch(const NameWords& a, const NameWords& b) {
    if (a.collective || b.collective) return false;
    std::vector<std::string_view> ra(a.words.begin(), a.words.end()), rb(b.words.begin(), b.words.end());
    // The surnames: whole words (two letters or more) both hold, taken out of
    // both, so that a double surname may stand before or after the first names.
    bool surname = false;
    for (auto i = ra.begin(); i != ra.end();) {
        const auto j = i->size() >= 2 ? std::find(rb.begin(), rb.end(), *i) : rb.end();
        if (j == rb.end()) {
            ++i;
            continue;
        }
        rb.erase(j);
        i = ra.erase(i);
        surname = true;
    }
    if (!surname || ra.empty() || ra.size() != rb.size()) return false;
    // What is left are the first names, in order: each the same, or an initial of the other.
    bool initial = false;
    for (size_t k = 0; k < ra.size(); ++k) {
        const std::string_view x = ra[k], y = rb[k];
        if (x == y) continue;
        if ((x.size() != 1 && y.size() != 1) || x[0] != y[0]) return false;
        initial = true;
    }
    return initial;
}

std::string InitialLetters(const NameWords& name) {
    std::string letters;
    for (const std::string& w : name.words) letters += w[0];
    std::sort(letters.begin(), letters.end());
    return letters;
}

}  // namespace match
