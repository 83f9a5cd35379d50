// Looking ISBNs up against local servers: the MARC and JSON readers, the
// order of sources, a slow source while others answer, malformed answers,
// refused connections, and the setting that lists the sources.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "app/isbn/isbn_lookup.h"
#include "app/isbn/marc_reader.h"
#include "app/isbn/openlibrary_reader.h"
#include "isbn_test_data.h"
#include "support/temp_dir.h"

namespace {

using namespace isbntest;

std::vector<std::string> SplitRecords(const std::string& bytes) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\x1D') {
            out.push_back(bytes.substr(start, i + 1 - start));
            start = i + 1;
        }
    return out;
}

FoundRecord Read(const std::string& iso) {
    const std::optional<QByteArray> xml = MarcToXml(iso);
    EXPECT_TRUE(xml);
    if (!xml) return {};
    const auto records = ReadMarcXml(*xml);
    EXPECT_TRUE(records && records->size() == 1);
    return records && !records->empty() ? records->front() : FoundRecord{};
}

TEST(IsbnReaders, MarcFieldsInTheCataloguesForm) {
    const std::vector<std::string> recs = SplitRecords(RecordedMarc());
    ASSERT_EQ(recs.size(), 4u);
    const FoundRecord k = Read(recs[0]);
    EXPECT_EQ(k.autor, QStringLiteral("Čapek Karel"));
    EXPECT_EQ(k.titul, QStringLiteral("Krakatit"));
    EXPECT_EQ(k.vydal, QStringLiteral("Československý spisovatel"));
    EXPECT_EQ(k.rok, QStringLiteral("1982"));
    EXPECT_EQ(k.serie, QStringLiteral("Spisy sv. 7"));
    EXPECT_EQ(k.zanr, QStringLiteral("romány"));
    EXPECT_EQ(k.isbns, QStringList{QString::fromLatin1(kKrakatit)});  // two 020s, one book
    // MARC-8: combining accents before their letters come out composed.
    const FoundRecord b = Read(recs[1]);
    EXPECT_EQ(b.autor, QStringLiteral("Němcová Božena"));
    EXPECT_EQ(b.titul, QStringLiteral("Babička : obrazy venkovského života"));
    EXPECT_EQ(b.vydal, QStringLiteral("Albatros"));
    EXPECT_EQ(b.rok, QStringLiteral("2005"));
    EXPECT_EQ(Read(recs[2]).autor, QStringLiteral("Národní muzeum"));
    EXPECT_EQ(Read(recs[3]).autor, QStringLiteral("Hrabal Bohumil"));
}

// Records as a national library serves them (built from MARCXML by
// yaz-marcdump, in UTF-8 and in MARC-8): read as a cataloguer would.
TEST(IsbnReaders, NationalLibraryRecordsReadAsACataloguerWould) {
    const FoundRecord expected[] = {
        // Multi-volume title; a copyright 264 _4 before the publication 264 _1; $q and $d of 100 left out.
        {QStringLiteral("Tolkien J. R. R."),
         QStringLiteral("Pán prstenů. Díl 2, Dvě věže"),
         QStringLiteral("Argo"),
         QStringLiteral("2013"),
         QStringLiteral("Pán prstenů 2"),
         QStringLiteral("anglické romány"),
         QStringList{QStringLiteral("9788025708910")},
         {},
         {},
         QStringLiteral("358"),
         QStringLiteral("3.")},
        // Dates and a relator term in 100; "spol." keeps its full stop; 260 with a full stop after the year.
        {QStringLiteral("Jirotka Zdeněk"),
         QStringLiteral("Saturnin"),
         QStringLiteral("Šulc a spol."),
         QStringLiteral("1998"),
         {},
         QStringLiteral("české romány"),
         QStringList{QStringLiteral("9788072520114")},
         {},
         {},
         QStringLiteral("240"),
         QStringLiteral("3.")},
        // A corporate author with its unit; "IV." is no end of a sentence.
        {QStringLiteral("Národní muzeum. Knihovna"),
         QStringLiteral("Karel IV. : katalog výstavy"),
         QStringLiteral("Národní muzeum"),
         QStringLiteral("2000"),
         {},
         {},
         QStringList{QStringLiteral("9788070361030")},
         {},
         {},
         QStringLiteral("95"),
         {}},
        {QStringLiteral("Čapek Karel"),
         QStringLiteral("R.U.R."),
         QStringLiteral("Fortuna Libri"),
         QStringLiteral("2019"),
         {},
         {},
         QStringList{QStringLiteral("9788075451231")},
         {},
         {},
         QStringLiteral("112"),
         {}},
    };
    for (const char* file : {"nkp-utf8.mrc", "nkp-marc8.mrc"}) {
        SCOPED_TRACE(file);
        const std::vector<std::string> recs = SplitRecords(Fixture(file));
        ASSERT_EQ(recs.size(), std::size(expected));
        for (size_t i = 0; i < recs.size(); ++i) {
            const FoundRecord r = Read(recs[i]);
            EXPECT_EQ(r.autor, expected[i].autor) << i;
            EXPECT_EQ(r.titul, expected[i].titul) << i;
            EXPECT_EQ(r.vydal, expected[i].vydal) << i;
            EXPECT_EQ(r.rok, expected[i].rok) << i;
            EXPECT_EQ(r.serie, expected[i].serie) << i;
            EXPECT_EQ(r.zanr, expected[i].zanr) << i;
            EXPECT_EQ(r.isbns, expected[i].isbns) << i;
            // 300 $a "358 stran :", 250 $a "Vydání 3." / "Vyd. 3."
            EXPECT_EQ(r.stran, expected[i].stran) << i;
            EXPECT_EQ(r.vydani, expected[i].vydani) << i;
        }
    }
}

