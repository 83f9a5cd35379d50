// LibraryThing's export, tab-separated or comma-separated: a header naming
// "Title" and "Primary Author" or "Author (Last, First)" among many others;
// the ISBN in brackets ("[8020704191]"), ratings in half stars.
#include <QRegularExpression>

#include "app/transfer/readers/foreign_book.h"
#include "app/transfer/readers/import_reader.h"
#include "catalogue/isbn.h"
#include "app/transfer/readers/table_file.h"

namespace {

enum Col {
    kTitle,
    kAuthorLf,
    kPrimary,
    kPublication,
    kSeries,
    kTags,
    kCollections,
    kRating,
    kReview,
    kComment,
    kComments,
    kIsbn,
    kIsbns
};

const std::vector<SourceColumn>& Columns() {
    static const std::vector<SourceColumn> columns = {
        {"Title", "titul"},
        {"Author (Last, First)", "autor (Příjmení Jméno)"},
        {"Primary Author", "autor (Příjmení Jméno), když chybí Author (Last, First)"},
        {"Publication", "vydal"},
        {"Series", "série"},
        {"Tags", "žánr (první štítek), další do poznámky"},
        {"Collections", "poznámka; sbírka Wishlist = nevlastněná kniha, nabídne se nezaškrtnutá"},
        {"Rating", "hodnocení (půlhvězdičky zaokrouhleny)"},
        {"Review", "poznámka"},
        {"Comment", "poznámka"},
        {"Comments", "poznámka"},
        {"ISBN", "údaj 1 (ISBN)"},
        {"ISBNs", "údaj 1 (ISBN), když v ISBN žádné platné není"},
    };
    return columns;
}

// The first valid ISBN of "[8020704191]" or "8020704191, 9788020704199".
QString FirstIsbn(const QString& cell) {
    static const QRegularExpression separators(QStringLiteral("[\\[\\],;\\s]+"));
    const QStringList parts = cell.split(separators, Qt::SkipEmptyParts);
    for (const QString& part : parts)
        if (isbn::Normalize(part.toStdString())) return part;
    return parts.value(0);
}

class LibraryThingReader : public ImportReader {
public:
    QString Name() const override { return QStringLiteral("LibraryThing"); }
    QStringList FilePatterns() const override {
        return {QStringLiteral("*.tsv"), QStringLiteral("*.csv"), QStringLiteral("*.txt")};
    }
    bool Recognises(const ImportSource& source) const override {
        return HeaderHas(source.header, {"Title"}) &&
               (HeaderHas(source.header, {"Primary Author"}) || HeaderHas(source.header, {"Author (Last, First)"}));
    }

    ImportPlan Read(const ImportSource& source) const override {
        TableImport in(source.bytes, Name(), Columns());
        for (const CsvRecord& record : in.table.records) {
            const auto cell = [&](Col c) { return in.Cell(record, c); };
            ForeignBook book;
            book.title = cell(kTitle).trimmed();
            book.author = AuthorFromLastFirst(cell(kAuthorLf));
            if (book.author.isEmpty()) book.author = AuthorFromLastFirst(cell(kPrimary));
            book.publisher = cell(kPublication).trimmed();
            book.series = cell(kSeries).trimmed();
            QStringList tags = SplitList(cell(kTags));
            if (!tags.isEmpty()) book.genre = tags.takeFirst();
            book.rating = cell(kRating);
            book.isbn = FirstIsbn(cell(kIsbn) + u',' + cell(kIsbns));
            book.notes = {HtmlToText(cell(kReview)), cell(kComment).trimmed(), cell(kComments).trimmed()};
            if (!tags.isEmpty()) book.notes.append(QStringLiteral("štítky: ") + tags.join(", "));
            QStringList collections = SplitList(cell(kCollections));
            for (const QString& c : collections)
                if (c.compare(QLatin1String("Wishlist"), Qt::CaseInsensitive) == 0) book.owned = false;
            // Every owned book is in "Your library": no news worth a note.
            collections.removeAll(QStringLiteral("Your library"));
            if (!collections.isEmpty()) book.notes.append(QStringLiteral("sbírky: ") + collections.join(", "));
            in.Add(book, record.line);
        }
        return in.Finish(
            "Knih ze sbírky Wishlist (nevlastněných): %1; nabízejí se nezaškrtnuté, "
            "zaškrtněte ty, které máte.");
    }
};

}  // namespace

std::unique_ptr<ImportReader> MakeLibraryThingReader() { return std::make_unique<LibraryThingReader>(); }
