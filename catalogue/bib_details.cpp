#include "catalogue/bib_details.h"

#include <string_view>

namespace {

constexpr std::string_view kMarker = "#bib";

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// A value must not end the pair or the form early.
std::string Clean(std::string_view value) {
    std::string out;
    for (const char c : Trim(value)) {
        if (c == ';' || c == '\r' || c == '\n') {
            out += ',';
        } else if (c == '=') {
            out += '-';
        } else {
            out += c;
        }
    }
    return std::string(Trim(out));
}

std::string* Known(BibDetails& d, std::string_view key) {
    if (key == "rok") return &d.year;
    if (key == "stran") return &d.pages;
    if (key == "vydani") return &d.edition;
    return nullptr;
}

}  // namespace

std::optional<BibDetails> ParseBibDetails(const std::string& udaj2) {
    const std::string_view text = Trim(udaj2);
    BibDetails d;
    if (text.empty()) return d;
    if (text.substr(0, kMarker.size()) != kMarker) return std::nullopt;
    std::string_view rest = text.substr(kMarker.size());
    // "#bibliografie…" is somebody's word, not our marker.
    if (!rest.empty() && rest.front() != ' ') return std::nullopt;
    while (!rest.empty()) {
        const size_t end = rest.find(';');
        const std::string_view pair = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (pair.empty()) continue;
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos || eq == 0) return std::nullopt;
        const std::string key(Trim(pair.substr(0, eq)));
        std::string value(Trim(pair.substr(eq + 1)));
        if (std::string* field = Known(d, key)) {
            *field = std::move(value);
        } else {
            d.others.emplace_back(key, std::move(value));
        }
    }
    return d;
}

std::string FormatBibDetails(const BibDetails& d) {
    std::string out;
    const auto add = [&](const std::string& key, const std::string& value) {
        const std::string v = Clean(value);
        if (v.empty()) return;
        out += out.empty() ? std::string(kMarker) + ' ' : std::string(";");
        out += key + '=' + v;
    };
    add("rok", d.year);
    add("stran", d.pages);
    add("vydani", d.edition);
    for (const auto& [key, value] : d.others) add(key, value);
    return out;
}

bool MayWriteBibDetails(const std::string& udaj2) { return ParseBibDetails(udaj2).has_value(); }

std::optional<std::string> MergeBibDetails(const std::string& udaj2, const BibDetails& found) {
    std::optional<BibDetails> held = ParseBibDetails(udaj2);
    if (!held) return std::nullopt;
    if (!Clean(found.year).empty()) held->year = found.year;
    if (!Clean(found.pages).empty()) held->pages = found.pages;
    if (!Clean(found.edition).empty()) held->edition = found.edition;
    return FormatBibDetails(*held);
}
