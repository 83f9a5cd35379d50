#include "app/transfer/readers/nearest_form.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>

#include "app/core/codepage.h"

namespace {

icu::UnicodeString ToIcu(const QString& text) {
    return icu::UnicodeString(reinterpret_cast<const UChar*>(text.utf16()), static_cast<int32_t>(text.size()));
}

QString FromIcu(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

// Made once: building a transliterator parses its rules. The readers run on
// one thread at a time, so sharing them is safe.
const icu::Transliterator* Transliterator(const char* id) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> made(
        icu::Transliterator::createInstance(icu::UnicodeString::fromUTF8(id), UTRANS_FORWARD, status));
    return U_SUCCESS(status) ? made.release() : nullptr;
}

QString Transliterated(const icu::Transliterator* t, const QString& text) {
    if (!t) return text;
    icu::UnicodeString u = ToIcu(text);
    t->transliterate(u);
    return FromIcu(u);
}

// One character (a surrogate pair counts as one) as the code page can hold it.
QString StorableCharacters(const QString& text) {
    static const icu::Transliterator* const ascii = Transliterator("Latin-ASCII");
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, length);
        i += length;
        if (FitsCodePage(one)) {
            out += one;
            continue;
        }
        // ŝ, ē, ø: a letter of another Latin alphabet loses its mark.
        const QString plain = Transliterated(ascii, one);
        if (FitsCodePage(plain)) out += plain;
    }
    return out;
}

// A word with characters the code page lacks: each run of them goes through
// "Any-Latin" (Cyrillic as Čehov, Žukov, Greek, CJK), whose result keeps the
// letters the code page has and loses the marks it lacks.
QString StorableWord(const QString& word) {
    static const icu::Transliterator* const latin = Transliterator("Any-Latin");
    QString out;
    qsizetype i = 0;
    while (i < word.size()) {
        qsizetype end = i;
        const bool fits = FitsCodePage(word.mid(i, 1));
        while (end < word.size() && FitsCodePage(word.mid(end, 1)) == fits) ++end;
        const QString run = word.mid(i, end - i);
        out += fits ? run : StorableCharacters(Transliterated(latin, run));
        i = end;
    }
    return out;
}

}  // namespace

QString NearestStorableForm(const QString& text, QStringList* changes) {
    if (FitsCodePage(text)) return text;
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype end = i;
        const bool space = text[i].isSpace();
        while (end < text.size() && text[end].isSpace() == space) ++end;
        const QString part = text.mid(i, end - i);
        i = end;
        if (space) {
            // An ideographic or em space is a space all the same.
            out += FitsCodePage(part) ? part : QString(part.size(), u' ');
            continue;
        }
        if (FitsCodePage(part)) {
            out += part;
            continue;
        }
        const QString stored = StorableWord(part);
        out += stored;
        if (changes)
            changes->append(stored.isEmpty() ? QStringLiteral("%1 vynecháno").arg(part)
                                             : QStringLiteral("%1 → %2").arg(part, stored));
    }
    return out;
}
