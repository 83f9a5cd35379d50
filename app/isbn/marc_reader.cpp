// MARC 21 fields to the catalogue's: author, title, publisher, year, series, genre, ISBN.
#include "app/isbn/marc_reader.h"

#include <yaz/marcdisp.h>
#include <yaz/yaz-iconv.h>

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <cctype>
#include <map>
#include <memory>
#include <type_traits>

#include "catalogue/isbn.h"

namespace {

std::optional<size_t> Digits(std::string_view text, size_t at, size_t count) {
    size_t n = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        n = n * 10 + static_cast<size_t>(text[i] - '0');
    }
    return n;
}

// YAZ believes the leader and the directory, and a damaged one makes it read
// past its own buffers; so only a record whose frame holds together (MARC 21's
// fixed leader values, every directory entry inside the record, each field
// ending where the directory says) is handed over.
bool SoundFrame(std::string_view r) {
    constexpr char kFieldEnd = '\x1E', kRecordEnd = '\x1D';
    if (r.size() < 26 || r.size() > 99999 || r.back() != kRecordEnd) return false;
    const std::optional<size_t> length = Digits(r, 0, 5), base = Digits(r, 12, 5);
    if (length != r.size() || !base || r[10] != '2' || r[11] != '2' || r.substr(20, 4) != "4500") return false;
    if (*base < 25 || *base >= r.size() || (*base - 25) % 12 != 0 || r[*base - 1] != kFieldEnd) return false;
    for (size_t entry = 24; entry + 1 < *base; entry += 12) {
        for (size_t i = entry; i < entry + 3; ++i)
            if (!std::isalnum(static_cast<unsigned char>(r[i]))) return false;
        const std::optional<size_t> size = Digits(r, entry + 3, 4), start = Digits(r, entry + 7, 5);
        if (!size || !start || *size == 0 || *base + *start + *size > r.size() - 1) return false;
        if (r[*base + *start + *size - 1] != kFieldEnd) return false;
    }
    return true;
}

}  // namespace

std::optional<QByteArray> MarcToXml(std::string_view iso2709) {
    if (!SoundFrame(iso2709)) return std::nullopt;
    std::unique_ptr<std::remove_pointer_t<yaz_marc_t>, void (*)(yaz_marc_t)> mt(yaz_marc_create(), yaz_marc_destroy);
    yaz_marc_xml(mt.get(), YAZ_MARC_MARCXML);
    const char* from = iso2709[9] == 'a' ? "utf-8" : "marc8";
    yaz_iconv_t cd = yaz_iconv_open("utf-8", from);
    if (!cd) return std::nullopt;
    yaz_marc_iconv(mt.get(), cd);
    // The output says UTF-8 in its leader, as it now is.
    yaz_marc_modify_leader(mt.get(), 9, "a");
    const char* out = nullptr;
    size_t size = 0;
    const int used = yaz_marc_decode_buf(mt.get(), iso2709.data(), static_cast<int>(iso2709.size()), &out, &size);
    std::optional<QByteArray> xml;
    if (used > 0 && out) xml = QByteArray(out, static_cast<qsizetype>(size));
    yaz_marc_iconv(mt.get(), nullptr);
    yaz_iconv_close(cd);
    return xml;
}

namespace {

// The subfields of one data field, in order.
struct Field {
    QString tag;
    QChar ind2;
    std::vector<std::pair<QChar, QString>> subfields;

