#pragma once
// Modal boxes, the input and open-file dialogs and modal showing of a dialog,
// behind one interface: the program passes the real Qt ones, tests pass a
// scripted double that records what was shown and returns preset answers.
#include <QString>
#include <optional>

class QDialog;

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
    virtual std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                              int maxLength) = 0;

    // The open-file dialog: starts in `initialDir`, no filter, a name of a file
    // that does not exist is accepted. No value when cancelled; else a full path.
    virtual std::optional<QString> OpenFileName(const QString& initialDir) = 0;

    // Shows `dialog` modally and returns when it has been hidden again.
    virtual void ExecModal(QDialog& dialog) = 0;
};

// The real dialogs of the program.
class QtUiServices : public UiServices {
public:
    void ErrorBox(const QString& caption, const QString& text) override;
    void PlainBox(const QString& caption, const QString& text) override;
    void InformationBox(const QString& caption, const QString& text) override;
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                      int maxLength) override;
    std::optional<QString> OpenFileName(const QString& initialDir) override;
    void ExecModal(QDialog& dialog) override;
};
