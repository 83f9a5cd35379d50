#pragma once
// The standard error box: how a failure that no handler catches is shown.
#include <QString>
#include <functional>
#include <stdexcept>

class UiServices;

// The program's title: the executable's file name up to its first dot, every
// character after the first lower-cased.
QString ProgramTitle();
QString ProgramTitleFor(const QString& executablePath);

// The message with a full stop appended when its last character sorts after
// "." (a letter, a digit, ":" or "?"), not after ".", "!", ")", a quote or a blank.
QString ErrorBoxText(const QString& message);

// Runs a handler; an exception that ends it is shown in the standard error box
// and goes no further, so none crosses the Qt event loop. Returns false when
// the handler failed.
bool RunGuarded(UiServices& ui, const std::function<void()>& handler);

// A failure told in Czech, with the system's or the engine's own words for the
// box's "Podrobnosti". RunGuarded shows both.
class DetailedFailure : public std::runtime_error {
public:
    DetailedFailure(const QString& text, const QString& details)
        : std::runtime_error(text.toStdString()), text_(text), details_(details) {}
    const QString& Text() const { return text_; }
    const QString& Details() const { return details_; }

private:
    QString text_;
    QString details_;
};