// Extents (300 $a) and edition statements (250 $a, Open Library's
// edition_name) as Czech and foreign catalogues write them.
TEST(IsbnReaders, PagesAndEditionAsCataloguesWriteThem) {
    const struct {
        const char* text;
        const char* pages;
    } cases[] = {
        {"240 s. :", "240"},       {"xii, 358 stran :", "358"}, {"[96] s. ;", "96"}, {"320 p. :", "320"},
        {"2 sv. (480 s.)", "480"}, {"1 online zdroj", ""},      {"412", "412"},
    };
    for (const auto& c : cases) EXPECT_EQ(PagesOf(QString::fromUtf8(c.text)), QString::fromUtf8(c.pages)) << c.text;
    const struct {
        const char* text;
        const char* edition;
    } editions[] = {
        {"Vydání 3.", "3."},       {"Vyd. 1.", "1."}, {"3. vyd.", "3."},
        {"2nd ed.", "2."},         {"Ed. 2", "2."},   {"Vydání první", "Vydání první"},
        {"1. české vydání", "1."},
    };
    for (const auto& e : editions)
        EXPECT_EQ(EditionOf(QString::fromUtf8(e.text)), QString::fromUtf8(e.edition)) << e.text;
}

// Names and end punctuation as catalogues and Open Library write them.
TEST(IsbnReaders, NamesAndEndPunctuation) {
    const struct {
        const char* text;
        bool inverted;
        const char* name;
    } names[] = {
        {"Čapek, Karel,", true, "Čapek Karel"},
        {"Jirotka, Zdeněk, 1911-2003", true, "Jirotka Zdeněk"},
        {"King, Martin Luther,", true, "King Martin Luther"},
        {"Karel Čapek", false, "Čapek Karel"},
        {"Martin Luther King Jr.", false, "King Martin Luther Jr."},
        {"Tolkien, J. R. R.", true, "Tolkien J. R. R."},
    };
    for (const auto& n : names)
        EXPECT_EQ(CatalogueName(QString::fromUtf8(n.text), n.inverted), QString::fromUtf8(n.name)) << n.text;
    const struct {
        const char* text;
        const char* clean;
    } ends[] = {
        {"Krakatit /", "Krakatit"},
        {"1990.", "1990"},
        {"R.U.R.", "R.U.R."},
        {"Karel IV.", "Karel IV."},
        {"Šulc a spol.,", "Šulc a spol."},
        {"Smith, John, Jr.", "Smith, John, Jr."},
        {"Odeon,", "Odeon"},
        {"Vyprávění.", "Vyprávění"},
    };
    for (const auto& e : ends)
        EXPECT_EQ(WithoutEndPunctuation(QString::fromUtf8(e.text)), QString::fromUtf8(e.clean)) << e.text;
}

