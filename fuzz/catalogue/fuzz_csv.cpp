// The CSV reader on arbitrary bytes: it either refuses with a line inside the
// data or gives records that the writer writes back to the same fields, on
// nondecreasing lines; the separator found is always one of the three.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "catalogue/csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so that ASan sees any read past it.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const char sep = DetectCsvSeparator(bytes);
    FUZZ_CHECK(sep == ',' || sep == ';' || sep == '\t', "odd separator");
    (void)IsUtf8(bytes);

    int lines = 1;
    for (char c : bytes) lines += (c == '\n' || c == '\r') ? 1 : 0;

    std::vector<CsvRecord> records;
    try {
        records = ReadCsv(bytes, sep);
    } catch (const CsvError& e) {
        FUZZ_CHECK(e.Line() >= 1 && e.Line() <= lines, "error line outside the data");
        return 0;
    }
    std::string again;
    int previous = 0;
    for (const CsvRecord& r : records) {
        FUZZ_CHECK(!r.fields.empty(), "a record without fields");
        FUZZ_CHECK(r.line >= previous && r.line <= lines, "record lines out of order");
        previous = r.line;
        for (size_t k = 0; k < r.fields.size(); ++k) {
            FUZZ_CHECK(r.fields[k].line >= r.line, "a field before its record");
            if (k) again += sep;
            AppendCsvField(again, r.fields[k].text, sep, r.fields[k].quoted);
        }
        again += kCsvLineEnd;
    }
    const std::vector<CsvRecord> back = ReadCsv(again, sep);
    FUZZ_CHECK(back.size() == records.size(), "record count changed on rewriting");
    for (size_t i = 0; i < back.size(); ++i) {
        FUZZ_CHECK(back[i].fields.size() == records[i].fields.size(), "field count changed");
        for (size_t k = 0; k < back[i].fields.size(); ++k)
            FUZZ_CHECK(back[i].fields[k].text == records[i].fields[k].text, "field text changed");
    }
    return 0;
}
