// LibraryThing's export, tab-separated (also as UTF-16) or comma-separated:
// a header naming "Title" and "Primary Author" or "Author (Last, First)"
// among some 49 others; the ISBN in brackets ("[8020704191]"), ratings in
// half stars, the publisher as "Artur (2004), Hardcover, 710 pages", other
// authors and their roles split by "|", the loan in the Lending columns.
#include <QRegularExpression>

#include <algorithm>

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
    kDate,
    kSecondary,
    kSecondaryRoles,
    kSeries,
    kTags,
    kCollections,
    kRating,
    kReview,
    kComment,
    kComments,
    kPrivate,
    kIsbn,
    kIsbns,
    kPatron,
    kLendingStart,
    kLendingEnd
};

const std::vector<SourceColumn>& Columns() {
    static const std::vector<SourceColumn> columns = {
        {"Title", "titul"},
        {"Author (Last, First)", "autor (Příjmení Jméno)"},
        {"Primary Author", "autor (Příjmení Jméno), když chybí Author (Last, First)"},
        {"Publication", "vydal (jen nakladatel); rok v závorce → údaj 2"},
        {"Date", "údaj 2 (rok), když Publication rok nemá"},
        {"Secondary Author", "poznámka (spoluautoři)"},
        {"Secondary Author Roles", "poznámka (role spoluautorů)"},
        {"Series", "série"},
        {"Tags", "žánr (první štítek), další do poznámky"},
        {"Collections",
         "poznámka; jen sbírky Wishlist a Read but unowned = nevlastněná kniha, nabídne se nezaškrtnutá"},
        {"Rating", "hodnocení (půlhvězdičky zaokrouhleny)"},
        {"Review", "poznámka"},
        {"Comment", "poznámka"},
        {"Comments", "poznámka"},
        {"Private Comment", "poznámka"},
        {"ISBN", "údaj 1 (ISBN)"},
        {"ISBNs", "údaj 1 (ISBN), když v ISBN žádné platné není"},
        {"Lending Patron", "zapůjčeno komu (když kniha není vrácena)"},
        {"Lending Start", "zapůjčeno kdy (d.m.rrrr)"},
        {"Lending End", "je-li vyplněno, kniha je vrácena"},
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

// "Artur (2004), Hardcover, 710 pages" → "Artur" and `*year` "2004"; a
// publication without a year in brackets stays whole.
QString Publisher(const QString& publication, QString* year) {
    static const QRegularExpression withYear(QStringLiteral("^(.*?)\\s*\\(([0-9]{3,4})\\)(?:,.*)?$"));
    const QRegularExpressionMatch m = withYear.match(publication.trimmed());
    if (!m.hasMatch()) return publication.trimmed();
    *year = m.captured(2);
    return m.captured(1).trimmed();
}

// Collections whose books LibraryThing counts out of the library by default.
bool NotOwnedCollection(const QString& name) {
    return name.compare(QLatin1String("Wishlist"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("Read but unowned"), Qt::CaseInsensitive) == 0;
}

// "Medek, Vladimír|Lada, Josef" with roles "Translator|Illustrator" →
// "Medek Vladimír (Translator)", "Lada Josef (Illustrator)".
QStringList SecondaryAuthors(const QString& names, const QString& roles) {
    const QStringList role = roles.split(u'|');
    QStringList out;
    const QStringList split = names.split(u'|');
    for (qsizetype k = 0; k < split.size(); ++k) {
        const QString name = AuthorFromLastFirst(split[k]);
        if (name.isEmpty()) continue;
        const QString r = role.value(k).trimmed();
        out.append(r.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, r));
    }
    return out;
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
            QString year;
            book.publisher = Publisher(cell(kPublication), &year);
            if (year.isEmpty()) year = cell(kDate).trimmed();
            book.year = year;
            book.coauthors = SecondaryAuthors(cell(kSecondary), cell(kSecondaryRoles));
            if (cell(kLendingEnd).trimmed().isEmpty()) {
                book.loanTo = cell(kPatron).trimmed();
                if (!book.loanTo.isEmpty()) book.loanDate = LoanDate(cell(kLendingStart));
            }
            book.series = cell(kSeries).trimmed();
            QStringList tags = SplitList(cell(kTags));
            if (!tags.isEmpty()) book.genre = tags.takeFirst();
            book.rating = cell(kRating);
            book.isbn = FirstIsbn(cell(kIsbn) + u',' + cell(kIsbns));
            book.notes = {HtmlToText(cell(kReview)), cell(kComment).trimmed(), cell(kComments).trimmed(),
                          cell(kPrivate).trimmed()};
            if (!tags.isEmpty()) book.notes.append(QStringLiteral("štítky: ") + tags.join(", "));
            QStringList collections = SplitList(cell(kCollections));
            // Owned unless every collection it is in is one of books not owned.
            book.owned = !collections.isEmpty()
                             ? !std::all_of(collections.begin(), collections.end(), NotOwnedCollection)
                             : true;
            // Every owned book is in "Your library": no news worth a note.
            collections.removeAll(QStringLiteral("Your library"));
            if (!collections.isEmpty()) book.notes.append(QStringLiteral("sbírky: ") + collections.join(", "));
            in.Add(book, record.line);
        }
        return in.Finish(
            "Knih jen ve sbírkách Wishlist nebo Read but unowned (nevlastněných): %1; nabízejí se nezaškrtnuté, "
            "zaškrtněte ty, které máte.");
    }
};

}  // namespace

std::unique_ptr<ImportReader> MakeLibraryThingReader() { return std::make_unique<LibraryThingReader>(); }