// Open Library's books API as it answers a query under both keys of a book:
// the same edition twice, the author inverted in one edition, a suffix in another.
TEST(IsbnReaders, OpenLibraryAnswersUnderBothKeysAreOneCandidate) {
    const QByteArray both = R"({
      "ISBN:9788071061311": {"url": "https://openlibrary.org/books/OL24274306M/Krakatit", "key": "/books/OL24274306M",
        "title": "Krakatit", "authors": [{"url": "https://openlibrary.org/authors/OL123A/Karel_Capek",
        "name": "Čapek, Karel"}], "number_of_pages": 320, "pagination": "320 s.",
        "identifiers": {"isbn_10": ["807106131X"], "isbn_13": ["9788071061311"], "openlibrary": ["OL24274306M"]},
        "publishers": [{"name": "Československý spisovatel"}], "publish_places": [{"name": "Praha"}],
        "publish_date": "1982", "subjects": [{"name": "Fiction", "url": "https://openlibrary.org/subjects/fiction"}]},
      "ISBN:807106131X": {"url": "https://openlibrary.org/books/OL24274306M/Krakatit", "key": "/books/OL24274306M",
        "title": "Krakatit", "authors": [{"url": "https://openlibrary.org/authors/OL123A/Karel_Capek",
        "name": "Čapek, Karel"}], "number_of_pages": 320,
        "identifiers": {"isbn_10": ["807106131X"], "isbn_13": ["9788071061311"]}, "publish_date": "1982"}})";
    const auto krakatit = ReadOpenLibrary(both);
    ASSERT_TRUE(krakatit);
    ASSERT_EQ(krakatit->size(), 1u);
    EXPECT_EQ(krakatit->front().autor, QStringLiteral("Čapek Karel"));
    EXPECT_EQ(krakatit->front().isbns, QStringList{QStringLiteral("9788071061311")});
    const auto king = ReadOpenLibrary(R"({"ISBN:9780060652906": {"key": "/books/OL7354069M",
        "title": "Strength to Love", "authors": [{"url": "https://openlibrary.org/authors/OL2625343A",
        "name": "Martin Luther King Jr."}], "identifiers": {"isbn_13": ["9780060652906"]}}})");
    ASSERT_TRUE(king && king->size() == 1u);
    EXPECT_EQ(king->front().autor, QStringLiteral("King Martin Luther Jr."));
}

TEST(IsbnReaders, MalformedInputIsRefusedNotGuessed) {
    EXPECT_FALSE(MarcToXml(""));
    EXPECT_FALSE(MarcToXml("this is no MARC record, not even its leader"));
    // YAZ reads what it can of a damaged record; no book comes of it.
    if (auto xml = MarcToXml("00042nam a2200000 a 4500 this is no MARC record")) {
        EXPECT_TRUE(ReadMarcXml(*xml)->empty());
    }
    // A damaged frame never reaches YAZ, which would read past its buffers.
    const std::string sound = SplitRecords(RecordedMarc()).front();
    ASSERT_TRUE(MarcToXml(sound));
    auto damaged = [&](size_t at, char c) {
        std::string r = sound;
        r[at] = c;
        return r;
    };
    EXPECT_FALSE(MarcToXml(damaged(11, '8')));     // subfield code length
    EXPECT_FALSE(MarcToXml(damaged(27, '\xD0')));  // directory entry's length
    EXPECT_FALSE(MarcToXml(damaged(4, '9')));      // record length
    EXPECT_FALSE(MarcToXml(sound.substr(0, sound.size() - 1)));
    EXPECT_FALSE(ReadMarcXml("<record><datafield tag=\"245\"><subfield code=\"a\">x"));
    EXPECT_TRUE(ReadMarcXml("<collection/>")->empty());
    EXPECT_FALSE(ReadOpenLibrary(R"({"ISBN:1": {"title": )"));
    EXPECT_FALSE(ReadOpenLibrary(R"({"ISBN:1": 5})"));
    EXPECT_FALSE(ReadOpenLibrary("[]"));
    EXPECT_TRUE(ReadOpenLibrary("{}")->empty());
    const auto ol = ReadOpenLibrary(OpenLibraryJson(QString::fromLatin1(kOnlyOpenLibrary)));
    ASSERT_TRUE(ol && ol->size() == 1);
    EXPECT_EQ(ol->front().autor, QStringLiteral("Jirotka Zdeněk"));
    EXPECT_EQ(ol->front().titul, QStringLiteral("Saturnin román"));
    EXPECT_EQ(ol->front().vydal, QStringLiteral("Atlantis"));
    EXPECT_EQ(ol->front().zanr, QStringLiteral("Humor"));
    EXPECT_EQ(ol->front().page, QStringLiteral("https://openlibrary.org/books/OL1M/Saturnin"));
}

