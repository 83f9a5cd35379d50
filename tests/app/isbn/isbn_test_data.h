#pragma once
// Recorded answers for the ISBN look-up tests: MARC 21 records in ISO 2709
// (UTF-8 and MARC-8, several 020 fields, records without 100), Open Library
// JSON, and the local servers that serve them.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace isbntest {

// One data field: tag, indicators and subfields as (code, bytes).
struct MarcField {
    std::string tag;
    std::vector<std::pair<char, std::string>> subfields;
};

// An ISO 2709 record; `utf8` sets leader position 9.
inline std::string MarcRecord(const std::vector<MarcField>& fields, bool utf8) {
    std::string directory, data;
    for (const MarcField& f : fields) {
        std::string body = "  ";
        for (const auto& [code, text] : f.subfields) body += std::string("\x1F") + code + text;
        body += '\x1E';
        char entry[13];
        std::snprintf(entry, sizeof entry, "%3s%04zu%05zu", f.tag.c_str(), body.size(), data.size());
        directory += entry;
        data += body;
    }
    directory += '\x1E';
    const size_t base = 24 + directory.size();
    const size_t length = base + data.size() + 1;
    char leader[25];
    std::snprintf(leader, sizeof leader, "%05zunam %c22%05zu a 4500", length, utf8 ? 'a' : ' ', base);
    return std::string(leader) + directory + data + '\x1D';
}

// Krakatit in UTF-8, its ISBN-13 and ISBN-10 in two 020 fields.
inline const char* const kKrakatit = "9788071061311";
// Babička in MARC-8 (accents as combining marks before their letter), found by its ISBN-10.
inline const char* const kBabicka = "9780306406157";
// A record without 100: a corporate author in 110.
inline const char* const kMuzeum = "9788070360019";
// A record without 100 and 110: the author from 700.
inline const char* const kVlaky = "9788000007779";
// In the national-library records of data/isbn (made by yaz-marcdump from nkp.xml):
// "Pán prstenů. Díl 2, Dvě věže", two 264s, served in MARC-8.
inline const char* const kDveVeze = "9788025708910";
// Found by the national library and by Open Library: the library's record
// lacks series, genre and edition, Open Library has them.
inline const char* const kBobriReka = "9788070331019";
// Both find it; Open Library writes the title and names without accents.
inline const char* const kMloci = "9788020031235";
// Both find it; publisher and year really differ.
inline const char* const kKosik = "9788071854562";
// Found only by Open Library.
inline const char* const kOnlyOpenLibrary = "9788071452225";
// Found nowhere.
inline const char* const kNowhere = "9788071453338";

inline std::string RecordedMarc() {
    return MarcRecord({{"020", {{'a', "978-80-7106-131-1 (váz.)"}}},
                       {"020", {{'a', "80-7106-131-X"}, {'q', "brož."}}},
                       {"100", {{'a', "Čapek, Karel,"}, {'d', "1890-1938"}}},
                       {"245", {{'a', "Krakatit /"}, {'c', "Karel Čapek ;"}}},
                       {"260", {{'a', "Praha :"}, {'b', "Československý spisovatel,"}, {'c', "1982."}}},
                       {"490", {{'a', "Spisy ;"}, {'v', "sv. 7"}}},
                       {"655", {{'a', "romány"}}}},
                      true) +
           MarcRecord({{"020", {{'a', "0306406152"}}},
                       {"100",
                        {{'a',
                          "N\xE9"
                          "emcov\xE2"
                          "a, Bo\xE9"
                          "zena"}}},
                       {"245",
                        {{'a',
                          "Babi\xE9"
                          "cka :"},
                         {'b',
                          "obrazy venkovsk\xE2"
                          "eho \xE9"
                          "zivota /"}}},
                       {"264", {{'b', "Albatros,"}, {'c', "[2005]"}}}},
                      false) +
           MarcRecord({{"020", {{'a', "978-80-7036-001-9"}}},
                       {"110", {{'a', "Národní muzeum."}}},
                       {"245", {{'a', "Průvodce sbírkami"}}}},
                      true) +
           MarcRecord({{"020", {{'a', "978-80-00-00777-9"}}},
                       {"245", {{'a', "Ostře sledované vlaky"}}},
                       {"700", {{'a', "Hrabal, Bohumil,"}, {'d', "1914-1997"}}}},
                      true);
}

