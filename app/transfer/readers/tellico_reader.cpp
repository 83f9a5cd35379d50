// Tellico's files: a .tc zip holding tellico.xml, or that XML bare. Book
// collections (type 2) only; loans under borrowers/borrower become the
// books' "zapůjčeno komu" and "zapůjčeno kdy".
#include <QHash>
#include <QXmlStreamReader>

#include <iterator>

#include <zip.h>

#include "app/transfer/readers/foreign_book.h"
#include "app/transfer/readers/import_reader.h"

namespace {

// No catalogue's XML comes near this; a bigger entry is a damaged or hostile archive.
constexpr zip_uint64_t kMaxXmlBytes = 256u << 20;

QString ZipProblem(int code) {
    switch (code) {
    case ZIP_ER_NOZIP:  // the file begins as one: its end is missing
        return QStringLiteral("archiv ZIP je neúplný nebo poškozený");
    case ZIP_ER_INCONS: return QStringLiteral("obsah archivu ZIP si odporuje");
    case ZIP_ER_CRC: return QStringLiteral("kontrolní součet dat v archivu ZIP nesouhlasí");
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP: return QStringLiteral("archiv ZIP používá nepodporovanou kompresi nebo šifrování");
    case ZIP_ER_MEMORY: return QStringLiteral("na rozbalení archivu ZIP nestačí paměť");
    default: return QStringLiteral("archiv ZIP je poškozený");
    }
}

[[noreturn]] void Damaged(const QString& what) {
    ImportProblems().Fail(QStringLiteral("Soubor Tellico nelze přečíst: %1.").arg(what));
}

// tellico.xml out of the .tc archive, read with libzip.
std::string XmlFromZip(std::string_view bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!source) Damaged(ZipProblem(zip_error_code_zip(&error)));
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_source_free(source);
        const int code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        Damaged(ZipProblem(code));
    }
    zip_error_fini(&error);
    std::string xml;
    QString problem;
    const zip_int64_t index = zip_name_locate(archive, "tellico.xml", 0);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (index < 0) {
        zip_discard(archive);
        // A workbook or any other zip: not a damaged Tellico file, no Tellico file at all.
        ImportProblems().Fail(
            QStringLiteral("Soubor není ve formátu, který program umí importovat: je to archiv ZIP, ale ne soubor "
                           "Tellico (.tc). Importovat lze CSV, export z Goodreads, LibraryThing a Calibre a soubory "
                           "Tellico."));
    } else if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
               !(stat.valid & ZIP_STAT_SIZE) || stat.size > kMaxXmlBytes) {
        problem = QStringLiteral("soubor tellico.xml v archivu je poškozený nebo příliš velký");
    } else if (zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0)) {
        xml.resize(static_cast<size_t>(stat.size));
        zip_int64_t got = 0;
        while (got < static_cast<zip_int64_t>(xml.size())) {
            const zip_int64_t n = zip_fread(file, xml.data() + got, xml.size() - static_cast<size_t>(got));
            if (n <= 0) break;
            got += n;
        }
        if (got != static_cast<zip_int64_t>(xml.size()))
            problem = ZipProblem(zip_error_code_zip(zip_file_get_error(file)));
        zip_fclose(file);
    } else {
        problem = ZipProblem(zip_error_code_zip(zip_get_error(archive)));
    }
    zip_discard(archive);  // read only: nothing to write back; frees the source too
    if (!problem.isEmpty()) Damaged(problem);
    return xml;
}

// Tellico's collection types by number, as its own menus name them.
QString CollectionKind(const QString& type) {
    static const char* const kinds[] = {"",        "vlastní",    "knihy", "videa",  "hudba", "bibliografie",
                                        "komiksy", "vína",       "mince", "známky", "karty", "videohry",
                                        "soubory", "deskové hry"};
    bool ok = false;
    const int k = type.toInt(&ok);
    if (!ok || k < 1 || k >= static_cast<int>(std::size(kinds))) return QStringLiteral("type=\"%1\"").arg(type);
    return QString::fromUtf8(kinds[k]);
}

