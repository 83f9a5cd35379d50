// Which rows of a file the catalogue already holds, and which repeat an
// earlier row of the same file.
#include <gtest/gtest.h>

#include "catalogue/import_rows.h"

namespace {

ImportRow Book(std::optional<std::string> author, std::optional<std::string> title, std::string udaj1) {
    ImportRow r;
    r.row[kAuthorColumn] = std::move(author);
    r.row[kTitleColumn] = std::move(title);
    r.row[kUdaj1Column] = std::move(udaj1);
    return r;
}

TEST(ImportRows, StoredBooksAndRepeatsAreFoundByAuthorAndTitleOrByIsbn) {
    const std::unordered_set<std::string> storedKeys = {AuthorTitleKey("Hašek Jaroslav", "Švejk")};
    // Stored as typed by hand: with hyphens, as an ISBN-10; a note is no ISBN.
    const std::unordered_set<std::string> storedUdaj1 = {"80-7106-131-X", "sign. 12"};
    struct Case {
        ImportRow row;
        bool duplicate;
        int repeats;
    } cases[] = {
        {Book("Hašek Jaroslav", "Švejk", ""), true, -1},
        {Book("Hašek Jaroslav", "Švejk II", ""), false, -1},
        {Book("Jiný", "Jiný titul", "9788071061311"), true, -1},  // the stored ISBN-10
        {Book("Čapek Karel", "Krakatit", "9780306406157"), false, -1},
        {Book("Čapek Karel", "Krakatit", ""), false, 3},                  // same author and title
        {Book("Kdokoli", "Cokoli", "9780306406157"), false, 3},           // same ISBN, other title
        {Book("Hašek Jaroslav", "Švejk II", "9791090636071"), false, 1},  // new ISBN, earlier title
        {Book(std::nullopt, "Bez autora", ""), false, -1},
        {Book(std::nullopt, "Bez autora", ""), false, -1},       // no key without an author
        {Book("Hašek Jaroslav", "Švejk", "sign. 12"), true, 0},  // no ISBN, but stored and repeated
    };
    std::vector<ImportRow> rows;
    for (const Case& c : cases) rows.push_back(c.row);
    // Marks of an earlier pass do not stay.
    rows[1].duplicate = true;
    rows[1].repeats = 0;
    MarkStored(rows, storedKeys, storedUdaj1);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].duplicate, cases[i].duplicate) << "row " << i;
        EXPECT_EQ(rows[i].repeats, cases[i].repeats) << "row " << i;
    }
}

TEST(ImportRows, AStoredBookIsKnownInAnySpellingACollectorWouldCallTheSame) {
    // As a hand-kept catalogue holds them, in Windows-1250.
    const std::unordered_set<std::string> storedKeys = {
        AuthorTitleKey("Rowling J. K.",
                       "Harry Potter a k\xE1"
                       "men mudrc\xF9"),
        AuthorTitleKey("Pratchett Terry", "Mort (Discworld, #4)"),
        AuthorTitleKey("\xC8"
                       "apek Karel",
                       "V\xE1"
                       "lka s mloky"),
    };
    const std::unordered_set<std::string> storedUdaj1 = {
        "ISBN 978-80-257-0209-3; v\xE1"
        "z.",
        "80-7106-131-X"};
    struct Case {
        ImportRow row;
        bool duplicate;
        int repeats = -1;
    } cases[] = {
        {Book("J.K. Rowling",
              "Harry Potter a K\xE1"
              "men mudrc\xF9",
              ""),
         true},
        {Book("Rowling J.K.", "Harry Potter a kamen mudrcu", ""), true, 0},
        {Book("Pratchett Terry", "Mort", ""), true},
        {Book("CAPEK, Karel",
              "V\xE1"
              "lka s mloky!",
              ""),
         true},
        {Book("\xC8"
              "apek Josef",
              "V\xE1"
              "lka s mloky",
              ""),
         false},
        {Book("Nezn\xE1"
              "m\xFD",
              "Lev\xE1"
              " ruka tmy",
              "9788025702093"),
         true},  // ISBN inside a note-like text
        {Book("Nezn\xE1"
              "m\xFD",
              "Jin\xE1", "8071061311"),
         false},  // an invalid ISBN-10 stays apart
        {Book("", "", ""), false},
        {Book("", "", ""), false},  // two empty rows repeat nothing
    };
    std::vector<ImportRow> rows;
    for (const Case& c : cases) rows.push_back(c.row);
    MarkStored(rows, storedKeys, storedUdaj1);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].duplicate, cases[i].duplicate) << "row " << i;
        EXPECT_EQ(rows[i].repeats, cases[i].repeats) << "row " << i;
    }
}

}  // namespace
