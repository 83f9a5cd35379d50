#pragma once
// Comma-separated values over bytes, as the catalogue exports and imports them:
// RFC 4180 quoting (a quoted field may hold separators, doubled quotes and line
// breaks), detection of the separator and of UTF-8, and a writer whose fields
// read back exactly as written. No text conversion happens here.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct CsvField {
    std::string text;
    // Written between quotes; tells a quoted empty field ("") from an empty one.
    bool quoted = false;
    int line = 0;  // the line (from 1) the field starts on
};

struct CsvRecord {
    std::vector<CsvField> fields;
    int line = 0;  // the line (from 1) the record starts on
};

// A malformed file: the message (UTF-8, for the user) names the line.
class CsvError : public std::runtime_error {
public:
    CsvError(int line, const std::string& message) : std::runtime_error(message), line_(line) {}
    int Line() const { return line_; }

private:
    int line_;
};

// The separator of the first record: of ',', ';' and tab the one found most
// often outside quotes (on a tie the earlier of the three); ',' when none is.
char DetectCsvSeparator(std::string_view data);

// The length of the well-formed UTF-8 sequence that starts at `at` (1 for
// ASCII), or 0 when the byte there starts none.
size_t Utf8SequenceLength(std::string_view data, size_t at);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF).
bool IsUtf8(std::string_view data);

// The bytes after a leading UTF-8 byte-order mark, if there is one.
std::string_view WithoutUtf8Bom(std::string_view data, bool* hadBom = nullptr);

// Every record of the data. A line ends with CR LF, LF or CR; an empty line
// outside quotes is no record. Throws CsvError for a quote that is never
// closed and for anything but a separator or a line end after a closing quote;
// with `malformed` given, those go there instead and reading goes on at the
// next line (a quote never closed ends the reading). Tab-separated data is
// read by its own rule: a field that begins with a quote is quoted only when
// that quote closes right before a tab or a line end; otherwise the quote is
// text (a title "Surely…": …), and such a field is never malformed.
std::vector<CsvRecord> ReadCsv(std::string_view data, char separator, std::vector<CsvError>* malformed = nullptr);

// Appends one field. It goes between quotes (quotes inside doubled) when it
// holds the separator, a quote, CR or LF, or when `quoteEmpty` and it is empty.
void AppendCsvField(std::string& out, std::string_view text, char separator, bool quoteEmpty);
// The record end the writer uses.
inline constexpr std::string_view kCsvLineEnd = "\r\n";
