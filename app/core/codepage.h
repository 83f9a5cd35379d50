#pragma once
// The catalogue's 8-bit code page (Windows-1250) at the window's edge. Below
// the window every text is these bytes; the controls hold QString.
#include <QString>
#include <stdexcept>
#include <string>
#include <string_view>

// A text holds a character that the code page cannot hold. The message is
// for the user and names the character.
class CodePageError : public std::runtime_error {
public:
    CodePageError(const std::string& message, QString character)
        : std::runtime_error(message), character_(std::move(character)) {}
    const QString& Character() const { return character_; }

private:
    QString character_;
};

// Every byte converts; the five bytes the code page leaves undefined map to
// the code points of the same number, so that any stored text survives.
QString FromCodePage(std::string_view bytes);
// Throws CodePageError naming the first character the code page cannot hold.
std::string ToCodePage(const QString& text);
// Whether `text` converts without loss; `bad` receives the first offending character.
bool FitsCodePage(const QString& text, QString* bad = nullptr);
