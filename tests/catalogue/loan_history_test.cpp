// The loan history in `udaj3`: lines read back as written whatever the names
// hold, foreign text told apart and left alone, and the history written in the
// same transaction as the return or save that finishes the loan.
#include <gtest/gtest.h>

#include <stdexcept>

#include "catalogue/loan_history.h"
#include "catalogue/loans_store.h"
#include "storage/query_fixture.h"

namespace {

using querytest::RunSql;
using querytest::Select1;

TEST(LoanHistoryFormat, LinesReadBackAsWritten) {
    const std::vector<FinishedLoan> loans = {
        {"Jan Nov\xE1k", "12.3.2024", "1.4.2024"},  // "Novák" in Windows-1250
        {"tab\there", "line\nbreak\r\nand cr", "29.2.2024"},
        {"back\\slash \\t not a tab", "#vypujcka\t1.1.2000\n", "31.12.1999"},
        {"", "", "5.6.2025"},
        {std::string(10000, '\x9E'), std::string(3000, ';'), "10.10.2010"},
    };
    std::string udaj3;
    for (const FinishedLoan& loan : loans) udaj3 += EncodeLoanLine(loan);
    EXPECT_EQ(EncodeLoanLine(loans[0]), "#vypujcka\tJan Nov\xE1k\t12.3.2024\t1.4.2024\n");
    // One line per loan: separators and breaks inside names are escaped.
    EXPECT_EQ(std::count(udaj3.begin(), udaj3.end(), '\n'), 5);
    EXPECT_EQ(std::count(udaj3.begin(), udaj3.end(), '\t'), 15);
    const auto back = DecodeLoanHistory(udaj3);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, loans);
    EXPECT_EQ(DecodeLoanHistory(""), std::vector<FinishedLoan>{});
    EXPECT_THROW(EncodeLoanLine({"a", "b", "2024-04-01"}), std::invalid_argument);
    // A zero byte another tool wrote is left out rather than failing the return.
    EXPECT_EQ(EncodeLoanLine({std::string("a\0b", 3), "b", "1.4.2024"}), "#vypujcka\tab\tb\t1.4.2024\n");
}

TEST(LoanHistoryFormat, ForeignTextIsToldApart) {
    const std::string ours = EncodeLoanLine({"Eva", "1.1.2024", "2.2.2024"});
    const char* const foreign[] = {
        "pozn\xE1mka",
        "#vypujcka\tEva\t1.1.2024\t2.2.2024",      // no line end: cut or typed by hand
        "#vypujcka\tEva\t1.1.2024\t2.2.2024\r\n",  // line ends rewritten
        "#vypujcka\tEva\t1.1.2024\t30.2.2024\n",   // no such day
        "#vypujcka\tEva\t1.1.2024\t2.2.24\n",
        "#vypujcka\tEva\t1.1.2024\n",                  // fields missing
        "#vypujcka\tEva\t1.1.2024\t2.2.2024\tmore\n",  // a field too many
        "#vypujcka\tE\\va\t1.1.2024\t2.2.2024\n",      // a backslash that escapes nothing
        "#vypujcka\tEva\\\t1.1.2024\t2.2.2024\n",
        "#vypujckaX\tEva\t1.1.2024\t2.2.2024\n",
        " #vypujcka\tEva\t1.1.2024\t2.2.2024\n",
        "\n",
    };
    for (const char* text : foreign) {
        EXPECT_FALSE(DecodeLoanHistory(text).has_value()) << text;
        EXPECT_FALSE(DecodeLoanHistory(ours + text).has_value()) << text;
        EXPECT_FALSE(DecodeLoanHistory(text + ours).has_value()) << text;
    }
    EXPECT_TRUE(IsReturnDate("29.2.2000"));
    EXPECT_FALSE(IsReturnDate("29.2.1900"));
    EXPECT_EQ(ReturnDateText(2024, 3, 9), "9.3.2024");
}

class LoanHistoryStore : public querytest::QueryFixture {
protected:
    void SetUp() override {
        QueryFixture::SetUp();
        RunSql(path,
               "insert into svazkovna values(1,'A','T1','','','','','Eva','1.3.2024',3,'','','',''),"
               "(2,'A','T2','','','','','Jan','jaro',3,'','','',NULL),"
               "(3,'B','T3','','','','','Ota','2.3.2024',3,'','','','moje pozn\xE1mka'),"
               "(4,'B','T4','','','','','','',3,'','','','')");
    }
    std::string History(int rowKey) {
        return Select1(path, "select udaj3 from svazkovna where rowid=" + std::to_string(rowKey));
    }
};

