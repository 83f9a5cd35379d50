#pragma once
// The engine's and the system's English failure messages said in Czech; the
// original goes behind the box's "Podrobnosti", where it helps whoever digs further.
#include <QString>

// A Czech wording, starting with a small letter, for a message of the engine
// ("database or disk is full"), of the system ("Read-only file system") or of
// Qt's file classes; a message it does not know comes back as it is.
QString CzechSystemMessage(const QString& original);

// The same for a system error number.
QString CzechSystemError(int error);
// The system's own (English) text for an error number, for the details.
QString SystemErrorText(int error);

// What goes behind "Podrobnosti": the original when the Czech wording replaced it.
QString SystemDetails(const QString& original);