// Books Open Library finds too, as a national library catalogues them.
inline std::string BothSourcesMarc() {
    return MarcRecord({{"020", {{'a', "978-80-7033-101-9"}, {'q', "(vázáno)"}}},
                       {"040", {{'a', "ABA001"}, {'b', "cze"}, {'e', "rda"}}},
                       {"100", {{'a', "Foglar, Jaroslav,"}, {'d', "1907-1999"}, {'7', "jk01031256"}, {'4', "aut"}}},
                       {"245", {{'a', "Hoši od Bobří řeky /"}, {'c', "Jaroslav Foglar ; ilustrace Marko Čermák"}}},
                       {"264", {{'a', "Praha :"}, {'b', "Olympia,"}, {'c', "2007"}}},
                       {"300", {{'a', "187 stran :"}, {'b', "ilustrace ;"}, {'c', "21 cm"}}}},
                      true) +
           MarcRecord({{"020", {{'a', "80-200-3123-5"}}},
                       {"100", {{'a', "Čapek, Karel,"}, {'d', "1890-1938"}, {'4', "aut"}}},
                       {"245", {{'a', "Válka s mloky /"}, {'c', "Karel Čapek ; [doslov Miroslav Halík]"}}},
                       {"250", {{'a', "1. vydání v tomto souboru."}}},
                       {"260", {{'a', "Praha :"}, {'b', "Československý spisovatel,"}, {'c', "1981."}}},
                       {"300", {{'a', "300 s. ;"}, {'c', "21 cm"}}},
                       {"490", {{'a', "Spisy / Karel Čapek ;"}, {'v', "sv. 9"}}},
                       {"655", {{'a', "české romány"}, {'2', "czenas"}}}},
                      true) +
           MarcRecord({{"020", {{'a', "978-80-7185-456-2"}, {'q', "(brožováno)"}}},
                       {"100", {{'a', "Kosík, Karel,"}, {'d', "1926-2003"}, {'4', "aut"}}},
                       {"245",
                        {{'a', "Dialektika konkrétního :"},
                         {'b', "studie o problematice člověka a světa /"},
                         {'c', "Karel Kosík"}}},
                       {"250", {{'a', "Vydání 4."}}},
                       {"264", {{'a', "Praha :"}, {'b', "Filosofia,"}, {'c', "2005"}}}},
                      true);
}

inline QByteArray OpenLibraryJson(const QString& isbn) {
    if (isbn == QLatin1String(kOnlyOpenLibrary))
        return R"({"ISBN:9788071452225": {"title": "Saturnin", "subtitle": "román",
            "authors": [{"name": "Zdeněk Jirotka"}], "publishers": [{"name": "Atlantis"}],
            "publish_date": "1998", "subjects": [{"name": "Humor"}],
            "number_of_pages": 240, "edition_name": "3. vyd.",
            "url": "https://openlibrary.org/books/OL1M/Saturnin",
            "identifiers": {"isbn_13": ["9788071452225"]}}})";
    // Shaped as the books API answers with jscmd=data: names as objects, subjects with their pages.
    if (isbn == QLatin1String(kBobriReka))
        return R"({"ISBN:9788070331019": {"url": "https://openlibrary.org/books/OL24231876M/Hoši_od_Bobří_řeky",
            "key": "/books/OL24231876M", "title": "Hoši od Bobří řeky",
            "authors": [{"url": "https://openlibrary.org/authors/OL1421052A/Jaroslav_Foglar", "name": "Jaroslav Foglar"}],
            "identifiers": {"isbn_13": ["9788070331019"], "openlibrary": ["OL24231876M"]},
            "publishers": [{"name": "Olympia"}], "publish_places": [{"name": "Praha"}], "publish_date": "2007",
            "number_of_pages": 187, "edition_name": "8. vyd.", "series": ["Foglarovky"],
            "subjects": [{"name": "Juvenile fiction", "url": "https://openlibrary.org/subjects/juvenile_fiction"},
                         {"name": "Boy Scouts", "url": "https://openlibrary.org/subjects/boy_scouts"}]}})";
    if (isbn == QLatin1String(kMloci))
        return R"({"ISBN:9788020031235": {"key": "/books/OL3982312M", "title": "Valka s mloky.",
            "authors": [{"name": "Karel Capek"}], "publishers": [{"name": "Ceskoslovensky spisovatel"}],
            "publish_date": "1981", "identifiers": {"isbn_10": ["8020031235"]}}})";
    if (isbn == QLatin1String(kKosik))
        return R"({"ISBN:9788071854562": {"key": "/books/OL9876543M", "title": "Dialektika konkrétního",
            "subtitle": "studie o problematice člověka a světa", "authors": [{"name": "Karel Kosík"}],
            "publishers": [{"name": "Academia"}], "publish_date": "1966", "number_of_pages": 190,
            "identifiers": {"isbn_13": ["9788071854562"]}}})";
    if (isbn == QLatin1String(kDveVeze))
        return R"({"ISBN:9788025708910": {"key": "/books/OL26377825M", "title": "Dvě věže",
            "authors": [{"name": "J.R.R. Tolkien"}], "publishers": [{"name": "Argo"}], "publish_date": "2013"}})";
    if (isbn == QLatin1String(kKrakatit))
        return R"j({"ISBN:9788071061311": {"title": "Krakatit (OL)", "authors": [{"name": "Karel Capek"}]}})j";
    return "{}";
}

