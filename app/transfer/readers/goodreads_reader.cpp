// Goodreads' "Export Library" file: a comma-separated table whose header
// starts "Book Id,Title,Author,Author l-f,…", ISBNs written as ="…".
#include "app/transfer/readers/foreign_book.h"
#include "app/transfer/readers/import_reader.h"
#include "app/transfer/readers/table_file.h"

namespace {

enum Col {
    kTitle,
    kAuthor,
    kAuthorLf,
    kMore,
    kIsbn,
    kIsbn13,
    kRating,
    kPublisher,
    kPages,
    kYear,
    kFirstYear,
    kShelves,
    kReview,
    kPrivate,
    kShelf,
    kOwned
};

const std::vector<SourceColumn>& Columns() {
    static const std::vector<SourceColumn> columns = {
        {"Title", "titul; série v závorce za ním („Mort (Discworld, #4)“) → série („Discworld 4“)"},
        {"Author", "autor, když chybí Author l-f nebo je otočen jen naivně (částice, instituce)"},
        {"Author l-f", "autor (Příjmení Jméno)"},
        {"Additional Authors", "poznámka (spoluautoři)"},
        {"ISBN", "údaj 1 (ISBN), když chybí ISBN13"},
        {"ISBN13", "údaj 1 (ISBN)"},
        {"My Rating", "hodnocení (0 = bez hodnocení: 3)"},
        {"Publisher", "vydal"},
        {"Number of Pages", "údaj 2 (stran)"},
        {"Year Published", "údaj 2 (rok vydání)"},
        {"Original Publication Year", "údaj 2 (rok), když chybí Year Published"},
        {"Bookshelves", "žánr (první police mimo stavy čtení), další do poznámky"},
        {"My Review", "poznámka"},
        {"Private Notes", "poznámka"},
        {"Exclusive Shelf", "to-read = přání, nabídne se nezaškrtnuté; read, currently-reading a jiné = vlastněná"},
        {"Owned Copies", "1 a více = vlastněná kniha, ať je na kterékoli polici"},
    };
    return columns;
}

// ="8020704191" as Goodreads writes ISBNs so that spreadsheets keep them text.
QString Unwrapped(const QString& cell) {
    const QString text = cell.trimmed();
    if (text.startsWith(QStringLiteral("=\"")) && text.endsWith(u'"') && text.size() >= 3)
        return text.mid(2, text.size() - 3).trimmed();
    return text;
}

class GoodreadsReader : public ImportReader {
public:
    QString Name() const override { return QStringLiteral("Goodreads"); }
    QStringList FilePatterns() const override { return {QStringLiteral("*.csv")}; }
    bool Recognises(const ImportSource& source) const override {
        return HeaderHas(source.header, {"Book Id", "Author l-f", "My Rating"});
    }

    ImportPlan Read(const ImportSource& source) const override {
        TableImport in(source.bytes, Name(), Columns());
        for (const CsvRecord& record : in.table.records) {
            const auto cell = [&](Col c) { return in.Cell(record, c); };
            ForeignBook book;
            book.title = TitleWithoutSeries(cell(kTitle).trimmed(), &book.series);
            book.author = AuthorFromSortForm(cell(kAuthorLf), cell(kAuthor));
            book.coauthors = SplitList(cell(kMore));
            book.isbn = Unwrapped(cell(kIsbn13));
            if (book.isbn.isEmpty()) book.isbn = Unwrapped(cell(kIsbn));
            book.rating = cell(kRating);
            book.publisher = cell(kPublisher).trimmed();
            book.pages = cell(kPages).trimmed();
            // The edition in hand is the one catalogued; the first edition's year only stands in.
            book.year = cell(kYear).trimmed();
            if (book.year.isEmpty()) book.year = cell(kFirstYear).trimmed();
            QStringList shelves = SplitList(cell(kShelves));
            const QString shelf = cell(kShelf).trimmed();
            for (const char* state : {"read", "to-read", "currently-reading"})
                shelves.removeAll(QString::fromLatin1(state));
            shelves.removeAll(shelf);
            if (!shelves.isEmpty()) book.genre = shelves.takeFirst();
            book.notes = {HtmlToText(cell(kReview)), cell(kPrivate).trimmed()};
            if (!shelves.isEmpty()) book.notes.append(QStringLiteral("police: ") + shelves.join(", "));
            // Goodreads writes Owned Copies 0 unless the user set it by hand,
            // so the shelf tells a wish from a book read or being read.
            const QString copies = cell(kOwned).trimmed();
            if (copies.toInt() >= 1)
                book.owned = true;
            else if (!shelf.isEmpty())
                book.owned = shelf != QLatin1String("to-read");
            else
                book.owned = copies != QLatin1String("0");
            in.Add(book, record.line);
        }
        return in.Finish("Knih z police to-read (přání): %1; nabízejí se nezaškrtnuté, zaškrtněte ty, které máte.");
    }
};

}  // namespace

std::unique_ptr<ImportReader> MakeGoodreadsReader() { return std::make_unique<GoodreadsReader>(); }