    QString First(QChar code) const {
        for (const auto& [c, text] : subfields)
            if (c == code) return text;
        return {};
    }
};

// The subfields `codes` of a field in record order, with the record's own
// punctuation between them (where a record leaves it out, the ISBD one:
// " : " before a subtitle, ". " before a part), without the final one.
QString Joined(const Field& f, QStringView codes) {
    QString out;
    for (const auto& [code, text] : f.subfields) {
        if (!codes.contains(code)) continue;
        const QString piece = text.trimmed();
        if (piece.isEmpty()) continue;
        if (!out.isEmpty()) {
            const QChar last = out.back();
            const bool punctuated = QStringLiteral(".,:;=/").contains(last);
            if (!punctuated)
                out += code == u'b' ? QStringLiteral(" :") : code == u'c' ? QString() : QStringLiteral(".");
            out += u' ';
        }
        out += piece;
    }
    return WithoutEndPunctuation(out);
}

// A year as the catalogue keeps it: "[2000]", "©2019", "c1998." -> the four digits.
QString Year(const QString& text) {
    static const QRegularExpression four(QStringLiteral("\\d{4}"));
    const QRegularExpressionMatch m = four.match(text);
    return m.hasMatch() ? m.captured() : WithoutEndPunctuation(text);
}

FoundRecord Convert(const std::vector<Field>& fields) {
    std::map<QString, std::vector<const Field*>> byTag;
    for (const Field& f : fields) byTag[f.tag].push_back(&f);
    auto all = [&](const char* tag) -> const std::vector<const Field*>& {
        static const std::vector<const Field*> none;
        auto it = byTag.find(QString::fromLatin1(tag));
        return it == byTag.end() ? none : it->second;
    };
    auto first = [&](const char* tag) -> const Field* { return all(tag).empty() ? nullptr : all(tag).front(); };
    FoundRecord r;
    // The name alone ($a): dates ($d), relators ($e, $4) and authority links stay out.
    if (const Field* f = first("100"))
        r.autor = CatalogueName(f->First(u'a'), true);
    else if (const Field* f = first("110"))
        r.autor = Joined(*f, u"ab");  // "Národní muzeum. Knihovna"
    else if (const Field* f = first("700"))
        r.autor = CatalogueName(f->First(u'a'), true);
    // "Titul : podtitul", a volume's number and name kept: "Pán prstenů. Díl 2, Dvě věže".
    if (const Field* f = first("245")) r.titul = Joined(*f, u"abnp");
    // The publication (264 _1) before a copyright date (264 _4) or any other statement.
    const Field* imprint = nullptr;
    const Field* copyright = nullptr;
    for (const Field* f : all("264")) {
        if (f->ind2 == u'1' && !imprint) imprint = f;
        if (f->ind2 == u'4' && !copyright) copyright = f;
    }
    if (!imprint) imprint = first("260");
    if (!imprint)
        for (const Field* f : all("264"))
            if (f->ind2 != u'4' && !imprint) imprint = f;
    if (imprint) {
        r.vydal = WithoutEndPunctuation(imprint->First(u'b'));
        r.rok = Year(imprint->First(u'c'));
    }
    if (r.rok.isEmpty() && copyright) r.rok = Year(copyright->First(u'c'));
    if (const Field* f = first("300")) r.stran = PagesOf(f->First(u'a'));
    if (const Field* f = first("250")) r.vydani = EditionOf(f->First(u'a'));
    if (const Field* f = first("490")) {
        r.serie = WithoutEndPunctuation(f->First(u'a'));
        const QString volume = WithoutEndPunctuation(f->First(u'v'));
        if (!volume.isEmpty()) r.serie += u' ' + volume;
    }
    if (const Field* f = first("655")) r.zanr = WithoutEndPunctuation(f->First(u'a'));
    if (auto it = byTag.find(QStringLiteral("020")); it != byTag.end())
        for (const Field* f : it->second)
            if (auto n = isbn::Find(f->First(u'a').toStdString()); n && !r.isbns.contains(QString::fromStdString(*n)))
                r.isbns.append(QString::fromStdString(*n));
    return r;
}

}  // namespace

std::optional<std::vector<FoundRecord>> ReadMarcXml(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    std::vector<FoundRecord> records;
    std::vector<Field> fields;
    bool inRecord = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            if (name == u"record") {
                inRecord = true;
                fields.clear();
            } else if (inRecord && name == u"datafield") {
                const QString ind2 = reader.attributes().value(QLatin1String("ind2")).toString();
                fields.push_back({reader.attributes().value(QLatin1String("tag")).toString(),
                                  ind2.isEmpty() ? QChar(u' ') : ind2[0],
                                  {}});
            } else if (inRecord && name == u"subfield" && !fields.empty()) {
                const QString code = reader.attributes().value(QLatin1String("code")).toString();
                const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
                // MARC-8 carries accents as combining marks; the code page needs them composed.
                if (code.size() == 1)
                    fields.back().subfields.emplace_back(code[0], text.normalized(QString::NormalizationForm_C));
            }
        } else if (reader.isEndElement() && reader.name() == u"record" && inRecord) {
            inRecord = false;
            FoundRecord r = Convert(fields);
            if (!r.titul.isEmpty()) records.push_back(std::move(r));
        }
    }
    if (reader.hasError()) return std::nullopt;
    return records;
}
