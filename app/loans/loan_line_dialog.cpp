#include "app/loans/loan_line_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "app/core/loan_date.h"

LoanLineDialog::LoanLineDialog(const QString& komu, const QString& kdy, const QString& returned, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("oprava řádku historie"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const auto field = [&](const QString& caption, const QString& text) {
        auto* edit = new QLineEdit(text, this);
        edit->setMaxLength(255);
        auto* label = new QLabel(caption, this);
        label->setBuddy(edit);
        form->addRow(label, edit);
        return edit;
    };
    komu_ = field(QStringLiteral("&vypůjčitel:"), komu);
    kdy_ = field(QStringLiteral("&půjčeno:"), kdy);
    returned_ = field(QStringLiteral("v&ráceno (d.m.rrrr):"), returned);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Zrušit"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

namespace {

// d.m.yyyy, blanks after the dots allowed ("5. 3. 2024"); an invalid date when it is none.
QDate ReturnDay(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2})\\.\\s*(\\d{1,2})\\.\\s*(\\d{4})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) return {};
    return QDate(match.captured(3).toInt(), match.captured(2).toInt(), match.captured(1).toInt());
}

}  // namespace

MendCheck CheckMendedLoanLine(const MendedLoanLine& shown, const MendedLoanLine& typed, const QDate& today) {
    MendedLoanLine line{typed.komu, typed.kdy.trimmed(), typed.returned.trimmed()};
    const bool kdyChanged = line.kdy != shown.kdy.trimmed();
    const bool returnChanged = line.returned != shown.returned;
    if (!kdyChanged) line.kdy = shown.kdy;  // kept byte for byte, blanks and all
    const QDate returned = ReturnDay(line.returned);
    if (!returned.isValid())
        return {{},
                QStringLiteral("Datum vrácení „%1“ není platný den. Zadejte ho jako den.měsíc.rok, např. 5.3.2024.")
                    .arg(line.returned)};
    if (returnChanged) line.returned = returned.toString(QStringLiteral("d.M.yyyy"));
    if (!kdyChanged && !returnChanged) return {line, {}};
    if (returned > today) return {{}, QStringLiteral("Datum vrácení %1 je v budoucnosti.").arg(line.returned)};
    if (line.kdy.isEmpty()) return {line, {}};  // a loan whose date was never typed
    const LoanDate begun = ReadLoanDate(line.kdy, today);
    if (kdyChanged && (!begun.Known() || begun.impossible))
        return {
            {},
            QStringLiteral("„%1“ není platné datum výpůjčky. Zadejte např. 5.3.2024 nebo březen 2024.").arg(line.kdy)};
    if (kdyChanged && begun.Future(today))
        return {{}, QStringLiteral("Datum výpůjčky „%1“ je v budoucnosti.").arg(line.kdy)};
    if (begun.Known() && returned < begun.first)
        return {
            {},
            QStringLiteral("Kniha nemůže být vrácena %1, dříve než byla půjčena (%2).").arg(line.returned, line.kdy)};
    return {line, {}};
}