QString XmlProblem(const QXmlStreamReader& xml) {
    QString what;
    switch (xml.error()) {
    case QXmlStreamReader::PrematureEndOfDocumentError: what = QStringLiteral("dokument předčasně končí"); break;
    case QXmlStreamReader::NotWellFormedError: what = QStringLiteral("dokument není správně utvořené XML"); break;
    case QXmlStreamReader::UnexpectedElementError: what = QStringLiteral("neočekávaný prvek"); break;
    default: what = QStringLiteral("chyba XML");
    }
    return QStringLiteral("%1 (řádek %2, sloupec %3)").arg(what).arg(xml.lineNumber()).arg(xml.columnNumber());
}

struct Entry {
    ForeignBook book;
    QStringList authors;
    QStringList translators, editors;
    QStringList genres;
    QString seriesNumber;
    QString id;
    int number = 0;  // the entry's place in the file, from 1
};

class TellicoReader : public ImportReader {
public:
    QString Name() const override { return QStringLiteral("Tellico"); }
    QStringList FilePatterns() const override { return {QStringLiteral("*.tc"), QStringLiteral("*.xml")}; }
    bool Recognises(const ImportSource& source) const override {
        const std::string_view bytes = source.bytes;
        if (bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4)) return true;
        const std::string_view head = bytes.substr(0, 4096);
        const size_t start = head.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
        return start != std::string_view::npos && head[start] == '<' && head.find("<tellico") != std::string_view::npos;
    }

    ImportPlan Read(const ImportSource& source) const override {
        const bool zipped = source.bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
        const std::string xmlBytes = zipped ? XmlFromZip(source.bytes) : std::string(source.bytes);
        ImportPlan plan;
        plan.format = Name() + (zipped ? QStringLiteral(" (.tc)") : QStringLiteral(" (XML)"));
        plan.encoding = QStringLiteral("UTF-8");
        plan.unit = QStringLiteral("záznam");
        plan.mapping = {QStringLiteral("title → titul"),
                        QStringLiteral("authors/author → autor (první, otočen na Příjmení Jméno, jméno "
                                       "instituce ponecháno), další do poznámky (spoluautoři)"),
                        QStringLiteral("translators/translator → poznámka (překlad)"),
                        QStringLiteral("editors/editor → poznámka (editor)"),
                        QStringLiteral("pub_year, pages, edition → údaj 2 (rok, stran, vydání)"),
                        QStringLiteral("publisher → vydal"),
                        QStringLiteral("series, series_num → série"),
                        QStringLiteral("genres/genre → žánr (první), další do poznámky"),
                        QStringLiteral("rating → hodnocení"),
                        QStringLiteral("comments → poznámka (HTML převedeno na text)"),
                        QStringLiteral("isbn → údaj 1 (ISBN)"),
                        QStringLiteral("borrower name → zapůjčeno komu"),
                        QStringLiteral("loan loanDate → zapůjčeno kdy (d.m.rrrr)")};

        QXmlStreamReader xml(QByteArray::fromRawData(xmlBytes.data(), static_cast<qsizetype>(xmlBytes.size())));
        std::vector<Entry> entries;
        QHash<QString, std::pair<QString, QString>> loans;  // entry id → borrower, date
        bool books = false;
        QString otherKind;  // of the first collection that holds no books
        if (!xml.readNextStartElement() || xml.name() != QLatin1String("tellico")) {
            if (xml.hasError()) Damaged(XmlProblem(xml));
            Damaged(QStringLiteral("kořenový prvek není „tellico“"));
        }
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("collection")) {
                xml.skipCurrentElement();
                continue;
            }
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            if (type != QLatin1String("2")) {
                if (otherKind.isEmpty()) otherKind = CollectionKind(type);
                xml.skipCurrentElement();
                continue;
            }
            books = true;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("entry")) {
                    entries.push_back(ReadEntry(xml));
                    entries.back().number = static_cast<int>(entries.size());
                } else if (xml.name() == QLatin1String("borrowers")) {
                    ReadBorrowers(xml, loans);
                } else {
                    xml.skipCurrentElement();
                }
            }
        }
        if (xml.hasError()) Damaged(XmlProblem(xml));
        if (!books && !otherKind.isEmpty())
            Damaged(
                QStringLiteral("obsahuje sbírku typu „%1“, ne sbírku knih; importovat lze jen knihy").arg(otherKind));
        if (!books) Damaged(QStringLiteral("neobsahuje sbírku knih (collection type=\"2\")"));

        ImportProblems problems;
        for (Entry& e : entries) {
            ForeignBook& book = e.book;
            if (!e.authors.isEmpty()) {
                book.author = AuthorFromPlainName(e.authors.front());
                book.coauthors = e.authors.mid(1);
            }
            if (!e.translators.isEmpty()) book.notes.append(QStringLiteral("překlad: ") + e.translators.join(", "));
            if (!e.editors.isEmpty()) book.notes.append(QStringLiteral("editor: ") + e.editors.join(", "));
            if (!e.seriesNumber.isEmpty() && !book.series.isEmpty()) book.series += u' ' + e.seriesNumber;
            if (!e.genres.isEmpty()) book.genre = e.genres.takeFirst();
            if (!e.genres.isEmpty()) book.notes.append(QStringLiteral("žánry: ") + e.genres.join(", "));
            const auto loan = loans.constFind(e.id);
            if (!e.id.isEmpty() && loan != loans.constEnd()) {
                book.loanTo = loan->first;
                book.loanDate = LoanDate(loan->second);
            }
            AddBook(plan, problems, book, e.number);
        }
        problems.ThrowIfAny();
        return plan;
    }