// A local HTTP server answering as the Open Library books API. Path
// "/broken" answers malformed JSON, "/slow" never answers, "/error" a 500,
// "/late" answers after `lateMs`.
class OpenLibraryServer {
public:
    // On `port`, or on any free one.
    explicit OpenLibraryServer(quint16 port = 0) {
        server_.listen(QHostAddress::LocalHost, port);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { Serve(s); });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString Url(const char* path = "") const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1String(path));
    }
    // The request lines received, in order.
    QStringList requests;
    int lateMs = 400;

private:
    void Serve(QTcpSocket* s) {
        buffers_[s] += s->readAll();
        if (!buffers_[s].contains("\r\n\r\n")) return;
        const QByteArray line = buffers_[s].left(buffers_[s].indexOf("\r\n"));
        buffers_.erase(s);
        requests.append(QString::fromLatin1(line));
        QByteArray body;
        QByteArray status = "200 OK";
        if (line.contains(" /slow/")) return;
        if (line.contains(" /broken/")) {
            body = R"({"ISBN:1": {"title": )";
        } else if (line.contains(" /error/")) {
            status = "500 Internal Server Error";
            body = "oops";
        } else {
            const qsizetype at = line.indexOf("ISBN:");
            body = OpenLibraryJson(QString::fromLatin1(line.mid(at + 5, 13)));
        }
        const QByteArray answer = "HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        const auto send = [s, answer] {
            s->write(answer);
            s->disconnectFromHost();
        };
        if (line.contains(" /late/"))
            QTimer::singleShot(lateMs, s, send);
        else
            send();
    }
    QTcpServer server_;
    std::map<QTcpSocket*, QByteArray> buffers_;
};

// A free local port (taken and given back at once).
inline quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A file of data/isbn, as its bytes.
inline std::string Fixture(const char* name) {
    QFile f(QStringLiteral(SVAZKOVNA_TEST_DATA "/isbn/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    return bytes.toStdString();
}

// The Z39.50/SRU test server (built beside the tests) serving the recorded MARC records.
class MarcServer {
public:
    explicit MarcServer(const QString& dir) : port_(FreePort()) {
        const QString records = dir + QStringLiteral("/records.mrc");
        QFile f(records);
        f.open(QIODevice::WriteOnly);
        const std::string bytes = RecordedMarc() + BothSourcesMarc() + Fixture("nkp-marc8.mrc");
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        f.close();
        process_.start(QCoreApplication::applicationDirPath() + QStringLiteral("/isbn_test_server"),
                       {QString::number(port_), records});
        process_.waitForStarted();
        // Ready once it takes connections.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port_);
            if (probe.waitForConnected(200)) break;
            QThread::msleep(50);
        }
    }
    ~MarcServer() {
        process_.kill();
        process_.waitForFinished();
    }
    QString Z3950(const char* database) const {
        return QStringLiteral("127.0.0.1:%1/%2").arg(port_).arg(QLatin1String(database));
    }
    QString Sru(const char* database) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(port_).arg(QLatin1String(database));
    }
    bool Running() const { return process_.state() == QProcess::Running; }

private:
    quint16 port_;
    QProcess process_;
};

}  // namespace isbntest
