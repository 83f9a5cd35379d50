// Catalogue names and titles from library catalogues' texts.
#include "app/isbn/found_record.h"

#include <QStringList>

QString WithoutEndPunctuation(const QString& text) {
    QString t = text.trimmed();
    for (;;) {
        const qsizetype before = t.size();
        while (!t.isEmpty() &&
               (t.endsWith(u'/') || t.endsWith(u':') || t.endsWith(u';') || t.endsWith(u'=') || t.endsWith(u',')))
            t = t.left(t.size() - 1).trimmed();
        // "Praha : Odeon, 1990." keeps nothing of the full stop; an initial ("Karel J.") keeps it.
        if (t.endsWith(u'.')) {
            const qsizetype space = t.lastIndexOf(u' ');
            const QString lastWord = t.mid(space + 1);
            if (lastWord.size() > 2) t = t.left(t.size() - 1).trimmed();
        }
        if (t.size() == before) return t;
    }
}

QString CatalogueName(const QString& name, bool inverted) {
    const QString clean = WithoutEndPunctuation(name);
    if (inverted) {
        // "Čapek, Karel" -> "Čapek Karel"; a corporate name has no comma and stays.
        const qsizetype comma = clean.indexOf(u',');
        if (comma < 0) return clean;
        return (clean.left(comma).trimmed() + u' ' + clean.mid(comma + 1).trimmed()).trimmed();
    }
    QStringList words = clean.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2) return clean;
    const QString surname = words.takeLast();
    return surname + u' ' + words.join(u' ');
}