TEST(IsbnSources, SettingParsed) {
    const IsbnSourceList d = ParseIsbnSources(kDefaultIsbnSources);
    ASSERT_EQ(d.sources.size(), 2u);
    EXPECT_EQ(d.sources[0].kind, IsbnSource::Kind::Z3950);
    EXPECT_EQ(d.sources[1].kind, IsbnSource::Kind::OpenLibrary);
    // The source column names the catalogue, not only its server.
    const IsbnSourceList named = ParseIsbnSources(
        "z3950=aleph.nkp.cz:9991/SKC-UTF;sru=https://aleph.nkp.cz/sru/SKC/;z3950=z3950.loc.gov:7090/Voyager;"
        "sru=http://127.0.0.1:8080;openlibrary=https://openlibrary.org/");
    ASSERT_EQ(named.sources.size(), 5u);
    EXPECT_EQ(named.sources[0].Name(), QStringLiteral("aleph.nkp.cz/SKC-UTF"));
    EXPECT_EQ(named.sources[1].Name(), QStringLiteral("aleph.nkp.cz/sru/SKC"));
    EXPECT_EQ(named.sources[2].Name(), QStringLiteral("z3950.loc.gov/Voyager"));
    EXPECT_EQ(named.sources[3].Name(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(named.sources[4].Name(), QStringLiteral("Open Library"));
    EXPECT_TRUE(ParseIsbnSources("").sources.empty());
    const IsbnSourceList bad = ParseIsbnSources("gopher=x; z3950=host/db ;sru=ftp://a/b; sru=http://h:1/db");
    EXPECT_EQ(bad.sources.size(), 1u);
    EXPECT_EQ(bad.faults.size(), 3);
}

class IsbnLookupTest : public ::testing::Test {
protected:
    // Runs the look-ups of `isbns` over `sources` and returns the results by ISBN, in finishing order.
    std::vector<std::pair<QString, LookupResult>> Run(const std::string& sources, const QStringList& isbns,
                                                      int timeoutMs = 5000) {
        IsbnLookup lookup(ParseIsbnSources(sources).sources);
        lookup.SetTimeout(timeoutMs);
        std::map<int, QString> tickets;
        std::vector<std::pair<QString, LookupResult>> done;
        QObject::connect(&lookup, &IsbnLookup::Finished,
                         [&](int t, const LookupResult& r) { done.emplace_back(tickets[t], r); });
        for (const QString& i : isbns) tickets[lookup.Start(i)] = i;
        QElapsedTimer clock;
        clock.start();
        while (done.size() < static_cast<size_t>(isbns.size()) && clock.elapsed() < 20000) QTest::qWait(20);
        EXPECT_EQ(lookup.Pending(), 0);
        return done;
    }
    testsupport::TempDir dir;
    MarcServer marc{QString::fromStdString(dir.path().string())};
    OpenLibraryServer ol;
};

TEST_F(IsbnLookupTest, SourcesAskedInOrderTheFirstFinderLeads) {
    ASSERT_TRUE(marc.Running());
    const std::string sources = "z3950=" + marc.Z3950("Test").toStdString() + ";openlibrary=" + ol.Url().toStdString();
    const auto done = Run(sources, {kKrakatit, kBabicka, kOnlyOpenLibrary, kNowhere});
    ASSERT_EQ(done.size(), 4u);
    for (const auto& [isbn, r] : done) {
        if (isbn == kNowhere) {
            EXPECT_EQ(r.state, LookupResult::State::NotFound);
            continue;
        }
        ASSERT_EQ(r.state, LookupResult::State::Found) << isbn.toStdString() << " " << r.note.toStdString();
        const FoundRecord& f = r.candidates.front();
        // Krakatit from the first source, not "(OL)"; Babička by its ISBN-10.
        const QString expected = isbn == kKrakatit  ? QStringLiteral("Krakatit")
                                 : isbn == kBabicka ? QStringLiteral("Babička : obrazy venkovského života")
                                                    : QStringLiteral("Saturnin román");
        EXPECT_EQ(f.titul, expected);
    }
    // Nothing but the ISBN went to Open Library.
    for (const QString& line : ol.requests)
        EXPECT_TRUE(line.startsWith(QStringLiteral("GET /api/books?bibkeys=ISBN:"))) << line.toStdString();
}

TEST_F(IsbnLookupTest, SruServesMarcXml) {
    const auto done = Run("sru=" + marc.Sru("Test").toStdString(), {kBabicka, kNowhere});
    ASSERT_EQ(done.size(), 2u);
    for (const auto& [isbn, r] : done) {
        if (isbn == kNowhere) {
            EXPECT_EQ(r.state, LookupResult::State::NotFound) << r.note.toStdString();
        } else {
            ASSERT_EQ(r.state, LookupResult::State::Found) << r.note.toStdString();
            EXPECT_EQ(r.candidates.front().titul, QStringLiteral("Babička : obrazy venkovského života"));
        }
    }
}

TEST_F(IsbnLookupTest, SlowSourceTimesOutWhileTheQueueGoesOn) {
    const std::string slow = "z3950=" + marc.Z3950("Slow").toStdString();
    const std::string fast = "openlibrary=" + ol.Url().toStdString();
    IsbnLookup lookup(ParseIsbnSources(slow + ";" + fast).sources);
    lookup.SetTimeout(1000);
    IsbnLookup other(ParseIsbnSources(fast).sources);
    std::vector<int> order;
    QObject::connect(&lookup, &IsbnLookup::Finished, [&](int, const LookupResult& r) {
        order.push_back(1);
        // The slow source timed out and the second source was asked.
        EXPECT_EQ(r.state, LookupResult::State::Found);
    });
    QObject::connect(&other, &IsbnLookup::Finished, [&](int, const LookupResult&) { order.push_back(2); });
    QElapsedTimer clock;
    clock.start();
    lookup.Start(kOnlyOpenLibrary);
    other.Start(kOnlyOpenLibrary);
    while (order.size() < 2 && clock.elapsed() < 15000) QTest::qWait(20);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    EXPECT_LT(clock.elapsed(), 8000);

    // Slow alone: a network error that says the server did not answer in time.
    const auto done = Run(slow, {kKrakatit}, 1000);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].second.state, LookupResult::State::NetworkError);
    EXPECT_TRUE(done[0].second.note.contains(QStringLiteral("včas"))) << done[0].second.note.toStdString();
    const auto http = Run("openlibrary=" + ol.Url("/slow/").toStdString(), {kKrakatit}, 1000);
    ASSERT_EQ(http.size(), 1u);
    EXPECT_EQ(http[0].second.state, LookupResult::State::NetworkError);
}