private:
    static Entry ReadEntry(QXmlStreamReader& xml) {
        Entry e;
        e.id = xml.attributes().value(QLatin1String("id")).toString();
        while (xml.readNextStartElement()) {
            const auto name = xml.name();
            QStringList* list = name == QLatin1String("authors")       ? &e.authors
                                : name == QLatin1String("genres")      ? &e.genres
                                : name == QLatin1String("translators") ? &e.translators
                                : name == QLatin1String("editors")     ? &e.editors
                                                                       : nullptr;
            if (list) {
                while (xml.readNextStartElement()) {
                    const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                    if (!text.isEmpty()) list->append(text);
                }
                continue;
            }
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (name == QLatin1String("title"))
                e.book.title = text.trimmed();
            else if (name == QLatin1String("publisher"))
                e.book.publisher = text.trimmed();
            else if (name == QLatin1String("series"))
                e.book.series = text.trimmed();
            else if (name == QLatin1String("series_num"))
                e.seriesNumber = text.trimmed();
            else if (name == QLatin1String("pub_year"))
                e.book.year = text.trimmed();
            else if (name == QLatin1String("pages"))
                e.book.pages = text.trimmed();
            else if (name == QLatin1String("edition"))
                e.book.edition = text.trimmed();
            else if (name == QLatin1String("isbn"))
                e.book.isbn = text.trimmed();
            else if (name == QLatin1String("rating"))
                e.book.rating = text;
            else if (name == QLatin1String("comments"))
                e.book.notes.prepend(HtmlToText(text));
        }
        return e;
    }

    static void ReadBorrowers(QXmlStreamReader& xml, QHash<QString, std::pair<QString, QString>>& loans) {
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("borrower")) {
                xml.skipCurrentElement();
                continue;
            }
            const QString name = xml.attributes().value(QLatin1String("name")).toString().trimmed();
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("loan")) {
                    const auto attributes = xml.attributes();
                    const QString entry = attributes.value(QLatin1String("entryRef")).toString();
                    const QString date = attributes.value(QLatin1String("loanDate")).toString();
                    // Of two loans of one book the later one holds.
                    auto found = loans.find(entry);
                    if (found == loans.end() || found->second < date) loans.insert(entry, {name, date});
                }
                xml.skipCurrentElement();
            }
        }
    }
};

}  // namespace

std::unique_ptr<ImportReader> MakeTellicoReader() { return std::make_unique<TellicoReader>(); }
