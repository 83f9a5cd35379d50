#include "support/app_scripted_ui.h"

#include <QCoreApplication>
#include <QDialog>

void ScriptedUi::ErrorBox(const QString& caption, const QString& text) {
    boxes.push_back({BoxKind::Error, caption, text, {}});
}

void ScriptedUi::PlainBox(const QString& caption, const QString& text) {
    boxes.push_back({BoxKind::Plain, caption, text, {}});
}

void ScriptedUi::InformationBox(const QString& caption, const QString& text) {
    boxes.push_back({BoxKind::Information, caption, text, {}});
}

std::optional<QString> ScriptedUi::InputQuery(const QString& caption, const QString& prompt, int maxLength) {
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

namespace {
// Written without moving the optional itself, which GCC 12 misreads as
// possibly uninitialised.
std::optional<QString> TakeFront(std::deque<std::optional<QString>>& queue) {
    if (queue.empty()) return std::nullopt;
    const bool given = queue.front().has_value();
    const QString text = queue.front().value_or(QString());
    queue.pop_front();
    return given ? std::make_optional(text) : std::nullopt;
}
}  // namespace

bool ScriptedUi::Question(const QString& caption, const QString& text) { return DetailedQuestion(caption, text, {}); }

void ScriptedUi::DetailedErrorBox(const QString& caption, const QString& text, const QString& details) {
    boxes.push_back({BoxKind::Error, caption, text, details});
}

bool ScriptedUi::DetailedQuestion(const QString& caption, const QString& text, const QString& details) {
    boxes.push_back({BoxKind::Question, caption, text, details});
    if (questionAnswers.empty()) return false;
    const bool yes = questionAnswers.front();
    questionAnswers.pop_front();
    return yes;
}

std::optional<QString> ScriptedUi::ItemQuery(const QString& caption, const QString& prompt, const QStringList& items,
                                             const QString& initial) {
    itemInputs.push_back({caption, prompt, items, initial});
    return TakeFront(inputAnswers);
}

std::optional<QString> ScriptedUi::ChooseOpenFile(const QString&, const QString& initialDir, const QString&) {
    fileDialogDirs.push_back(initialDir);
    return TakeFront(fileAnswers);
}

std::optional<QString> ScriptedUi::ChooseSaveFile(const QString&, const QString& initialPath, const QString&) {
    fileDialogDirs.push_back(initialPath);
    return TakeFront(saveAnswers);
}

bool ScriptedUi::OpenUrl(const QUrl& url) {
    urls.push_back(url.toString());
    if (urlResults.empty()) return true;
    const bool taken = urlResults.front();
    urlResults.pop_front();
    return taken;
}

namespace {
class ScriptedProgress : public Progress {
public:
    ScriptedProgress(ScriptedUi& ui, size_t run) : ui_(ui), run_(run) {}
    bool Step(long long done) override {
        ui_.progressRuns[run_].steps.push_back(done);
        return !(ui_.cancelProgressAt && done >= *ui_.cancelProgressAt);
    }

private:
    ScriptedUi& ui_;
    size_t run_;
};
}  // namespace

std::unique_ptr<Progress> ScriptedUi::StartProgress(const QString& caption, const QString&, long long maximum) {
    progressRuns.push_back({caption, maximum, {}});
    return std::make_unique<ScriptedProgress>(*this, progressRuns.size() - 1);
}

std::optional<int> ScriptedUi::Choice(const QString& caption, const QString& text, const QStringList& choices) {
    boxes.push_back({BoxKind::Question, caption, text, {}});
    choiceButtons.push_back(choices);
    if (choiceAnswers.empty()) return std::nullopt;
    const std::optional<int> answer = choiceAnswers.front();
    choiceAnswers.pop_front();
    return answer;
}