TEST_F(LoanHistoryStore, AReturnKeepsTheLoanBesideForeignTextLeftAlone) {
    // A borrower longer than a read row holds is kept whole.
    const std::string longName(600, 'x');
    RunSql(path, "update svazkovna set zapujcenokomu='" + longName + "' where rowid=1");
    std::vector<LoanRow> rows = ReadLoanRows(con);
    ASSERT_EQ(rows.size(), 3u);
    const ReturnResult result = ReturnLoanRows(con, rows, "20.4.2024");
    EXPECT_EQ(result.changed.size(), 3u);
    ASSERT_EQ(result.historyLost.size(), 1u);
    EXPECT_EQ(result.historyLost[0].titul, "T3");
    EXPECT_EQ(History(1), "#vypujcka\t" + longName + "\t1.3.2024\t20.4.2024\n");
    EXPECT_EQ(History(2), "#vypujcka\tJan\tjaro\t20.4.2024\n");  // from NULL
    EXPECT_EQ(History(3), "moje pozn\xE1mka");
    EXPECT_EQ(Select1(path, "select count(*) from svazkovna where zapujcenokomu<>'' or zapujcenokdy<>''"), "0");

    // A second loan of the same book is appended after the first.
    RunSql(path, "update svazkovna set zapujcenokomu='Eva',zapujcenokdy='5.5.2024' where rowid=2");
    ReturnLoanRows(con, ReadLoanRows(con), "6.5.2024");
    const auto back = DecodeLoanHistory(History(2));
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->size(), 2u);
    EXPECT_EQ((*back)[1], (FinishedLoan{"Eva", "5.5.2024", "6.5.2024"}));
}

TEST_F(LoanHistoryStore, ALockedCatalogueKeepsNeitherReturnNorHistory) {
    const std::vector<LoanRow> rows = ReadLoanRows(con);
    con.BusyTimeout = std::chrono::milliseconds(50);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_ANY_THROW(ReturnLoanRows(con, rows, "20.4.2024"));
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(History(1), "");
    EXPECT_EQ(Select1(path, "select zapujcenokomu from svazkovna where rowid=1"), "Eva");
}

TEST_F(LoanHistoryStore, ASaveThatReplacesTheBorrowerFinishesTheLoan) {
    auto save = [&](int rowKey, const std::string& set) {
        return ChangeKeepingLoanHistory(con, rowKey, "7.7.2024", [&] {
            ExecSql("update svazkovna set " + set + " where rowid=" + std::to_string(rowKey));
        });
    };
    EXPECT_FALSE(save(1, "titul='Jiný'"));  // other fields only: the loan goes on
    EXPECT_EQ(History(1), "");
    EXPECT_FALSE(save(1, "zapujcenokomu='Petr',zapujcenokdy='7.7.2024'"));
    EXPECT_EQ(History(1), "#vypujcka\tEva\t1.3.2024\t7.7.2024\n");
    EXPECT_FALSE(save(1, "zapujcenokomu='',zapujcenokdy=''"));
    EXPECT_EQ(History(1), "#vypujcka\tEva\t1.3.2024\t7.7.2024\n#vypujcka\tPetr\t7.7.2024\t7.7.2024\n");
    EXPECT_FALSE(save(4, "zapujcenokomu='Eva'"));  // lending is no finished loan
    EXPECT_EQ(History(4), "");

    const auto lost = save(3, "zapujcenokomu=''");
    ASSERT_TRUE(lost.has_value());
    EXPECT_EQ(lost->titul, "T3");
    EXPECT_EQ(History(3), "moje pozn\xE1mka");
    EXPECT_EQ(Select1(path, "select zapujcenokomu from svazkovna where rowid=3"), "");

    // A save that fails leaves no history behind.
    EXPECT_THROW(ChangeKeepingLoanHistory(con, 2, "7.7.2024",
                                          [&] {
                                              ExecSql("update svazkovna set zapujcenokomu='' where rowid=2");
                                              throw std::runtime_error("failed");
                                          }),
                 std::runtime_error);
    EXPECT_EQ(History(2), "");
    EXPECT_EQ(Select1(path, "select zapujcenokomu from svazkovna where rowid=2"), "Jan");
}