TEST_F(IsbnLookupTest, MalformedAnswersAndRefusedConnectionsAreSaidInTheRow) {
    const auto missing = Run("z3950=" + marc.Z3950("Missing").toStdString(), {kKrakatit});
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_TRUE(missing[0].second.details.contains(QStringLiteral("Missing")))
        << missing[0].second.details.toStdString();
    const std::string refused = "z3950=127.0.0.1:" + std::to_string(FreePort()) + "/Test";
    const struct {
        std::string sources;
        LookupResult::State state;
        const char* note;
    } cases[] = {
        {"z3950=" + marc.Z3950("Broken").toStdString(), LookupResult::State::BadAnswer, "vadný záznam"},
        {"openlibrary=" + ol.Url("/broken/").toStdString(), LookupResult::State::BadAnswer, "JSON"},
        {"openlibrary=" + ol.Url("/error/").toStdString(), LookupResult::State::BadAnswer, "HTTP 500"},
        // The server's English stays behind "Podrobnosti"; the row says it in Czech.
        {"z3950=" + marc.Z3950("Missing").toStdString(), LookupResult::State::BadAnswer,
         "databáze na serveru není dostupná"},
        {refused, LookupResult::State::NetworkError, "nelze se spojit"},
        {"openlibrary=http://127.0.0.1:" + std::to_string(FreePort()), LookupResult::State::NetworkError,
         "nelze se spojit"},
    };
    for (const auto& c : cases) {
        const auto done = Run(c.sources, {kKrakatit});
        ASSERT_EQ(done.size(), 1u) << c.sources;
        EXPECT_EQ(done[0].second.state, c.state) << c.sources;
        EXPECT_TRUE(done[0].second.note.contains(QString::fromUtf8(c.note)))
            << c.sources << ": " << done[0].second.note.toStdString();
        // Every word the row shows is Czech: nothing of the engines' or servers' English.
        for (const char* english : {"Database", "database", "error", "Error", "not", "exist"})
            EXPECT_FALSE(done[0].second.note.contains(QLatin1String(english))) << done[0].second.note.toStdString();
    }
}

TEST_F(IsbnLookupTest, CancelledLookupsReportNothing) {
    IsbnLookup lookup(
        ParseIsbnSources("z3950=" + marc.Z3950("Slow").toStdString() + ";openlibrary=" + ol.Url("/slow/").toStdString())
            .sources);
    QSignalSpy finished(&lookup, &IsbnLookup::Finished);
    for (int i = 0; i < 5; ++i) lookup.Start(kKrakatit);
    EXPECT_EQ(lookup.Pending(), 5);
    lookup.CancelAll();
    EXPECT_EQ(lookup.Pending(), 0);
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 0);
}

}  // namespace
