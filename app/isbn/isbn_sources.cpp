// Parsing the "zdrojeisbn" setting.
#include "app/isbn/isbn_sources.h"

#include <QUrl>

#include "app/core/codepage.h"
#include "app/core/profile_file.h"

QString IsbnSource::Name() const {
    switch (kind) {
    case Kind::Z3950:
        // One server holds several catalogues: "aleph.nkp.cz/SKC-UTF", the port left out.
        return address.section(u'/', 0, 0).section(u':', 0, 0) + u'/' + address.section(u'/', 1);
    case Kind::Sru: {
        const QUrl url(address);
        QString path = url.path();
        while (path.endsWith(u'/')) path.chop(1);
        return url.host().isEmpty() ? address : url.host() + path;
    }
    case Kind::OpenLibrary: break;
    }
    return QStringLiteral("Open Library");
}

IsbnSourceList ParseIsbnSources(const std::string& value) {
    IsbnSourceList list;
    for (const QString& raw : FromCodePage(value).split(u';', Qt::SkipEmptyParts)) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty()) continue;
        const qsizetype eq = entry.indexOf(u'=');
        const QString kind = eq < 0 ? entry : entry.left(eq).trimmed().toLower();
        const QString address = eq < 0 ? QString() : entry.mid(eq + 1).trimmed();
        IsbnSource s;
        s.address = address;
        bool ok = !address.isEmpty();
        if (kind == u"z3950") {
            s.kind = IsbnSource::Kind::Z3950;
            // HOST:PORT/DATABASE, all three present.
            const QString hostPort = address.section(u'/', 0, 0);
            ok = ok && hostPort.contains(u':') && !address.section(u'/', 1).isEmpty();
        } else if (kind == u"sru" || kind == u"openlibrary") {
            s.kind = kind == u"sru" ? IsbnSource::Kind::Sru : IsbnSource::Kind::OpenLibrary;
            const QUrl url(address);
            ok = ok && url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty();
        } else {
            list.faults.append(QStringLiteral("neznámý druh zdroje „%1“").arg(entry));
            continue;
        }
        if (ok)
            list.sources.push_back(s);
        else
            list.faults.append(QStringLiteral("neplatná adresa zdroje „%1“").arg(entry));
    }
    return list;
}

IsbnSourceList ReadIsbnSources(const QString& settingsPath) {
    return ParseIsbnSources(ProfileFile(settingsPath).ReadString("nastaveni", kIsbnSourcesKey, kDefaultIsbnSources));
}
