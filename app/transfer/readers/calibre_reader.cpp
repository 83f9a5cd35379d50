// Calibre's CSV catalogue ("calibredb catalog file.csv"): columns in any
// order, among them author_sort, authors (" & " between several), title,
// series with series_index, tags, rating in stars 0 to 5 (halves allowed),
// isbn and HTML comments.
#include "app/transfer/readers/foreign_book.h"
#include "app/transfer/readers/import_reader.h"
#include "app/transfer/readers/table_file.h"

namespace {

enum Col {
    kTitle,
    kAuthorSort,
    kAuthors,
    kPublisher,
    kSeries,
    kSeriesIndex,
    kTags,
    kRating,
    kIsbn,
    kComments,
    kPubdate
};

const std::vector<SourceColumn>& Columns() {
    static const std::vector<SourceColumn> columns = {
        {"title", "titul"},
        {"author_sort", "autor (Příjmení Jméno, první z autorů)"},
        {"authors", "poznámka (spoluautoři); autor, když chybí author_sort nebo je otočen jen naivně"},
        {"publisher", "vydal"},
        {"series", "série"},
        {"series_index", "série (číslo dílu za názvem)"},
        {"tags", "žánr (první štítek), další do poznámky"},
        {"rating", "hodnocení (hvězdičky 0–5; je-li některé přes 5, stupnice 0–10)"},
        {"isbn", "údaj 1 (ISBN)"},
        {"comments", "poznámka (HTML převedeno na text)"},
        {"pubdate", "údaj 2 (rok vydání)"},
    };
    return columns;
}

// "2.0" → "2"; other numbers stay as written.
QString SeriesNumber(const QString& index) {
    QString number = index.trimmed();
    if (number.endsWith(QLatin1String(".0"))) number.chop(2);
    return number;
}

// "2004-05-01T22:00:00+00:00" → "2004"; calibre writes the year 101 for a
// date never set, which is no year at all.
QString PublicationYear(const QString& pubdate) {
    const QString year = pubdate.trimmed().left(4);
    bool number = false;
    return year.size() == 4 && year.toInt(&number) >= 1000 && number ? year : QString();
}

class CalibreReader : public ImportReader {
public:
    QString Name() const override { return QStringLiteral("Calibre"); }
    QStringList FilePatterns() const override { return {QStringLiteral("*.csv")}; }
    bool Recognises(const ImportSource& source) const override {
        return HeaderHas(source.header, {"author_sort", "title"});
    }

    ImportPlan Read(const ImportSource& source) const override {
        TableImport in(source.bytes, Name(), Columns());
        // The CSV catalogue prints stars; a file whose ratings go past 5 keeps
        // calibre's inner 0–10 scale.
        double scale = 1;
        for (const CsvRecord& record : in.table.records) {
            QString rating = in.Cell(record, kRating).trimmed();
            if (rating.replace(u',', u'.').toDouble() > 5) scale = 2;
        }
        for (const CsvRecord& record : in.table.records) {
            const auto cell = [&](Col c) { return in.Cell(record, c); };
            ForeignBook book;
            book.title = cell(kTitle).trimmed();
            const QStringList authors = SplitList(cell(kAuthors), u'&');
            book.author = AuthorFromSortForm(SplitList(cell(kAuthorSort), u'&').value(0), authors.value(0));
            book.coauthors = authors.mid(1);
            book.publisher = cell(kPublisher).trimmed();
            book.year = PublicationYear(cell(kPubdate));
            book.series = cell(kSeries).trimmed();
            const QString number = SeriesNumber(cell(kSeriesIndex));
            if (!book.series.isEmpty() && !number.isEmpty()) book.series += u' ' + number;
            QStringList tags = SplitList(cell(kTags));
            if (!tags.isEmpty()) book.genre = tags.takeFirst();
            book.rating = cell(kRating);
            book.ratingScale = scale;
            book.isbn = cell(kIsbn);
            book.notes = {HtmlToText(cell(kComments))};
            if (!tags.isEmpty()) book.notes.append(QStringLiteral("štítky: ") + tags.join(", "));
            in.Add(book, record.line);
        }
        return in.Finish("");
    }
};

}  // namespace

std::unique_ptr<ImportReader> MakeCalibreReader() { return std::make_unique<CalibreReader>(); }
