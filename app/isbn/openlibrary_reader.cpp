// Open Library's JSON: title (+ subtitle), authors, publishers, publish_date, subjects, series, ISBNs.
#include "app/isbn/openlibrary_reader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <set>

#include "catalogue/isbn.h"

namespace {

// The "name" of the first entry of an array of objects (or of plain strings).
QString FirstName(const QJsonValue& value) {
    const QJsonArray list = value.toArray();
    if (list.isEmpty()) return {};
    const QJsonValue first = list.first();
    return first.isObject() ? first.toObject().value(u"name").toString() : first.toString();
}

FoundRecord Convert(const QJsonObject& book) {
    FoundRecord r;
    r.titul = book.value(u"title").toString().trimmed();
    const QString subtitle = book.value(u"subtitle").toString().trimmed();
    if (!subtitle.isEmpty()) r.titul += u' ' + subtitle;
    // Some editions carry the name already inverted ("Čapek, Karel"): turned once only.
    const QString author = FirstName(book.value(u"authors"));
    r.autor = CatalogueName(author, author.contains(u','));
    r.vydal = FirstName(book.value(u"publishers")).trimmed();
    r.rok = book.value(u"publish_date").toString().trimmed();
    const QJsonValue pages = book.value(u"number_of_pages");
    r.stran = pages.isDouble() ? QString::number(pages.toInteger()) : PagesOf(pages.toString());
    r.vydani = EditionOf(book.value(u"edition_name").toString());
    r.zanr = FirstName(book.value(u"subjects")).trimmed();
    // An edition's series, where the record names one: a list of plain strings.
    r.serie = WithoutEndPunctuation(FirstName(book.value(u"series")));
    r.page = book.value(u"url").toString();
    const QJsonObject ids = book.value(u"identifiers").toObject();
    for (const char* key : {"isbn_13", "isbn_10"})
        for (const QJsonValue& v : ids.value(QLatin1String(key)).toArray())
            if (auto n = isbn::Normalize(v.toString().toStdString());
                n && !r.isbns.contains(QString::fromStdString(*n)))
                r.isbns.append(QString::fromStdString(*n));
    return r;
}

}  // namespace

std::optional<std::vector<FoundRecord>> ReadOpenLibrary(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    std::vector<FoundRecord> records;
    const QJsonObject all = doc.object();
    std::set<QString> keys;
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (!it.value().isObject()) return std::nullopt;
        const QJsonObject book = it.value().toObject();
        // Asked under the ISBN-13 and the ISBN-10, the same edition comes back under both keys.
        const QString key = book.value(u"key").toString();
        if (!key.isEmpty() && !keys.insert(key).second) continue;
        FoundRecord r = Convert(book);
        if (r.titul.isEmpty() || std::find(records.begin(), records.end(), r) != records.end()) continue;
        records.push_back(std::move(r));
    }
    return records;
}
