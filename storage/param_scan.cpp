#include "storage/param_scan.h"

namespace {

bool IsQuote(char c) { return c == '\'' || c == '"' || c == '`'; }

bool EndsName(char c) { return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n'; }

}  // namespace

ParamScan ScanParameters(std::string_view sql) {
    ParamScan scan;
    scan.text.reserve(sql.size());
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (IsQuote(c)) {
            // The whole token is copied; a doubled apostrophe simply closes
            // one token and opens the next.
            const size_t close = sql.find(c, i + 1);
            const size_t end = close == std::string_view::npos ? sql.size() : close + 1;
            scan.text.append(sql.substr(i, end - i));
            i = end;
            continue;
        }
        if (c != ':') {
            scan.text += c;
            ++i;
            continue;
        }
        if (i + 1 < sql.size() && sql[i + 1] == ':') {
            scan.text += ':';
            i += 2;
            continue;
        }
        // A parameter: its name runs to a delimiter outside quoted tokens.
        size_t j = i + 1;
        while (j < sql.size() && !EndsName(sql[j])) {
            if (IsQuote(sql[j])) {
                const size_t close = sql.find(sql[j], j + 1);
                j = close == std::string_view::npos ? sql.size() : close + 1;
            } else {
                ++j;
            }
        }
        std::string_view name = sql.substr(i + 1, j - i - 1);
        if (!name.empty() && IsQuote(name.front())) {
            name.remove_prefix(1);
            if (!name.empty() && IsQuote(name.back())) name.remove_suffix(1);
        }
        scan.places.push_back(scan.text.size());
        scan.text += '?';
        scan.names.emplace_back(name);
        i = j;
    }
    return scan;
}
