// Which spellings count as one author or one book, on names as collections
// really hold them: typed by hand, moved in from other programs, in several
// languages.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "catalogue/book_match.h"

namespace {

// The catalogue's bytes for a text written here in UTF-8.
std::string Cp1250(const std::string& utf8) {
    iconv_t cd = iconv_open("WINDOWS-1250", "UTF-8");
    std::string in = utf8, out(utf8.size() * 2 + 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t left = in.size(), room = out.size();
    const size_t done = iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    EXPECT_NE(done, static_cast<size_t>(-1)) << utf8;
    out.resize(out.size() - room);
    return out;
}

TEST(BookMatch, FoldingDropsCaseAccentsAndPunctuationOfEveryWindows1250Letter) {
    const struct {
        const char* text;
        const char* folded;
    } cases[] = {
        {"Čapek, Karel", "capek karel"},
        {"ŠŤASTNÝ Ďábel Ňůžek", "stastny dabel nuzek"},
        {"Łódź – Szczęście", "lodz szczescie"},             // Polish, an en dash
        {"Grüße aus Österreich", "grusse aus osterreich"},  // ß folds to two letters
        {"Őrült Ű", "orult u"},                             // Hungarian
        {"  R.U.R.  ", "r u r"},
        {"„Kolektiv“ autorů", "kolektiv autoru"},  // Czech quotes are punctuation
        {"", ""},
        {"...", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(match::Fold(Cp1250(c.text)), c.folded) << c.text;
}

TEST(BookMatch, OneAuthorWhateverTheOrderInitialsAndCase) {
    const char* tolkien[] = {"Tolkien J.R.R.", "Tolkien J. R. R.", "TOLKIEN J.R.R.", "J.R.R. Tolkien",
                             "Tolkien, J.R.R."};
    for (const char* t : tolkien) EXPECT_EQ(match::AuthorKey(Cp1250(t)), match::AuthorKey(Cp1250(tolkien[0]))) << t;
    const struct {
        const char* a;
        const char* b;
        bool same;
    } pairs[] = {
        {"García Márquez Gabriel", "Gabriel García Márquez", true},  // Spanish double surname
        {"Čapek Karel", "Capek Karel", true},
        {"Čapek Karel", "Čapek Josef", false},
        {"Mann Thomas", "Mann Heinrich", false},
        {"Kolektiv autorů", "autorů Kolektiv", true},
    };
    for (const auto& p : pairs)
        EXPECT_EQ(match::AuthorKey(Cp1250(p.a)) == match::AuthorKey(Cp1250(p.b)), p.same) << p.a << " / " << p.b;
}

TEST(BookMatch, BooksMatchWithoutASeriesSuffixButKeepOtherParentheses) {
    const struct {
        const char* autorA;
        const char* titulA;
        const char* autorB;
        const char* titulB;
        bool same;
    } cases[] = {
        {"Pratchett Terry", "Mort (Discworld, #4)", "Terry Pratchett", "Mort", true},
        {"Pratchett Terry", "Mort (Discworld #4.5)", "Pratchett Terry", "MORT", true},
        {"Rowling J. K.", "Harry Potter a kámen mudrců", "J.K. Rowling", "Harry Potter a kamen mudrcu", true},
        {"Hašek Jaroslav", "Švejk (2. vydání)", "Hašek Jaroslav", "Švejk", false},
        {"Tolkien J.R.R.", "Pán prstenů. Díl 2, Dvě věže", "Tolkien J.R.R.", "Pán prstenů. Díl 1", false},
        {"", "Bez autora", "", "Bez autora", false},  // no key, no match
    };
    for (const auto& c : cases) {
        const std::string a = match::BookKey(Cp1250(c.autorA), Cp1250(c.titulA));
        const std::string b = match::BookKey(Cp1250(c.autorB), Cp1250(c.titulB));
        EXPECT_EQ(!a.empty() && a == b, c.same) << c.titulA << " / " << c.titulB;
    }
}

TEST(BookMatch, InitialsMatchFullNamesOnlyWithTheSameSurname) {
    const struct {
        const char* a;
        const char* b;
        bool maybe;
    } cases[] = {
        {"Tolkien J.R.R.", "Tolkien John Ronald Reuel", true},
        {"John Ronald Reuel Tolkien", "Tolkien J. R. R.", true},
        {"Čapek K.", "Čapek Karel", true},
        {"Čapek K.", "Čapek Josef", false},
        {"Tolkien J.R.R.", "Tolkien Christopher", false},
        {"Novák J.", "Dvořák Jan", false},
        {"Čapek Karel", "Čapek Karel", false},  // the same spelling is the stronger kind
        {"Karel", "K.", false},                 // one word: no surname to agree on
    };
    for (const auto& c : cases)
        EXPECT_EQ(match::InitialsMatch(Cp1250(c.a), Cp1250(c.b)), c.maybe) << c.a << " / " << c.b;
}

}  // namespace
