// Catalogue names and titles from library catalogues' texts.
#include "app/isbn/found_record.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// Words whose full stop is part of them, not the end of a sentence.
const QStringList kAbbreviations = {QStringLiteral("spol"), QStringLiteral("nakl"), QStringLiteral("aj"),
                                    QStringLiteral("atd"),  QStringLiteral("tzv"),  QStringLiteral("red"),
                                    QStringLiteral("ed"),   QStringLiteral("eds"),  QStringLiteral("jr"),
                                    QStringLiteral("sr"),   QStringLiteral("st"),   QStringLiteral("sv"),
                                    QStringLiteral("vyd"),  QStringLiteral("čís"),  QStringLiteral("roč")};

// Whether the full stop after `word` belongs to it: an initial ("J."), an
// abbreviation ("R.U.R.", "spol.", "Jr."), an ordinal in Roman numerals ("IV.").
bool KeepsFullStop(const QString& word) {
    if (word.contains(u'.')) return true;
    int letters = 0;
    bool roman = true;
    for (const QChar c : word) {
        if (c.isLetter()) ++letters;
        if (!QStringLiteral("IVXLCDM").contains(c)) roman = false;
    }
    if (letters > 0 && letters <= 2 && letters == word.size()) return true;
    return (roman && !word.isEmpty()) || kAbbreviations.contains(word.toLower());
}

}  // namespace

QString WithoutEndPunctuation(const QString& text) {
    QString t = text.trimmed();
    for (;;) {
        const qsizetype before = t.size();
        while (!t.isEmpty() &&
               (t.endsWith(u'/') || t.endsWith(u':') || t.endsWith(u';') || t.endsWith(u'=') || t.endsWith(u',')))
            t = t.left(t.size() - 1).trimmed();
        // "Praha : Odeon, 1990." keeps nothing of the full stop; "Karel IV." and "Šulc a spol." keep it.
        if (t.endsWith(u'.') && !t.endsWith(QStringLiteral("..."))) {
            const QString lastWord = t.mid(t.lastIndexOf(u' ') + 1).chopped(1);
            if (!KeepsFullStop(lastWord)) t = t.left(t.size() - 1).trimmed();
        }
        if (t.size() == before) return t;
    }
}

QString CatalogueName(const QString& name, bool inverted) {
    QString clean = WithoutEndPunctuation(name);
    // Dates belong beside a name, not in it: "Jirotka, Zdeněk, 1911-2003".
    static const QRegularExpression dates(QStringLiteral(",?\\s*\\(?\\d{3,4}-(\\d{3,4})?\\)?$"));
    clean = WithoutEndPunctuation(clean.remove(dates));
    if (inverted) {
        // "Čapek, Karel" -> "Čapek Karel"; a corporate name has no comma and stays.
        const qsizetype comma = clean.indexOf(u',');
        if (comma < 0) return clean;
        QString rest = clean.mid(comma + 1).trimmed();
        rest.replace(u',', u' ');
        return (clean.left(comma).trimmed() + u' ' + rest.simplified()).trimmed();
    }
    QStringList words = clean.split(u' ', Qt::SkipEmptyParts);
    // "Martin Luther King Jr.": the suffix follows the given names.
    static const QStringList suffixes = {QStringLiteral("Jr."), QStringLiteral("Sr."), QStringLiteral("Jr"),
                                         QStringLiteral("Sr"),  QStringLiteral("II"),  QStringLiteral("III")};
    QString suffix;
    if (words.size() > 2 && suffixes.contains(words.last())) suffix = words.takeLast();
    if (!words.isEmpty() && words.last().endsWith(u',')) words.last().chop(1);
    if (words.size() < 2) return (words.join(u' ') + u' ' + suffix).trimmed();
    const QString surname = words.takeLast();
    return (surname + u' ' + words.join(u' ') + u' ' + suffix).trimmed();
}

QString PagesOf(const QString& extent) {
    static const QRegularExpression plain(QStringLiteral("^\\s*(\\d+)\\s*$"));
    // The last count of pages wins: "xii, 240 s." counts the numbered ones.
    static const QRegularExpression counted(
        QStringLiteral("\\[?(\\d+)\\]?\\s*(?:s\\.|stran|str\\.|p\\.|pages|Seiten|S\\.)"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = plain.match(extent); m.hasMatch()) return m.captured(1);
    QString pages;
    for (auto it = counted.globalMatch(extent); it.hasNext();) pages = it.next().captured(1);
    return pages;
}

QString EditionOf(const QString& statement) {
    static const QRegularExpression ordinal(QStringLiteral("(\\d+)\\s*(?:\\.|st\\b|nd\\b|rd\\b|th\\b)"));
    static const QRegularExpression number(QStringLiteral("\\b(\\d+)\\b"));
    if (const auto m = ordinal.match(statement); m.hasMatch()) return m.captured(1) + u'.';
    if (const auto m = number.match(statement); m.hasMatch()) return m.captured(1) + u'.';
    return WithoutEndPunctuation(statement.trimmed());
}
