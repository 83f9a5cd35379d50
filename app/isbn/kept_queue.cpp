// The kept queue's file: one JSON object with the rows, written through a
// temporary file so a failed write leaves the previous queue whole.
#include "app/isbn/kept_queue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

const QLatin1String kRows("radky");

KeptQueueError Failure(const QString& what, const QString& file, const QString& why) {
    return KeptQueueError((what + QStringLiteral(" „") + file + QStringLiteral("“: ") + why).toStdString());
}

}  // namespace

QString KeptQueuePath(const std::string& cataloguePath) {
    return QString::fromStdString(cataloguePath) + QStringLiteral(".fronta");
}

std::vector<KeptRow> ReadKeptQueue(const QString& file) {
    QFile f(file);
    if (!f.exists()) return {};
    const QString what = QStringLiteral("Uschovanou frontu nelze přečíst ze souboru");
    if (!f.open(QIODevice::ReadOnly)) throw Failure(what, file, QStringLiteral("soubor nelze otevřít"));
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    if (!doc.isObject() || !doc.object().value(kRows).isArray())
        throw Failure(what, file, QStringLiteral("soubor je poškozený"));
    std::vector<KeptRow> rows;
    for (const QJsonValue& v : doc.object().value(kRows).toArray()) {
        const QJsonObject o = v.toObject();
        KeptRow r;
        r.isbn = o.value(QLatin1String("isbn")).toString();
        if (r.isbn.isEmpty()) continue;
        for (const QJsonValue& cell : o.value(QLatin1String("bunky")).toArray()) r.cells.append(cell.toString());
        r.found = o.value(QLatin1String("nalezeno")).toBool();
        r.ticked = o.value(QLatin1String("zaskrtnuto")).toBool();
        r.userTicked = o.value(QLatin1String("zaskrtl_uzivatel")).toBool();
        for (const QJsonValue& c : o.value(QLatin1String("upraveno")).toArray()) r.edited.insert(c.toInt());
        r.stran = o.value(QLatin1String("stran")).toString();
        r.vydani = o.value(QLatin1String("vydani")).toString();
        rows.push_back(std::move(r));
    }
    return rows;
}

void WriteKeptQueue(const QString& file, const std::vector<KeptRow>& rows) {
    const QString what = QStringLiteral("Frontu nelze uschovat do souboru");
    if (rows.empty()) {
        if (QFile::exists(file) && !QFile::remove(file))
            throw Failure(QStringLiteral("Nelze smazat uschovanou frontu"), file,
                          QStringLiteral("soubor nelze smazat"));
        return;
    }
    QJsonArray list;
    for (const KeptRow& r : rows) {
        QJsonObject o;
        o.insert(QLatin1String("isbn"), r.isbn);
        o.insert(QLatin1String("bunky"), QJsonArray::fromStringList(r.cells));
        o.insert(QLatin1String("nalezeno"), r.found);
        o.insert(QLatin1String("zaskrtnuto"), r.ticked);
        o.insert(QLatin1String("zaskrtl_uzivatel"), r.userTicked);
        QJsonArray edited;
        for (const int c : r.edited) edited.append(c);
        o.insert(QLatin1String("upraveno"), edited);
        o.insert(QLatin1String("stran"), r.stran);
        o.insert(QLatin1String("vydani"), r.vydani);
        list.append(o);
    }
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly)) throw Failure(what, file, QStringLiteral("soubor nelze vytvořit"));
    f.write(QJsonDocument(QJsonObject{{kRows, list}}).toJson());
    if (!f.commit()) throw Failure(what, file, QStringLiteral("zápis se nezdařil"));
}
