// The CSV reader and writer over bytes: what the writer writes reads back
// field for field, line numbers follow line breaks inside quotes, and
// well-formed UTF-8 is told from other bytes.
#include <gtest/gtest.h>

#include "catalogue/csv.h"

namespace {

TEST(Csv, WrittenFieldsReadBackWithTheirLines) {
    const std::vector<std::vector<std::string>> table = {
        {"plain", "", "a,b", "say \"hi\"", "two\r\nlines", "semi;colon"},
        {"\"", "lone\rcr", " blank ", "\n", "last", "\xC8\xE1p"},
    };
    for (char sep : {',', ';', '\t'}) {
        std::string csv;
        for (const auto& row : table) {
            for (size_t k = 0; k < row.size(); ++k) {
                if (k) csv += sep;
                AppendCsvField(csv, row[k], sep, true);
            }
            csv += kCsvLineEnd;
        }
        EXPECT_EQ(DetectCsvSeparator(csv), sep);
        const std::vector<CsvRecord> back = ReadCsv(csv, sep);
        ASSERT_EQ(back.size(), table.size());
        for (size_t r = 0; r < table.size(); ++r) {
            ASSERT_EQ(back[r].fields.size(), table[r].size());
            for (size_t k = 0; k < table[r].size(); ++k) EXPECT_EQ(back[r].fields[k].text, table[r][k]);
        }
        EXPECT_TRUE(back[0].fields[1].quoted);  // the empty text, told from a NULL
        // The first record spans two lines; the second field of the second starts on line 3
        // and holds a lone CR, a line break of its own.
        EXPECT_EQ(back[1].line, 3);
        EXPECT_EQ(back[1].fields[2].line, 4);
    }
}

TEST(Csv, MalformedRecordsNameTheirLine) {
    const struct {
        const char* data;
        int line;
    } cases[] = {
        {"a,b\n\"open\n\nrest", 2},
        {"a,b\r\nc,d\r\n\"x\"y,z\r\n", 3},
        {"\"\"\"", 1},
    };
    for (const auto& c : cases) {
        try {
            ReadCsv(c.data, ',');
            ADD_FAILURE() << "accepted: " << c.data;
        } catch (const CsvError& e) {
            EXPECT_EQ(e.Line(), c.line) << c.data;
        }
    }
    // Empty lines are no records; a separator at the end gives one empty field more.
    const auto records = ReadCsv("\n\na,\n\n", ',');
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].line, 3);
    EXPECT_EQ(records[0].fields.size(), 2u);
}

TEST(Csv, TellsUtf8FromOtherBytes) {
    const struct {
        const char* bytes;
        bool utf8;
    } cases[] = {
        {"ascii", true},
        {"\xC5\xBD", true},
        {"\xF0\x9F\x98\x80", true},
        {"\x8E"
         "lu",
         false},
        {"\xC0\xAF", false},
        {"\xED\xA0\x80", false},
        {"\xE2\x82", false},
        {"\xF4\x90\x80\x80", false},
        {"\xE0\x80\x80", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsUtf8(c.bytes), c.utf8) << c.bytes;
}

}  // namespace
