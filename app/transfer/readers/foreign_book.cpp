#include "app/transfer/readers/foreign_book.h"

#include <QDate>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

#include "app/transfer/readers/import_reader.h"
#include "catalogue/bib_details.h"
#include "catalogue/isbn.h"
#include "app/transfer/readers/table_file.h"

namespace {

// Numeric entities and the named ones comments commonly hold; others stay as written.
QString DecodeEntities(const QString& text) {
    static const QRegularExpression entity(QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[a-zA-Z]{2,6});"));
    static const std::pair<const char*, char16_t> named[] = {
        {"amp", u'&'},   {"lt", u'<'},    {"gt", u'>'},    {"quot", u'"'},   {"apos", u'\''},
        {"nbsp", u' '},  {"ndash", u'–'}, {"mdash", u'—'}, {"hellip", u'…'}, {"bdquo", u'„'},
        {"ldquo", u'“'}, {"rdquo", u'”'}, {"lsquo", u'‘'}, {"rsquo", u'’'},  {"sbquo", u'‚'},
    };
    QString out;
    qsizetype from = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(text).mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
        const QString name = m.captured(1);
        QString replacement = m.captured(0);
        if (name.startsWith(u'#')) {
            bool ok = false;
            const uint code = name.at(1).toLower() == u'x' ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
                const char32_t c = code;
                replacement = QString::fromUcs4(&c, 1);
            }
        } else {
            for (const auto& [n, c] : named)
                if (name == QLatin1String(n)) replacement = QChar(c);
        }
        out += replacement;
    }
    out += QStringView(text).mid(from);
    return out;
}

}  // namespace

QString AuthorFromLastFirst(const QString& name) {
    const qsizetype comma = name.indexOf(u',');
    if (comma < 0) return name.simplified();
    const QString last = name.left(comma).simplified();
    const QString first = name.mid(comma + 1).simplified();
    if (first.isEmpty()) return last;
    if (last.isEmpty()) return first;
    return last + u' ' + first;
}

QString AuthorFromFirstLast(const QString& name, bool* kept) {
    *kept = false;
    if (name.contains(u',')) return AuthorFromLastFirst(name);
    const QString simple = name.simplified();
    const QStringList words = simple.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2) return simple;
    // "Jaroslav", "Jean-Paul", "O'Neill": capitalised parts joined by a hyphen or an apostrophe.
    static const QRegularExpression word(QStringLiteral("^\\p{Lu}\\p{Ll}*(?:[-'’]\\p{Lu}?\\p{Ll}+)*$"));
    const auto sure = [&](const QString& w) { return w.size() >= 2 && word.match(w).hasMatch(); };
    if (words.size() == 2 && sure(words[0]) && sure(words[1])) return words[1] + u' ' + words[0];
    *kept = true;
    return simple;
}

bool IsCorporateName(const QString& name) {
    // Words no person's name holds; matched as whole words, case ignored.
    static const QRegularExpression body(
        QStringLiteral("\\b(kolektiv|autorů|redakce|nakladatelství|vydavatelství|společnost|spolek|ústav|institut|"
                       "univerzita|muzeum|knihovna|svaz|klub|nadace|ministerstvo|national|geographic|society|"
                       "institute|university|museum|library|association|press|publishing|publications|company|"
                       "corporation|inc|ltd|llc|gmbh|foundation|council|committee|staff|editors|group|team|"
                       "s\\.r\\.o|a\\.s)\\b"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return body.match(name).hasMatch();
}

QString AuthorFromPlainName(const QString& name) {
    if (name.contains(u',')) return AuthorFromLastFirst(name);
    const QString simple = name.simplified();
    QStringList words = simple.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2 || IsCorporateName(simple)) return simple;
    static const QStringList particles = {"le", "de", "van", "von", "da", "di", "del", "la", "der", "den", "du", "des"};
    qsizetype surname = words.size() - 1;
    while (surname > 1 && particles.contains(words[surname - 1].toLower())) --surname;
    return (words.mid(surname) + words.mid(0, surname)).join(u' ');
}

QString AuthorFromSortForm(const QString& sortForm, const QString& plain) {
    const QStringList words = plain.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty() || plain.contains(u',')) return AuthorFromLastFirst(sortForm);
    const QString naive = words.size() == 1
                              ? words.front() + QStringLiteral(", ") + words.front()
                              : words.back() + QStringLiteral(", ") + words.mid(0, words.size() - 1).join(u' ');
    const QString sort = sortForm.simplified();
    if (sort.isEmpty() || sort == naive || (words.size() == 1 && sort == words.front()))
        return AuthorFromPlainName(plain);
    return AuthorFromLastFirst(sortForm);
}

