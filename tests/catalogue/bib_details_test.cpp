// The year/pages/edition form of údaj 2: what is ours, what is somebody else's.
#include <gtest/gtest.h>

#include "catalogue/bib_details.h"

namespace {

TEST(BibDetails, OnlyEmptyOrOurOwnFormMayBeWritten) {
    struct Case {
        const char* held;
        bool ours;
    } cases[] = {
        {"", true},
        {"  \r\n", true},
        {"#bib", true},
        {"#bib rok=2010;stran=240;vydani=3.", true},
        {"#bib rok=2010;;", true},
        {"1936", false},                          // a year another program wrote plainly
        {"rok=2010", false},                      // no marker
        {"#bibliografie: viz kartotéka", false},  // a word that starts like the marker
        {"#bib poznámka bez rovnítka", false},
        {"#bib =2010", false},
        {"vazba: kůže", false},
    };
    for (const Case& c : cases) EXPECT_EQ(MayWriteBibDetails(c.held), c.ours) << c.held;
}

TEST(BibDetails, RoundTripKeepsUnknownKeysAndCleansValues) {
    const auto read = ParseBibDetails("#bib rok=1936; stran = 240 ;vazba=pevná;vydani=1.");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->year, "1936");
    EXPECT_EQ(read->pages, "240");
    EXPECT_EQ(read->edition, "1.");
    EXPECT_EQ(FormatBibDetails(*read), "#bib rok=1936;stran=240;vydani=1.;vazba=pevná");

    BibDetails typed;
    typed.year = " 2010;2011 ";   // a separator in a value must not start a new pair
    typed.pages = "xii=240\r\n";  // nor an equals sign a new key
    EXPECT_EQ(FormatBibDetails(typed), "#bib rok=2010,2011;stran=xii-240");
    EXPECT_EQ(ParseBibDetails(FormatBibDetails(typed))->year, "2010,2011");
    EXPECT_EQ(FormatBibDetails(BibDetails{}), "");

    // A found record fills and replaces only what it knows; other text is refused.
    BibDetails found;
    found.pages = "250";
    EXPECT_EQ(MergeBibDetails("#bib rok=1936;stran=240;vazba=pevná", found), "#bib rok=1936;stran=250;vazba=pevná");
    EXPECT_EQ(MergeBibDetails("", found), "#bib stran=250");
    EXPECT_EQ(MergeBibDetails("1936", found), std::nullopt);
}

}  // namespace
