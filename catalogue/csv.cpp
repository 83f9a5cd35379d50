#include "catalogue/csv.h"

#include <cstring>

namespace {

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// Whether the quote at `at` closes (doubled quotes inside skipped) right
// before `separator`, a line end or the end of the data.
bool ClosesBeforeSeparator(std::string_view d, size_t at, char separator) {
    for (size_t i = at + 1; i < d.size(); ++i) {
        if (d[i] != '"') continue;
        if (i + 1 < d.size() && d[i + 1] == '"') {
            ++i;
            continue;
        }
        return i + 1 == d.size() || d[i + 1] == separator || IsLineEnd(d[i + 1]);
    }
    return false;
}

std::string LineMessage(int line, const char* what) { return "Řádek " + std::to_string(line) + ": " + what; }

}  // namespace

char DetectCsvSeparator(std::string_view data) {
    data = WithoutUtf8Bom(data);
    const char candidates[] = {',', ';', '\t'};
    int counts[3] = {0, 0, 0};
    bool quoted = false;
    for (char c : data) {
        // Doubled quotes inside a quoted field toggle twice: no harm to the count.
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted) continue;
        if (IsLineEnd(c)) break;
        for (int k = 0; k < 3; ++k)
            if (c == candidates[k]) ++counts[k];
    }
    int best = 0;
    for (int k = 1; k < 3; ++k)
        if (counts[k] > counts[best]) best = k;
    return candidates[best];
}

size_t Utf8SequenceLength(std::string_view data, size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const size_t n = data.size();
    const unsigned char c = p[at];
    if (c < 0x80) return 1;
    int more;
    unsigned long cp;
    if (c >= 0xC2 && c <= 0xDF) {
        more = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        more = 2;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        more = 3;
        cp = c & 0x07;
    } else {
        return 0;  // a continuation byte first, C0/C1 (overlong) or F5 and above
    }
    if (n - at <= static_cast<size_t>(more)) return 0;
    for (int k = 1; k <= more; ++k) {
        if ((p[at + k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[at + k] & 0x3F);
    }
    if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000)) return 0;
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
    return static_cast<size_t>(more) + 1;
}

bool IsUtf8(std::string_view data) {
    for (size_t i = 0; i < data.size();) {
        const size_t length = Utf8SequenceLength(data, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string_view WithoutUtf8Bom(std::string_view data, bool* hadBom) {
    const bool bom = data.substr(0, 3) == "\xEF\xBB\xBF";
    if (hadBom) *hadBom = bom;
    return bom ? data.substr(3) : data;
}

std::vector<CsvRecord> ReadCsv(std::string_view d, char separator, std::vector<CsvError>* malformed) {
    std::vector<CsvRecord> records;
    const size_t n = d.size();
    size_t i = 0;
    int line = 1;
    // A line end at i: CR LF counts as one.
    const auto skipLineEnd = [&] {
        if (d[i] == '\r' && i + 1 < n && d[i + 1] == '\n') ++i;
        ++i;
        ++line;
    };
    while (i < n) {
        if (IsLineEnd(d[i])) {
            skipLineEnd();
            continue;
        }
        CsvRecord record;
        record.line = line;
        bool skipped = false;
        for (;;) {
            CsvField field;
            field.line = line;
            if (i < n && d[i] == '"' && (separator != '\t' || ClosesBeforeSeparator(d, i, separator))) {
                field.quoted = true;
                const int opened = line;
                ++i;
                for (;;) {
                    if (i >= n) {
                        CsvError error(opened, LineMessage(opened,
                                                           "uvozovky otevřené na tomto řádku "
                                                           "se do konce souboru neuzavřely."));
                        if (!malformed) throw error;
                        // The rest of the file is inside the quotes: nothing more can be read.
                        malformed->push_back(std::move(error));
                        return records;
                    }
                    // Copy up to the next quote or line end in one piece.
                    size_t end = i;
                    while (end < n && d[end] != '"' && !IsLineEnd(d[end])) ++end;
                    field.text.append(d.substr(i, end - i));
                    i = end;
                    if (i >= n) continue;
                    if (d[i] == '"') {
                        if (i + 1 < n && d[i + 1] == '"') {
                            field.text += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    // A line break inside quotes is data, kept byte for byte.
                    const size_t start = i;
                    skipLineEnd();
                    field.text.append(d.substr(start, i - start));
                }
                if (i < n && d[i] != separator && !IsLineEnd(d[i])) {
                    CsvError error(line, LineMessage(line,
                                                     "za uzavírací uvozovkou pole nenásleduje "
                                                     "oddělovač ani konec řádku."));
                    if (!malformed) throw error;
                    // The record is dropped; reading goes on after the line's end.
                    malformed->push_back(std::move(error));
                    while (i < n && !IsLineEnd(d[i])) ++i;
                    if (i < n) skipLineEnd();
                    skipped = true;
                    break;
                }
            } else {
                const size_t start = i;
                while (i < n && d[i] != separator && !IsLineEnd(d[i])) ++i;
                field.text.assign(d.substr(start, i - start));
            }
            record.fields.push_back(std::move(field));
            if (i < n && d[i] == separator) {
                ++i;
                continue;  // a separator at the very end leaves one more, empty field
            }
            if (i < n) skipLineEnd();
            break;
        }
        if (!skipped) records.push_back(std::move(record));
    }
    return records;
}

void AppendCsvField(std::string& out, std::string_view text, char separator, bool quoteEmpty) {
    bool quote = quoteEmpty && text.empty();
    for (char c : text) {
        if (c == separator || c == '"' || IsLineEnd(c)) {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out.append(text);
        return;
    }
    out += '"';
    size_t start = 0;
    for (size_t q; (q = text.find('"', start)) != std::string_view::npos; start = q + 1) {
        out.append(text.substr(start, q + 1 - start));
        out += '"';
    }
    out.append(text.substr(start));
    out += '"';
}