QString TitleWithoutSeries(const QString& title, QString* series) {
    // "(Name, #4)", "(Name #4)", "(Name, #1-3)", "(Name, #0.5; Other, #2)".
    static const QRegularExpression suffix(
        QStringLiteral("^(.*\\S)\\s*\\(([^()#;]*[^()#;,\\s]),?\\s*#([0-9][0-9.]*(?:[-–][0-9.]+)?)(?:;[^()]*)?\\)$"));
    const QRegularExpressionMatch m = suffix.match(title);
    if (!m.hasMatch()) return title;
    *series = m.captured(2).trimmed() + u' ' + m.captured(3);
    return m.captured(1);
}

int StoredRating(const QString& text, double scale) {
    bool ok = false;
    QString number = text.trimmed();
    number.replace(u',', u'.');
    const double value = number.toDouble(&ok) / scale;
    if (!ok || !std::isfinite(value) || value <= 0) return 3;
    return static_cast<int>(std::clamp(std::floor(value + 0.5), 1.0, 5.0));
}

QString LoanDate(const QString& iso) {
    const QDate date = QDate::fromString(iso.trimmed(), Qt::ISODate);
    return date.isValid() ? QStringLiteral("%1.%2.%3").arg(date.day()).arg(date.month()).arg(date.year())
                          : iso.trimmed();
}

QString HtmlToText(const QString& html) {
    if (!html.contains(u'<') && !html.contains(u'&')) return html;
    QString text = html;
    static const QRegularExpression breaks(QStringLiteral("<br\\s*/?>|</p\\s*>|</div\\s*>|</li\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    text.replace(breaks, QStringLiteral("\n"));
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    text.remove(tags);
    text = DecodeEntities(text);
    static const QRegularExpression blankLines(QStringLiteral("\n{3,}"));
    text.replace(blankLines, QStringLiteral("\n\n"));
    return text.trimmed();
}

QStringList SplitList(const QString& text, QChar separator) {
    QStringList out;
    for (const QString& part : text.split(separator)) {
        const QString name = part.trimmed();
        if (!name.isEmpty()) out.append(name);
    }
    return out;
}

void AddBook(ImportPlan& plan, ImportProblems& problems, const ForeignBook& book, int place) {
    QStringList notes = book.notes;
    const QString isbnText = book.isbn.trimmed();
    std::string isbn;
    if (!isbnText.isEmpty()) {
        if (const auto stored = isbn::Normalize(isbnText.toStdString())) {
            isbn = *stored;
        } else {
            notes.append(QStringLiteral("ISBN: ") + isbnText);
            plan.warnings.append(QStringLiteral("%1 %2: ISBN „%3“ není platné, je uloženo v poznámce.")
                                     .arg(plan.unit)
                                     .arg(place)
                                     .arg(isbnText));
        }
    }
    if (!book.coauthors.isEmpty()) notes.append(QStringLiteral("spoluautoři: ") + book.coauthors.join(", "));
    notes.removeAll(QString());

    QString unit = plan.unit;
    unit[0] = unit[0].toUpper();
    CatalogueRow row;
    const auto text = [&](int column, const QString& value, const char* name) {
        row[static_cast<size_t>(column)] = ToStored(
            value, problems, place,
            [&](qsizetype) {
                return QStringLiteral("%1 %2, pole „%3“").arg(unit).arg(place).arg(QString::fromUtf8(name));
            },
            plan.warnings);
    };
    row[kIdColumn] = std::string();
    text(kAuthorColumn, book.author, "autor");
    text(kTitleColumn, book.title, "titul");
    text(3, book.genre, "žánr");
    text(4, book.publisher, "vydal");
    text(5, book.series, "série");
    text(6, book.location, "umístění");
    text(7, book.loanTo, "zapůjčeno komu");
    text(8, book.loanDate, "zapůjčeno kdy");
    row[kRatingColumn] = std::to_string(StoredRating(book.rating, book.ratingScale));
    text(10, notes.join(QStringLiteral("; ")), "poznámka");
    row[kUdaj1Column] = isbn;
    // A new row's údaj 2 is empty: the details go in in their one form.
    BibDetails details;
    text(12, book.year, "údaj 2");
    details.year = row[12].value_or(std::string());
    text(12, book.pages, "údaj 2");
    details.pages = row[12].value_or(std::string());
    text(12, book.edition, "údaj 2");
    details.edition = row[12].value_or(std::string());
    row[12] = FormatBibDetails(details);
    row[13] = std::string();
    plan.rows.push_back({std::move(row), place, book.owned});
}
