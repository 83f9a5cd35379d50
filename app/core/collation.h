#pragma once
// Locale services of the window: the linguistic, case-sensitive order of the
// user's locale for sorting authors, and the locale's lower-casing for search.
// A process locale of "C" or "POSIX" means Czech, the language of the program.
#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QString>

QLocale CatalogueLocale();
// The same choice for a given process locale name such as "cs_CZ.UTF-8" or "C".
QLocale CatalogueLocaleFor(const QString& processLocaleName);

class LocaleOrder {
public:
    LocaleOrder();
    explicit LocaleOrder(const QLocale& locale);
    int Compare(const QString& a, const QString& b) const;  // <0, 0, >0
    QCollatorSortKey SortKey(const QString& text) const;

private:
    QCollator collator_;
};

QString LocaleLower(const QString& text);

// The text as typed on a keyboard without Czech letters: case folded and
// accents dropped ("Šťastný" as "stastny"), for filters that forgive both.
QString WithoutCaseAndAccents(const QString& text);
