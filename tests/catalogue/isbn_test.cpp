// ISBN validation, conversion to the stored ISBN-13 form, and finding an ISBN in free text.
#include <gtest/gtest.h>

#include "catalogue/isbn.h"

namespace {

TEST(Isbn, TypedFormsNormaliseToThirteenDigits) {
    // 80-7106-131-X is an ISBN-10 ending in X; its ISBN-13 has a check digit of its own.
    EXPECT_EQ(isbn::Normalize("80-7106-131-x"), "9788071061311");
    EXPECT_EQ(isbn::Normalize(" 80 7106 131 X "), "9788071061311");
    EXPECT_EQ(isbn::Normalize("978-80-7106-131-1"), "9788071061311");
    EXPECT_EQ(isbn::Normalize("0306406152"), "9780306406157");
    EXPECT_EQ(isbn::Normalize("979-10-90636-07-1"), "9791090636071");
    EXPECT_EQ(isbn::Normalize("\t9780306406157\t"), "9780306406157");
}

TEST(Isbn, FaultsAreTold) {
    EXPECT_EQ(isbn::Check("0306406152"), isbn::Fault::None);
    EXPECT_EQ(isbn::Check("0306406153"), isbn::Fault::CheckDigit);
    EXPECT_EQ(isbn::Check("9780306406158"), isbn::Fault::CheckDigit);
    EXPECT_EQ(isbn::Check("030640615"), isbn::Fault::Length);
    EXPECT_EQ(isbn::Check("97803064061570"), isbn::Fault::Length);
    EXPECT_EQ(isbn::Check(" - "), isbn::Fault::Empty);
    EXPECT_EQ(isbn::Check(""), isbn::Fault::Empty);
    EXPECT_EQ(isbn::Check("03064O6152"), isbn::Fault::Character);
    EXPECT_EQ(isbn::Check("X306406152"), isbn::Fault::Character);
    EXPECT_EQ(isbn::Check("978030640615X"), isbn::Fault::Character);
    EXPECT_EQ(isbn::Check("9770306406157"), isbn::Fault::Prefix);
    EXPECT_FALSE(isbn::Normalize("0306406153"));
    EXPECT_FALSE(isbn::HoldsIsbn("sign. 1234"));
    EXPECT_TRUE(isbn::HoldsIsbn("9780306406157"));
}

TEST(Isbn, TenDigitFormOnlyFor978) {
    EXPECT_EQ(isbn::To10("9788071061311"), "807106131X");
    EXPECT_EQ(isbn::To10("0306406152"), "0306406152");
    EXPECT_FALSE(isbn::To10("9791090636071"));
    EXPECT_FALSE(isbn::To10("junk"));
}

TEST(Isbn, FoundInFreeText) {
    EXPECT_EQ(isbn::Find("80-7106-131-X (váz.)"), "9788071061311");
    EXPECT_EQ(isbn::Find("ISBN 978-80-7106-131-1 ; brož. 2005"), "9788071061311");
    EXPECT_EQ(isbn::Find("1998, 0306406152"), "9780306406157");
    EXPECT_EQ(isbn::Find("0306406152 9788071061311"), "9780306406157");
    EXPECT_FALSE(isbn::Find("bez ISBN, 123 s."));
    EXPECT_FALSE(isbn::Find(""));
}

// What a scanner or a user hands over: a prefix or a price add-on is trimmed,
// anything that is not an ISBN is left for Check to refuse.
TEST(Isbn, ScansTrimmedToTheIsbn) {
    struct Case {
        const char* scanned;
        std::optional<std::string> stored;
    };
    const Case cases[] = {
        {"ISBN 978-80-7106-131-1", "9788071061311"},
        {"isbn: 80-7106-131-X", "9788071061311"},
        {"ISBN-13: 978-0-306-40615-7", "9780306406157"},
        {"9788071061311 51990", "9788071061311"},  // a 5-digit add-on, printed apart
        {"978807106131151990", "9788071061311"},   // read as one run
        {"978807106131199", "9788071061311"},      // a 2-digit add-on
        {" 9780306406157\r\n", "9780306406157"},
        {"9788071061312 51990", std::nullopt},  // a wrong check digit stays wrong
        {"0306406152 51990", std::nullopt},     // an add-on goes with EAN-13 only
        {"ISBN", std::nullopt},
        {"ISBNX 9788071061311", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(isbn::Normalize(isbn::FromScan(c.scanned)), c.stored) << c.scanned;
    EXPECT_EQ(isbn::Check(isbn::FromScan("9788071061312 51990")), isbn::Fault::Length);
}

}  // namespace
