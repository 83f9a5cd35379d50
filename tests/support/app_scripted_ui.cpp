#include "support/app_scripted_ui.h"

#include <QCoreApplication>
#include <QDialog>

void ScriptedUi::ErrorBox(const QString& caption, const QString& text) {
    boxes.push_back({BoxKind::Error, caption, text});
}

void ScriptedUi::PlainBox(const QString& caption, const QString& text) {
    boxes.push_back({BoxKind::Plain, caption, text});
}

void ScriptedUi::InformationBox(const QString& caption, const QString& text) {
    boxes.push_back({BoxKind::Information, caption, text});
}

std::optional<QString> ScriptedUi::InputQuery(const QString& caption, const QString& prompt,
                                              int maxLength) {
    inputs.push_back({caption, prompt, maxLength});
    if (inputAnswers.empty()) return std::nullopt;
    const bool accepted = inputAnswers.front().has_value();
    QString text = accepted ? *inputAnswers.front() : QString();
    inputAnswers.pop_front();
    if (!accepted) return std::nullopt;
    // The real edit cuts what is typed at its length.
    if (maxLength > 0 && text.size() > maxLength) text.truncate(maxLength);
    return text;
}

std::optional<QString> ScriptedUi::OpenFileName(const QString& initialDir) {
    fileDialogDirs.push_back(initialDir);
    if (fileAnswers.empty()) return std::nullopt;
    const bool chosen = fileAnswers.front().has_value();
    const QString path = fileAnswers.front().value_or(QString());
    fileAnswers.pop_front();
    return chosen ? std::make_optional(path) : std::nullopt;
}

void ScriptedUi::ExecModal(QDialog& dialog) {
    ++modalRuns;
    dialog.show();
    QCoreApplication::processEvents();
    if (!dialogScripts.empty()) {
        DialogScript script = std::move(dialogScripts.front());
        dialogScripts.pop_front();
        script(dialog);
    }
    if (dialog.isVisible()) {
        // close() goes through closeEvent and reject(), as the close box does.
        dialog.close();
        if (dialog.isVisible()) ++closeRefusals;
    }
    QCoreApplication::processEvents();
}
