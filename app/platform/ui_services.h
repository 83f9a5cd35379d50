#pragma once
// Modal boxes, the input and open-file dialogs and modal showing of a dialog,
// behind one interface: the program passes the real Qt ones, tests pass a
// scripted double that records what was shown and returns preset answers.
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "app/platform/progress.h"

class QDialog;
class QUrl;

class UiServices {
public:
    virtual ~UiServices() = default;

    // The standard error box: stop icon, one OK, the program's title as caption.
    virtual void ErrorBox(const QString& caption, const QString& text) = 0;
    // A plain message box: no icon, one OK.
    virtual void PlainBox(const QString& caption, const QString& text) = 0;
    // An information box: information icon, one OK.
    virtual void InformationBox(const QString& caption, const QString& text) = 0;

    // The standard one-line input dialog, modal and centred, with "OK" (default)
    // and "Cancel"; the edit starts empty. No value unless closed with "OK".
    virtual std::optional<QString> InputQuery(const QString& caption, const QString& prompt, int maxLength) = 0;

    // The open-file dialog: starts in `initialDir`, no filter, a name of a file
    // that does not exist is accepted. No value when cancelled; else a full path.
    virtual std::optional<QString> OpenFileName(const QString& initialDir) = 0;

    // Shows `dialog` modally and returns when it has been hidden again.
    virtual void ExecModal(QDialog& dialog) = 0;

    // A question with "Ano" and "Ne" ("Ne" is the default); true for "Ano".
    virtual bool Question(const QString& caption, const QString& text) = 0;

    // A one-line input with a drop-down of `items` that also takes a typed text,
    // starting with `initial`. No value unless closed with "OK".
    virtual std::optional<QString> ItemQuery(const QString& caption, const QString& prompt, const QStringList& items,
                                             const QString& initial) = 0;

    // File dialogs with a caption and a name filter ("CSV (*.csv)"). The open one
    // takes only existing files; the save one asks before replacing a file.
    // No value when cancelled; else a full path.
    virtual std::optional<QString> ChooseOpenFile(const QString& caption, const QString& initialDir,
                                                  const QString& filter) = 0;
    virtual std::optional<QString> ChooseSaveFile(const QString& caption, const QString& initialPath,
                                                  const QString& filter) = 0;

    // Hands an address (mailto:, file:) to the desktop's handler; false when
    // no handler took it.
    virtual bool OpenUrl(const QUrl& url) = 0;

    // The error box and the question with the original behind "Podrobnosti"
    // (the message box's detailed text), so that the question and its buttons
    // stay on any screen. An empty `details` adds nothing. The default drops them.
    virtual void DetailedErrorBox(const QString& caption, const QString& text, const QString& details);
    virtual bool DetailedQuestion(const QString& caption, const QString& text, const QString& details);

    // Progress of long work over `maximum` steps, with a cancel button; shown
    // only when the work takes long enough to notice. The default shows nothing.
    virtual std::unique_ptr<Progress> StartProgress(const QString& caption, const QString& label, long long maximum);

    // A question with a button for each of `choices` (none is the default, so a
    // stray Enter chooses nothing); the index of the one pressed, none when the
    // box was closed without a choice.
    virtual std::optional<int> Choice(const QString& caption, const QString& text, const QStringList& choices) = 0;
};

// The real dialogs of the program.
class QtUiServices : public UiServices {
public:
    void ErrorBox(const QString& caption, const QString& text) override;
    void PlainBox(const QString& caption, const QString& text) override;
    void InformationBox(const QString& caption, const QString& text) override;
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt, int maxLength) override;
    std::optional<QString> OpenFileName(const QString& initialDir) override;
    void ExecModal(QDialog& dialog) override;
    bool Question(const QString& caption, const QString& text) override;
    std::optional<QString> ItemQuery(const QString& caption, const QString& prompt, const QStringList& items,
                                     const QString& initial) override;
    std::optional<QString> ChooseOpenFile(const QString& caption, const QString& initialDir,
                                          const QString& filter) override;
    std::optional<QString> ChooseSaveFile(const QString& caption, const QString& initialPath,
                                          const QString& filter) override;
    bool OpenUrl(const QUrl& url) override;
    void DetailedErrorBox(const QString& caption, const QString& text, const QString& details) override;
    bool DetailedQuestion(const QString& caption, const QString& text, const QString& details) override;
    std::unique_ptr<Progress> StartProgress(const QString& caption, const QString& label, long long maximum) override;
    std::optional<int> Choice(const QString& caption, const QString& text, const QStringList& choices) override;
};
