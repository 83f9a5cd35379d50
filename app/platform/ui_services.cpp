#include "app/platform/ui_services.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QUrl>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Qt names the details button of a message box in English; the window speaks Czech.
class DetailsButtonCzech : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (qstrcmp(context, "QMessageBox") != 0) return {};
        if (qstrcmp(source, "Show Details...") == 0) return QString::fromUtf8("Podrobnosti…");
        if (qstrcmp(source, "Hide Details...") == 0) return QString::fromUtf8("Skrýt podrobnosti");
        return {};
    }
    bool isEmpty() const override { return false; }
};

void SetDetails(QMessageBox& box, const QString& details) {
    if (details.isEmpty()) return;
    static DetailsButtonCzech* czech = [] {
        auto* translator = new DetailsButtonCzech;
        QCoreApplication::installTranslator(translator);
        return translator;
    }();
    (void)czech;
    box.setDetailedText(details);
}

void ShowBox(QMessageBox::Icon icon, const QString& caption, const QString& text, const QString& details = {}) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    SetDetails(box, details);
    box.exec();
}

// Centre over the active window, or over the screen when there is none.
void Centre(QWidget& dialog) {
    dialog.adjustSize();
    QRect area;
    if (QWidget* owner = QApplication::activeWindow())
        area = owner->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid()) dialog.move(area.center() - dialog.rect().center());
}

}  // namespace

void QtUiServices::ErrorBox(const QString& caption, const QString& text) {
    ShowBox(QMessageBox::Critical, caption, text);
}

void QtUiServices::PlainBox(const QString& caption, const QString& text) {
    ShowBox(QMessageBox::NoIcon, caption, text);
}

void QtUiServices::InformationBox(const QString& caption, const QString& text) {
    ShowBox(QMessageBox::Information, caption, text);
}

std::optional<QString> QtUiServices::InputQuery(const QString& caption, const QString& prompt, int maxLength) {
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(prompt, &dialog);
    auto* edit = new QLineEdit(&dialog);
    if (maxLength > 0) edit->setMaxLength(maxLength);
    label->setBuddy(edit);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(320);
    Centre(dialog);
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return edit->text();
}

std::optional<QString> QtUiServices::OpenFileName(const QString& initialDir) {
    QFileDialog dialog(QApplication::activeWindow(), QString(), initialDir);
    // A name of a file that does not exist is accepted and handed on as typed.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return QFileInfo(files.first()).absoluteFilePath();
}

void QtUiServices::ExecModal(QDialog& dialog) { dialog.exec(); }

bool QtUiServices::Question(const QString& caption, const QString& text) { return DetailedQuestion(caption, text, {}); }

void QtUiServices::DetailedErrorBox(const QString& caption, const QString& text, const QString& details) {
    ShowBox(QMessageBox::Critical, caption, text, details);
}

bool QtUiServices::DetailedQuestion(const QString& caption, const QString& text, const QString& details) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    SetDetails(box, details);
    QPushButton* yes = box.addButton(QStringLiteral("&Ano"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Ne"), QMessageBox::NoRole);
    // A stray Enter must not confirm a change to the catalogue.
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

std::optional<int> QtUiServices::Choice(const QString& caption, const QString& text, const QStringList& choices) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    std::vector<QAbstractButton*> buttons;
    for (const QString& choice : choices) buttons.push_back(box.addButton(choice, QMessageBox::ActionRole));
    box.exec();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
    return std::nullopt;
}

std::optional<QString> QtUiServices::ItemQuery(const QString& caption, const QString& prompt, const QStringList& items,
                                               const QString& initial) {
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(prompt, &dialog);
    auto* combo = new QComboBox(&dialog);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setEditText(initial);
    label->setBuddy(combo);
    combo->setAccessibleName(label->text().remove(QLatin1Char('&')));
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Storno"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(combo);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(320);
    Centre(dialog);
    combo->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return combo->currentText();
}

std::optional<QString> QtUiServices::ChooseOpenFile(const QString& caption, const QString& initialDir,
                                                    const QString& filter) {
    QFileDialog dialog(QApplication::activeWindow(), caption, initialDir, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return QFileInfo(files.first()).absoluteFilePath();
}

std::optional<QString> QtUiServices::ChooseSaveFile(const QString& caption, const QString& initialPath,
                                                    const QString& filter) {
    QFileDialog dialog(QApplication::activeWindow(), caption, initialPath, filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return QFileInfo(files.first()).absoluteFilePath();
}

bool QtUiServices::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

void UiServices::DetailedErrorBox(const QString& caption, const QString& text, const QString&) {
    ErrorBox(caption, text);
}

bool UiServices::DetailedQuestion(const QString& caption, const QString& text, const QString&) {
    return Question(caption, text);
}

std::unique_ptr<Progress> UiServices::StartProgress(const QString&, const QString&, long long) {
    return std::make_unique<SilentProgress>();
}

namespace {

// A modal progress dialog; the steps are scaled to the int range it counts in.
class DialogProgress : public Progress {
public:
    DialogProgress(const QString& caption, const QString& label, long long maximum)
        : dialog_(label, QStringLiteral("Storno"), 0, kScale, QApplication::activeWindow()),
          maximum_(maximum > 0 ? maximum : 1) {
        dialog_.setWindowTitle(caption);
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setMinimumDuration(400);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setValue(0);
    }
    bool Step(long long done) override {
        // A modal progress dialog handles pending events in setValue, which is
        // where a click on "Storno" arrives.
        dialog_.setValue(static_cast<int>(std::min(done, maximum_) * kScale / maximum_));
        return !dialog_.wasCanceled();
    }

private:
    static constexpr int kScale = 1000;
    QProgressDialog dialog_;
    long long maximum_;
};

}  // namespace

std::unique_ptr<Progress> QtUiServices::StartProgress(const QString& caption, const QString& label, long long maximum) {
    return std::make_unique<DialogProgress>(caption, label, maximum);
}
