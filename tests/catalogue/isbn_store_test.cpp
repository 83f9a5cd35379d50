// Books found by ISBN: the duplicate check against `udaj1` (as ISBN-13) and
// author+title, and the batch insert as the new-record dialog stores a book.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "catalogue/isbn_store.h"
#include "catalogue/template_db.h"
#include "storage/connection.h"
#include "storage/errors.h"
#include "support/sql_rows.h"
#include "support/template_catalogue.h"
#include "support/temp_dir.h"

namespace {

using testsupport::SelectRows;

class IsbnStore : public testsupport::TemplateCatalogueTest {
protected:
    void Exec(const std::string& sql) { con.ExecStatements(sql); }
};

NewBook Book(std::string autor, std::string titul, std::string isbn) {
    NewBook b;
    b.autor = std::move(autor);
    b.titul = std::move(titul);
    b.udaj1 = std::move(isbn);
    return b;
}

TEST_F(IsbnStore, DuplicatesByAnyIsbnFormOrByAuthorAndTitle) {
    // A hyphenated ISBN-10 stored by hand, a stored ISBN-13, and a row whose udaj1 is not an ISBN.
    Exec(
        "insert into svazkovna values(1,'\xC8"
        "apek Karel','Krakatit','','','','','','',3,'','80-7106-131-X','','');"
        "insert into svazkovna values(2,'Hrabal Bohumil','Ta\xB9ka','','','','','','',3,'','9780306406157','','');"
        "insert into svazkovna values(3,'Nikdo','Nic','','','','','','',3,'','sign. 12','','')");
    const std::vector<NewBook> batch = {
        Book("Jin\xFD", "Jin\xE9", "9788071061311"),          // same as row 1's ISBN-10
        Book("Hrabal Bohumil", "Ta\xB9ka", "9788000000001"),  // same author and title
        Book("Hrabal Bohumil", "Jin\xE1 kniha", "9780306406157"),
        Book("Nov\xFD", "Nov\xE1", "9791090636071"),
        Book("Nikdo", "Nic ", ""),  // a title differing by a blank is another title
    };
    EXPECT_EQ(FindDuplicates(con, batch), (std::vector<Duplicate>{Duplicate::Isbn, Duplicate::AuthorTitle,
                                                                  Duplicate::Isbn, Duplicate::None, Duplicate::None}));
}

TEST_F(IsbnStore, BatchGetsConsecutiveIdsAndTheDialogsEmptyTexts) {
    Exec("insert into svazkovna values(41,'A','B','','','','','','',3,'','','','')");
    std::vector<NewBook> batch;
    for (int i = 0; i < 50; ++i) {
        NewBook b = Book(
            "\xC8"
            "apek Karel",
            "Titul " + std::to_string(i), "9788071061311");
        b.umisteni = "Regál 1";
        b.vydal = "O'Neill";
        batch.push_back(b);
    }
    const std::vector<int32_t> ids = StoreNewBooks(con, batch);
    ASSERT_EQ(ids.size(), 50u);
    EXPECT_EQ(ids.front(), 42);
    EXPECT_EQ(ids.back(), 91);
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna")[0], "51");
    EXPECT_EQ(SelectRows(path, "select * from svazkovna where id=42")[0],
              "42|\xC8"
              "apek Karel|Titul 0||O'Neill||Regál 1|||3||9788071061311||");
    // Empty text, not NULL, in the columns the batch leaves alone.
    EXPECT_EQ(SelectRows(path,
                         "select count(*) from svazkovna where zapujcenokomu is null or udaj2 is null "
                         "or udaj3 is null or zanr is null")[0],
              "0");
}

TEST_F(IsbnStore, AFailureStoresNothing) {
    // A book without a title refuses the whole batch before anything is written.
    EXPECT_THROW(StoreNewBooks(con, {Book("A", "B", ""), Book("C", "", "")}), std::invalid_argument);
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna")[0], "0");
    // A catalogue another program holds locked: the engine's refusal, the
    // transaction rolled back, the connection usable afterwards.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    con.BusyTimeout = std::chrono::milliseconds(0);
    EXPECT_THROW(StoreNewBooks(con, {Book("A", "B", ""), Book("C", "D", "")}), Exception);
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(SelectRows(path, "select count(*) from svazkovna")[0], "0");
    EXPECT_EQ(StoreNewBooks(con, {Book("A", "B", "")}), std::vector<int32_t>{1});
}

TEST_F(IsbnStore, CompletingKeepsOtherTextInUdaj1AndSkipsAChangedRow) {
    Exec(
        "insert into svazkovna values(1,'A','B','','','','','','',3,'','dar od babi\xE8ky','','');"
        "insert into svazkovna values(1,'A','B','','','','','','',3,'','','','')");
    const std::vector<StoredBook> rows = ReadTitleBooks(con, "A", "B");
    ASSERT_EQ(rows.size(), 2u);
    NewBook found = Book("A", "B (nalezeno)", "9788071061311");
    found.vydal = "Odeon";
    EXPECT_TRUE(CompleteBook(con, rows[0], found, {"titul", "udaj1"}));
    EXPECT_EQ(SelectRows(path, "select titul, vydal, udaj1 from svazkovna order by rowid"),
              (std::vector<std::string>{"B (nalezeno)||dar od babi\xE8ky", "B||"}));
    // The first row no longer holds what was read: nothing is written.
    EXPECT_FALSE(CompleteBook(con, rows[0], found, {"vydal"}));
    EXPECT_TRUE(CompleteBook(con, rows[1], found, {"vydal", "udaj1"}));
    EXPECT_EQ(SelectRows(path, "select vydal, udaj1 from svazkovna where rowid=2")[0], "Odeon|9788071061311");
}

TEST(IsbnStoreRules, IsbnWrittenOnlyOverEmptyOrAnIsbn) {
    EXPECT_TRUE(MayWriteIsbn(""));
    EXPECT_TRUE(MayWriteIsbn("80-7106-131-X"));
    EXPECT_FALSE(MayWriteIsbn("dar od babičky"));
}

}  // namespace
