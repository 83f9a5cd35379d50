#include "app/core/codepage.h"

#include <iconv.h>

#include <array>
#include <vector>

namespace {

// Both directions as tables, built once: conversion runs for every tree node,
// so it must not go through iconv per text.
struct Tables {
    std::array<char16_t, 256> decode{};
    // Index: UTF-16 code unit; value: byte + 1, 0 meaning "not in the code page".
    std::vector<unsigned short> encode = std::vector<unsigned short>(0x10000, 0);
};

Tables BuildTables() {
    Tables t;
    iconv_t cd = iconv_open("UTF-16LE", "WINDOWS-1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-16LE", "CP1250");
    for (int b = 0; b < 256; ++b) {
        // Bytes the code page leaves undefined keep their number as code point.
        char16_t ch = static_cast<char16_t>(b);
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            char in = static_cast<char>(b);
            unsigned char out[4] = {};
            char* inp = &in;
            char* outp = reinterpret_cast<char*>(out);
            size_t inLeft = 1, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) && sizeof out - outLeft == 2)
                ch = static_cast<char16_t>(out[0] | (out[1] << 8));
        } else if (b >= 0x80) {
            // Without iconv only ASCII is known; the rest would be guessed wrong.
            ch = 0xFFFD;
        }
        t.decode[b] = ch;
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    for (int b = 0; b < 256; ++b)
        if (t.decode[b] != 0xFFFD) t.encode[t.decode[b]] = static_cast<unsigned short>(b + 1);
    return t;
}

const Tables& Get() {
    static const Tables tables = BuildTables();
    return tables;
}

// The offending character as a whole code point (an emoji is two UTF-16 units).
QString CharacterAt(const QString& text, qsizetype i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) return text.mid(i, 2);
    return text.mid(i, 1);
}

qsizetype FirstUnfit(const QString& text) {
    const auto& enc = Get().encode;
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0, n = text.size(); i < n; ++i)
        if (enc[p[i]] == 0) return i;
    return -1;
}

}  // namespace

QString FromCodePage(std::string_view bytes) {
    const auto& dec = Get().decode;
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (size_t i = 0; i < bytes.size(); ++i) d[i] = QChar(dec[static_cast<unsigned char>(bytes[i])]);
    return out;
}

std::string ToCodePage(const QString& text) {
    const auto& enc = Get().encode;
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    std::string out(static_cast<size_t>(text.size()), '\0');
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        unsigned short b = enc[p[i]];
        if (b == 0) {
            QString ch = CharacterAt(text, i);
            char32_t cp = ch.size() == 2 ? QChar::surrogateToUcs4(ch[0], ch[1]) : ch[0].unicode();
            QString message =
                QStringLiteral(
                    "Text obsahuje znak „%1“ (U+%2), který katalog neumí "
                    "uložit (kódová stránka Windows-1250).")
                    .arg(ch, QString::number(static_cast<uint>(cp), 16).rightJustified(4, QLatin1Char('0')).toUpper());
            throw CodePageError(message.toStdString(), ch);
        }
        out[static_cast<size_t>(i)] = static_cast<char>(b - 1);
    }
    return out;
}

bool FitsCodePage(const QString& text, QString* bad) {
    qsizetype i = FirstUnfit(text);
    if (i < 0) return true;
    if (bad) *bad = CharacterAt(text, i);
    return false;
}
