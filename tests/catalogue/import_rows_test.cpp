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

}  // namespace
