#pragma once
// The standard error box: how a failure that no handler catches is shown.
#include <QString>
#include <functional>

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
