#include "catalogue/book_match.h"

#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <memory>
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

bool InitialsMatch(std::string_view autorA, std::string_view autorB) {
    const std::string a = Fold(autorA), b = Fold(autorB);
    std::vector<std::string_view> wa = Words(a), wb = Words(b);
    if (wa.size() < 2 || wb.size() < 2) return false;
    // The surname: a word of two letters or more both hold in full.
    for (size_t i = 0; i < wa.size(); ++i) {
        if (wa[i].size() < 2) continue;
        const auto j = std::find(wb.begin(), wb.end(), wa[i]);
        if (j == wb.end()) continue;
        std::vector<std::string_view> ra = wa, rb = wb;
        ra.erase(ra.begin() + static_cast<std::ptrdiff_t>(i));
        rb.erase(rb.begin() + (j - wb.begin()));
        if (ra.size() != rb.size() || ra.empty()) continue;
        bool same = true;
        bool initial = false;
        for (size_t k = 0; k < ra.size() && same; ++k) {
            const std::string_view x = ra[k], y = rb[k];
            if (x == y) continue;
            const bool xInitial = x.size() == 1, yInitial = y.size() == 1;
            same = (xInitial || yInitial) && x[0] == y[0];
            initial = initial || same;
        }
        if (same && initial) return true;
    }
    return false;
}

}  // namespace match
