// What an export's texts become on their way in: a UTF-8 file with a stray
// byte, characters Windows-1250 lacks and a field far too long are kept in
// the nearest form the catalogue holds, each change named in the warnings.
#include <gtest/gtest.h>

#include "app/core/codepage.h"
#include "app/transfer/readers/import_reader.h"
#include "app/transfer/readers/nearest_form.h"
#include "app/transfer/readers/table_file.h"
#include "support/app_files.h"

namespace testsupport {
namespace {

std::string Data(const char* name) { return std::string(SVAZKOVNA_TEST_DATA) + "/import/" + name; }

std::string Field(const ImportPlan& plan, size_t row, int column) {
    return FromCodePage(plan.rows.at(row).row[static_cast<size_t>(column)].value_or("NULL")).toStdString();
}

TEST(ImportText, AUtf8ExportWithAStrayByteIsReadAsUtf8AndTheByteIsNamed) {
    // One review pasted from a Latin-1 page (0xF8: ø) in a Czech export.
    std::string gr = Slurp(Data("goodreads_library_export.csv"));
    gr.replace(gr.find("Výborné!"), std::string("Výborné!").size(), "Jo Nesb\xF8 ne");
    const ImportPlan plan = ParseImport(gr);
    EXPECT_EQ(plan.encoding.toStdString(), "UTF-8");
    EXPECT_EQ(Field(plan, 0, kAuthorColumn), "Hašek Jaroslav");
    EXPECT_EQ(Field(plan, 0, 10).substr(0, 12), "Jo Nesb? ne\n");
    EXPECT_TRUE(
        plan.warnings.contains(QString::fromUtf8("Řádek 2: bajty 0xF8 nejsou platné UTF-8, nahrazeny otazníkem.")))
        << plan.warnings.join(u'\n').toStdString();

    // A Windows-1250 file is still one, though an accented capital before „ reads as a UTF-8 pair.
    const std::string cp = ToCodePage(QString::fromUtf8("Autor;Titul\nČapek Karel;Krakatit\nŽák Jan;Á„Šotek“\n"));
    const ImportPlan cpPlan = ParseImport(cp);
    EXPECT_EQ(cpPlan.encoding.toStdString(), "Windows-1250");
    EXPECT_EQ(Field(cpPlan, 1, kTitleColumn), "Á„Šotek“");
    EXPECT_TRUE(cpPlan.warnings.isEmpty());
}

TEST(ImportText, CharactersTheCodePageLacksAreStoredInTheirNearestFormAndListed) {
    struct Case {
        const char* written;
        const char* stored;
        const char* change;  // "" when nothing changes
    } cases[] = {
        {"Jo Nesbø", "Jo Nesbo", "Nesbø → Nesbo"},
        {"Molière", "Moliere", "Molière → Moliere"},
        {"Фёдор Достоевский", "Fëdor Dostoevskij", ""},  // ë is in the code page
        {"Чехов Антон", "Čehov Anton", "Чехов → Čehov, Антон → Anton"},
        {"Skvělé 😀 čtení", "Skvělé  čtení", "😀 vynecháno"},
        {"Łódź, Żółć, Größe, Hőség, Ľubica", "Łódź, Żółć, Größe, Hőség, Ľubica", ""},
        {"Gabriel García Márquez", "Gabriel García Márquez", ""},
        {"Tōkyō\u3000Ἀθῆναι", "Tokyo Athenai", "Tōkyō → Tokyo, Ἀθῆναι → Athenai"},
    };
    for (const Case& c : cases) {
        QStringList changes;
        const QString stored = NearestStorableForm(QString::fromUtf8(c.written), &changes);
        EXPECT_EQ(stored.toStdString(), c.stored) << c.written;
        EXPECT_TRUE(FitsCodePage(stored)) << c.written;
        if (*c.change) {
            EXPECT_EQ(changes.join(QStringLiteral(", ")).toStdString(), c.change) << c.written;
        }
    }

    // Through a reader: the file is read whole and each changed row is listed.
    const ImportPlan plan = ParseImport(
        "Autor,Titul,Poznámka\nNesbø Jo,Sněhulák,\nДостоевский Фёдор,Идиот,Skvělé 😀\nČapek Karel,Krakatit,\n");
    ASSERT_EQ(plan.rows.size(), 3u);
    EXPECT_EQ(Field(plan, 0, kAuthorColumn), "Nesbo Jo");
    EXPECT_EQ(Field(plan, 1, kTitleColumn), "Idiot");
    EXPECT_EQ(Field(plan, 1, 10), "Skvělé ");
    EXPECT_EQ(plan.warnings, (QStringList{QString::fromUtf8("Řádek 2, sloupec „Autor“: Nesbø → Nesbo"),
                                          QString::fromUtf8("Řádek 3, sloupec „Autor“: Достоевский → Dostoevskij, "
                                                            "Фёдор → Fëdor"),
                                          QString::fromUtf8("Řádek 3, sloupec „Titul“: Идиот → Idiot"),
                                          QString::fromUtf8("Řádek 3, sloupec „Poznámka“: 😀 vynecháno")}));
}

TEST(ImportText, AFieldFarTooLongIsCutAndTheRowNamed) {
    const std::string review(3 * kMaxStoredField + 7, 'x');
    const std::string cp(kMaxStoredField + 1, '\x9A');  // š in a Windows-1250 file
    struct Case {
        std::string file;
        const char* warning;
    } cases[] = {
        {"Autor,Titul,Poznámka\nA,B,\"" + review + "\"\nC,D,kratší\n",
         "Řádek 2, sloupec „Poznámka“: text o 193 kB zkrácen na 64 kB."},
        {"Autor;Titul\n\x8Alapka;" + cp + "\n", "Řádek 2, sloupec „Titul“: text o 65 kB zkrácen na 64 kB."},
    };
    for (const Case& c : cases) {
        const ImportPlan plan = ParseImport(c.file);
        ASSERT_FALSE(plan.rows.empty());
        size_t longest = 0;
        for (const auto& field : plan.rows[0].row) longest = std::max(longest, field ? field->size() : 0);
        EXPECT_EQ(longest, kMaxStoredField);
        EXPECT_EQ(plan.warnings, QStringList{QString::fromUtf8(c.warning)});
    }
}

}  // namespace
}  // namespace testsupport
