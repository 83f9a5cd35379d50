// Z39.50 (MARC 21 in ISO 2709) and SRU (MARCXML) searches by ISBN through ZOOM.
#include "app/isbn/zoom_search.h"

#include <yaz/zoom.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/isbn/marc_reader.h"
#include "catalogue/isbn.h"

namespace {

using Options = std::unique_ptr<ZOOM_options_p, void (*)(ZOOM_options)>;
using Connection = std::unique_ptr<ZOOM_connection_p, void (*)(ZOOM_connection)>;
using ResultSet = std::unique_ptr<ZOOM_resultset_p, void (*)(ZOOM_resultset)>;
using Query = std::unique_ptr<ZOOM_query_p, void (*)(ZOOM_query)>;

// The connection's error as the queue says it, or nothing without one.
std::optional<SourceAnswer> Failure(ZOOM_connection c) {
    const char* message = nullptr;
    const char* addinfo = nullptr;
    const int code = ZOOM_connection_error(c, &message, &addinfo);
    if (code == 0) return std::nullopt;
    SourceAnswer a;
    switch (code) {
    case ZOOM_ERROR_CONNECT:
    case ZOOM_ERROR_CONNECTION_LOST:
        a.kind = SourceAnswer::Kind::NetworkError;
        a.note = QStringLiteral("nelze se spojit se serverem");
        break;
    case ZOOM_ERROR_TIMEOUT:
        a.kind = SourceAnswer::Kind::NetworkError;
        a.note = QStringLiteral("server neodpověděl včas");
        a.timedOut = true;
        break;
    default:
        a.kind = SourceAnswer::Kind::BadAnswer;
        // The server's own words are English; the queue says it in Czech and keeps them as details.
        if (code == 109 || code == 235 || code == 236)
            a.note = QStringLiteral("databáze na serveru není dostupná");
        else if (code >= 113 && code <= 124)
            a.note = QStringLiteral("server neumí hledat podle ISBN");
        else
            a.note = QStringLiteral("server ohlásil chybu č. %1").arg(code);
        a.details = QString::fromUtf8(message ? message : "");
        if (addinfo && *addinfo) a.details += QStringLiteral(" (%1)").arg(QString::fromUtf8(addinfo));
    }
    return a;
}

}  // namespace

SourceAnswer ZoomSearch(const IsbnSource& source, const QString& isbn13, int timeoutMs) {
    const std::string thirteen = isbn13.toStdString();
    const std::optional<std::string> ten = isbn::To10(thirteen);
    const bool sru = source.kind == IsbnSource::Kind::Sru;

    Options options(ZOOM_options_create(), ZOOM_options_destroy);
    // ZOOM counts the timeout in whole seconds.
    ZOOM_options_set(options.get(), "timeout", std::to_string(std::max(1, (timeoutMs + 999) / 1000)).c_str());
    std::string host;
    if (sru) {
        ZOOM_options_set(options.get(), "sru", "get");
        ZOOM_options_set(options.get(), "schema", "marcxml");
        ZOOM_options_set(options.get(), "preferredRecordSyntax", "xml");
        // Proxy settings of the environment, as the system's other HTTP clients take them.
        if (const char* proxy = std::getenv("http_proxy"); proxy && *proxy)
            ZOOM_options_set(options.get(), "proxy", proxy);
        host = source.address.toStdString();
    } else {
        ZOOM_options_set(options.get(), "preferredRecordSyntax", "usmarc");
        ZOOM_options_set(options.get(), "databaseName", source.address.section(u'/', 1).toStdString().c_str());
        host = source.address.section(u'/', 0, 0).toStdString();
    }
    ZOOM_options_set(options.get(), "count", std::to_string(kMaxRecordsPerAnswer).c_str());

    Connection c(ZOOM_connection_create(options.get()), ZOOM_connection_destroy);
    ZOOM_connection_connect(c.get(), host.c_str(), 0);
    if (auto failure = Failure(c.get())) return *failure;

    Query query(ZOOM_query_create(), ZOOM_query_destroy);
    if (sru) {
        std::string cql = "bath.isbn=" + thirteen;
        if (ten) cql += " or bath.isbn=" + *ten;
        ZOOM_query_cql(query.get(), cql.c_str());
    } else {
        std::string pqf = "@attr 1=7 " + thirteen;
        if (ten) pqf = "@or " + pqf + " @attr 1=7 " + *ten;
        ZOOM_query_prefix(query.get(), pqf.c_str());
    }
    ResultSet results(ZOOM_connection_search(c.get(), query.get()), ZOOM_resultset_destroy);
    if (auto failure = Failure(c.get())) return *failure;

    SourceAnswer answer;
    const size_t hits = std::min<size_t>(ZOOM_resultset_size(results.get()), kMaxRecordsPerAnswer);
    for (size_t i = 0; i < hits; ++i) {
        ZOOM_record record = ZOOM_resultset_record(results.get(), i);
        if (auto failure = Failure(c.get())) return *failure;
        if (!record) continue;
        int length = 0;
        std::optional<QByteArray> xml;
        if (sru) {
            const char* bytes = ZOOM_record_get(record, "xml", &length);
            if (bytes && length > 0) xml = QByteArray(bytes, length);
        } else {
            const char* bytes = ZOOM_record_get(record, "raw", &length);
            if (bytes && length > 0) xml = MarcToXml(std::string_view(bytes, static_cast<size_t>(length)));
        }
        std::optional<std::vector<FoundRecord>> read;
        if (xml) read = ReadMarcXml(*xml);
        // A hit that gives no book with a title is no usable record either.
        if (!read || read->empty()) {
            answer.kind = SourceAnswer::Kind::BadAnswer;
            answer.note = QStringLiteral("vadný záznam MARC");
            continue;
        }
        for (FoundRecord& r : *read) {
            r.source = source.Name();
            answer.records.push_back(std::move(r));
        }
    }
    if (!answer.records.empty()) {
        answer.kind = SourceAnswer::Kind::Found;
        answer.note.clear();
    }
    return answer;
}