TEST(LoanHistoryEdit, CorrectionsAreToldFromReturnsAndNewLoans) {
    struct Case {
        const char *komuBefore, *kdyBefore, *komuAfter, *kdyAfter;
        LoanEdit edit;
    };
    const Case cases[] = {
        {"Jan Nov\xE1k ", "1.3.2024", "Jan Nov\xE1k", "1.3.2024", LoanEdit::GoesOn},  // a trailing blank
        {" \x8A\x9D"
         "astn\xFD",
         "jaro",
         "\x9A\x9D"
         "astn\xDD",
         "jaro", LoanEdit::GoesOn},  // letter case, háčky too
        {"\x8A\x9D"
         "astn\xFD",
         "1.3.2024",
         "\x9A\x9D"
         "astn\xFD",
         "2.3.2024", LoanEdit::GoesOn},                             // the date corrected
        {"Jna", "1.3.2024", "Jan", "1.3.2024", LoanEdit::GoesOn},   // a typo, same date
        {"Jan", "1.3.2024", "Eva", " 1.3.2024", LoanEdit::GoesOn},  // another name, same date
        {"Jna", "1.3.2024", "Jan", "5.3.2024", LoanEdit::Unsure},   // alike names
        {"Eva", "", "Petr", "7.7.2024", LoanEdit::Unsure},          // no date to compare
        {"Eva", "1.3.2024", "Petr", "", LoanEdit::Unsure},
        {"Eva", "1.3.2024", "Petr", "7.7.2024", LoanEdit::Finishes},  // a new loan
        {"Eva", "1.3.2024", "", "", LoanEdit::Finishes},
        {"Eva", "1.3.2024", "", "1.3.2024", LoanEdit::Finishes},  // borrower emptied
        {"", "1.3.2024", "", "", LoanEdit::Finishes},
        {"", "1.3.2024", "Eva", "1.3.2024", LoanEdit::GoesOn},  // a name given
        {"", "", "Eva", "1.3.2024", LoanEdit::GoesOn},          // lent
    };
    for (const Case& c : cases) {
        const RowLoanState before{c.komuBefore, c.kdyBefore, "", "A", "T"};
        const RowLoanState after{c.komuAfter, c.kdyAfter, "", "A", "T"};
        EXPECT_EQ(ClassifyLoanEdit(before, after), c.edit)
            << c.komuBefore << "/" << c.kdyBefore << " -> " << c.komuAfter << "/" << c.kdyAfter;
    }
}

TEST_F(LoanHistoryStore, ALoanEndsOnceHoweverItIsEmptiedAndAZeroByteDoesNotStopIt) {
    int asked = 0;
    bool answer = true;
    auto save = [&](int rowKey, const std::string& set) {
        return ChangeKeepingLoanHistory(
            con, rowKey, "7.7.2024",
            [&] { ExecSql("update svazkovna set " + set + " where rowid=" + std::to_string(rowKey)); },
            [&](const RowLoanState&, const RowLoanState&) { return ++asked, answer; });
    };
    // The borrower emptied in one save, the date in the next: one line.
    save(1, "zapujcenokomu=''");
    save(1, "zapujcenokdy=''");
    EXPECT_EQ(History(1), "#vypujcka\tEva\t1.3.2024\t7.7.2024\n");
    // The borrower emptied, then the nameless rest returned: one line.
    save(2, "zapujcenokomu=''");
    ReturnLoanRows(con, ReadLoanRows(con), "8.7.2024");
    EXPECT_EQ(History(2), "#vypujcka\tJan\tjaro\t7.7.2024\n");
    // A loan that never had a name is kept when it ends.
    RunSql(path, "update svazkovna set zapujcenokdy='5.5.2024' where rowid=4");
    ASSERT_EQ(ReturnLoanRows(con, ReadLoanRows(con), "9.7.2024").changed.size(), 1u);
    EXPECT_EQ(History(4), "#vypujcka\t\t5.5.2024\t9.7.2024\n");

    // Unsure: the answer decides, and only unsure edits are asked.
    save(1, "zapujcenokomu='Iva',zapujcenokdy=''");
    save(1, "zapujcenokomu='Ivo',zapujcenokdy='8.8.2024'");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(DecodeLoanHistory(History(1))->size(), 1u) << "answered as a correction";
    answer = false;
    save(1, "zapujcenokomu='Eva',zapujcenokdy=''");
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(DecodeLoanHistory(History(1))->back(), (FinishedLoan{"Ivo", "8.8.2024", "7.7.2024"}));

    // A borrower holding a zero byte (another tool's) is returned and saved.
    RunSql(path,
           "update svazkovna set zapujcenokomu=cast(x'4A616E00787878' as text),zapujcenokdy='1.1.2024',"
           "udaj3='' where rowid in (2,4)");
    const std::vector<LoanRow> lent = ReadLoanRows(con);
    ASSERT_EQ(lent.size(), 3u);
    EXPECT_EQ(ReturnLoanRows(con, {lent[1]}, "2.2.2024").changed.size(), 1u);
    EXPECT_EQ(History(2), "#vypujcka\tJanxxx\t1.1.2024\t2.2.2024\n");
    EXPECT_FALSE(save(4, "zapujcenokomu='',zapujcenokdy='',poznamka='jiná'"));
    EXPECT_EQ(History(4), "#vypujcka\tJanxxx\t1.1.2024\t7.7.2024\n");
    EXPECT_EQ(Select1(path, "select poznamka from svazkovna where rowid=4"), "jiná");
}

}  // namespace
