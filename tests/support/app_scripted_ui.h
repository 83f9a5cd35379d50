#pragma once
// A UiServices for tests: records every box and dialog request, answers from
// queues, and drives dialogs with scripts instead of a modal event loop.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "app/platform/ui_services.h"

class ScriptedUi : public UiServices {
public:
    enum class BoxKind { Error, Plain, Information, Question };
    struct Box {
        Box(BoxKind k, QString c, QString t, QString d = {})
            : kind(k), caption(std::move(c)), text(std::move(t)), details(std::move(d)) {}
        BoxKind kind;
        QString caption;
        QString text;
        QString details;  // behind "Podrobnosti"; empty when none
    };
    struct Input {
        QString caption;
        QString prompt;
        int maxLength;
    };
    using DialogScript = std::function<void(QDialog&)>;

    void ErrorBox(const QString& caption, const QString& text) override;
    void PlainBox(const QString& caption, const QString& text) override;
    void InformationBox(const QString& caption, const QString& text) override;
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt, int maxLength) override;
    std::optional<QString> OpenFileName(const QString& initialDir) override;
    // Shows the dialog non-modally, runs the next queued script (if any), and
    // then closes the dialog the way its close box would, when still shown.
    // A dialog that refuses to close stays shown and is counted in closeRefusals.
    void ExecModal(QDialog& dialog) override;
    // Recorded as a Question box; answered from the queue, "Ne" when it is empty.
    bool Question(const QString& caption, const QString& text) override;
    std::optional<QString> ItemQuery(const QString& caption, const QString& prompt, const QStringList& items,
                                     const QString& initial) override;
    std::optional<QString> ChooseOpenFile(const QString& caption, const QString& initialDir,
                                          const QString& filter) override;
    std::optional<QString> ChooseSaveFile(const QString& caption, const QString& initialPath,
                                          const QString& filter) override;
    // Recorded; answers from the queue, true when it is empty.
    bool OpenUrl(const QUrl& url) override;
    // Recorded as Error and Question boxes with their details.
    void DetailedErrorBox(const QString& caption, const QString& text, const QString& details) override;
    bool DetailedQuestion(const QString& caption, const QString& text, const QString& details) override;
    // Recorded (caption and every step); cancels at the first step that
    // reaches `cancelProgressAt`, when set.
    std::unique_ptr<Progress> StartProgress(const QString& caption, const QString& label, long long maximum) override;
    // Recorded as a Question box, its buttons in `choiceButtons`; answered from
    // the queue, closed without a choice when it is empty.
    std::optional<int> Choice(const QString& caption, const QString& text, const QStringList& choices) override;

    // Answers, used in order; an empty queue answers "cancelled".
    void QueueInput(std::optional<QString> answer) { inputAnswers.push_back(std::move(answer)); }
    void QueueFile(std::optional<QString> answer) { fileAnswers.push_back(std::move(answer)); }
    void QueueDialog(DialogScript script) { dialogScripts.push_back(std::move(script)); }
    void QueueQuestion(bool yes) { questionAnswers.push_back(yes); }
    void QueueChoice(std::optional<int> answer) { choiceAnswers.push_back(answer); }
    // ItemQuery takes its answers from the input queue.
    void QueueSaveFile(std::optional<QString> answer) { saveAnswers.push_back(std::move(answer)); }
    void QueueUrlResult(bool taken) { urlResults.push_back(taken); }

    struct ItemInput {
        QString caption;
        QString prompt;
        QStringList items;
        QString initial;
    };
    std::vector<ItemInput> itemInputs;
    std::vector<QString> urls;
    std::deque<bool> questionAnswers;
    std::deque<std::optional<int>> choiceAnswers;
    std::vector<QStringList> choiceButtons;
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<bool> urlResults;

    struct ProgressRun {
        QString caption;
        long long maximum = 0;
        std::vector<long long> steps;
    };
    std::vector<ProgressRun> progressRuns;
    std::optional<long long> cancelProgressAt;

    std::vector<Box> boxes;
    std::vector<Input> inputs;
    std::vector<QString> fileDialogDirs;
    int modalRuns = 0;
    int closeRefusals = 0;

    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<DialogScript> dialogScripts;
};
