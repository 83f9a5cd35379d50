#pragma once
// Failures of the engine and of the system said in Czech. The cause is decided
// from numbers (the engine's extended result code, the system's error number),
// never from the English text, which goes behind the box's "Podrobnosti".
#include <QFileDevice>
#include <QString>

// The cause as a part of a sentence, starting with a small letter and without
// a full stop ("na disku není volné místo"); `systemError` counts only where the
// engine's code says the system failed.
QString EngineFailureCause(int engineCode, int systemError);
// The same as whole sentences for a box of its own, with what the user can do
// ("Katalog právě používá jiný program. Zkuste to znovu za chvíli.").
QString EngineFailureSentence(int engineCode, int systemError);

// The cause of a system error number, as a part of a sentence.
QString CzechSystemError(int error);
// The system's own (English) text for an error number, for the details.
QString SystemErrorText(int error);

// A failure whose text was made from a system error number by SystemErrorText,
// possibly after a prefix ("cannot write x: Permission denied"): the number is
// found again from that text and said in Czech. A text of no error number
// comes back as it is.
QString CzechSystemMessage(const QString& original);
// What goes behind "Podrobnosti": the original when the Czech wording replaced it.
QString SystemDetails(const QString& original);

// The cause of a failed file operation of Qt's file classes, as a part of a
// sentence: from the system's error number when the call left one, else from
// the kind of failure Qt reports.
QString CzechFileError(QFileDevice::FileError error, int systemError);
