#include "app/core/collation.h"

#include <clocale>
#include <cstdlib>

namespace {

bool IsPlainCLocale(const QString& name) {
    return name.isEmpty() || name == u"C" || name == u"POSIX" || name.startsWith(u"C.") || name.startsWith(u"POSIX.");
}

// The locale the process runs in: what setlocale reports (QApplication has
// already called setlocale(LC_ALL, "")), else the environment the way the C
// library reads it.
QString ProcessLocaleName() {
    if (const char* c = std::setlocale(LC_COLLATE, nullptr); c && !IsPlainCLocale(QString::fromLocal8Bit(c)))
        return QString::fromLocal8Bit(c);
    for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return QString::fromLocal8Bit(v);
    }
    return {};
}

}  // namespace

QLocale CatalogueLocaleFor(const QString& processLocaleName) {
    // The program speaks Czech: a process without a locale of its own sorts
    // and folds like a Czech one, not by byte values.
    if (IsPlainCLocale(processLocaleName)) return QLocale(QLocale::Czech, QLocale::CzechRepublic);
    QLocale locale(processLocaleName.section(u'.', 0, 0).section(u'@', 0, 0));
    if (locale.language() == QLocale::C) return QLocale(QLocale::Czech, QLocale::CzechRepublic);
    return locale;
}

QLocale CatalogueLocale() {
    QString name = ProcessLocaleName();
    if (IsPlainCLocale(name)) return CatalogueLocaleFor(name);
    QLocale system = QLocale::system();
    return system.language() == QLocale::C ? CatalogueLocaleFor(name) : system;
}

LocaleOrder::LocaleOrder() : LocaleOrder(CatalogueLocale()) {}

LocaleOrder::LocaleOrder(const QLocale& locale) : collator_(locale) {
    collator_.setCaseSensitivity(Qt::CaseSensitive);
    collator_.setNumericMode(false);
    collator_.setIgnorePunctuation(false);
}

int LocaleOrder::Compare(const QString& a, const QString& b) const { return collator_.compare(a, b); }

QCollatorSortKey LocaleOrder::SortKey(const QString& text) const { return collator_.sortKey(text); }

QString LocaleLower(const QString& text) {
    static const QLocale locale = CatalogueLocale();
    return locale.toLower(text);
}

QString WithoutCaseAndAccents(const QString& text) {
    const QString decomposed = text.toCaseFolded().normalized(QString::NormalizationForm_KD);
    QString plain;
    plain.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) plain += c;
    return plain;
}
