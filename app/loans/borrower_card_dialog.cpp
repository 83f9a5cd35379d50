#include "app/loans/borrower_card_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

#include "app/core/loan_period.h"
#include "app/loans/borrower_address.h"
#include "app/loans/loans_window.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"

namespace {

const char* const kCaption = "karta vypůjčitele";
const QColor kOverdueText(150, 0, 0);
const QColor kOverdueBack(255, 226, 226);

QTreeWidget* MakeList(QWidget* parent, const QString& name, const QStringList& titles) {
    auto* list = new QTreeWidget(parent);
    list->setAccessibleName(name);
    list->setHeaderLabels(titles);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->header()->setSectionsMovable(false);
    list->setColumnWidth(0, 150);
    list->setColumnWidth(1, 220);
    return list;
}

QLabel* ListLabel(QWidget* parent, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

BorrowerCardDialog::BorrowerCardDialog(CatalogueSession& session, const QString& name, QWidget* parent)
    : QDialog(parent), session_(session), identity_(BorrowerIdentity(name)),
      name_(QString(name).remove(QChar(u'\0')).trimmed()), today_(QDate::currentDate()) {
    setWindowTitle(QString::fromUtf8(kCaption) + QStringLiteral(" – ") + name_);
    resize(760, 520);
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    title_->setFont(bold);
    title_->setTextFormat(Qt::PlainText);
    layout->addWidget(title_);
    auto* addressRow = new QHBoxLayout;
    addressLabel_ = new QLabel(this);
    addressLabel_->setTextFormat(Qt::PlainText);
    addressLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    email_ = new QPushButton(QStringLiteral("změnit &e-mail…"), this);
    email_->setAutoDefault(false);
    addressRow->addWidget(addressLabel_, 1);
    addressRow->addWidget(email_);
    layout->addLayout(addressRow);
    summary_ = new QLabel(this);
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    layout->addWidget(summary_);

    out_ = MakeList(this, QStringLiteral("vypůjčeno nyní"),
                    {QStringLiteral("autor"), QStringLiteral("titul"), QStringLiteral("zapůjčeno kdy"),
                     QStringLiteral("dní"), QStringLiteral("stav")});
    finished_ = MakeList(this, QStringLiteral("vráceno dříve"),
                         {QStringLiteral("autor"), QStringLiteral("titul"), QStringLiteral("půjčeno"),
                          QStringLiteral("vráceno"), QStringLiteral("dní")});
    out_->setColumnWidth(OutKdy, 110);
    out_->setColumnWidth(OutDni, 50);
    finished_->setColumnWidth(FinishedKdy, 110);
    finished_->setColumnWidth(FinishedVraceno, 90);
    finished_->setColumnWidth(FinishedDni, 50);
    layout->addWidget(ListLabel(this, QStringLiteral("&vypůjčeno nyní:"), out_));
    layout->addWidget(out_, 1);
    finishedLabel_ = ListLabel(this, QString(), finished_);
    layout->addWidget(finishedLabel_);
    layout->addWidget(finished_, 1);

    auto* buttons = new QHBoxLayout;
    remind_ = new QPushButton(QStringLiteral("&připomenout"), this);
    remind_->setAutoDefault(false);
    auto* close = new QPushButton(QStringLiteral("&zavřít"), this);
    close->setAutoDefault(false);
    buttons->addWidget(remind_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    UiServices& ui = session_.Ui();
    connect(email_, &QPushButton::clicked, this, [this, &ui] { RunGuarded(ui, [this] { emailbClick(); }); });
    connect(remind_, &QPushButton::clicked, this, [this, &ui] { RunGuarded(ui, [this] { pripomenoutbClick(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    const auto follow = [this] {
        if (isVisible()) RunGuarded(session_.Ui(), [this] { Refresh(); });
    };
    connect(&session_, &CatalogueSession::RowsChanged, this, follow);
    connect(&session_, &CatalogueSession::CatalogueChanged, this, follow);
}

void BorrowerCardDialog::Refresh() {
    period_ = ReadLoanPeriod(session_.SettingsPath());
    card_ = ReadBorrowerCard(session_.Connection(), name_, today_, period_);
    address_ = ReadBorrowerAddress(session_.SettingsPath(), name_);
    Fill();
}

void BorrowerCardDialog::Fill() {
    const int period = period_;
    title_->setText(name_);
    addressLabel_->setText(QStringLiteral("e-mail: ") + (address_.isEmpty() ? QStringLiteral("nezadán") : address_));
    summary_->setText(BorrowerCardSummary(card_, today_, period));
    remind_->setEnabled(!card_.out.empty());

    out_->clear();
    QList<QTreeWidgetItem*> rows;
    for (const Loan& loan : card_.out) {
        const QString days = loan.date.Known() ? QString::number(loan.date.DaysOut(today_)) : QString();
        auto* row = new QTreeWidgetItem(
            QStringList{loan.autor, loan.titul, loan.kdy, days, LoanStatus(loan.date, today_, period)});
        row->setTextAlignment(OutDni, Qt::AlignRight | Qt::AlignVCenter);
        if (IsOverdue(loan.date, today_, period))
            for (int c = 0; c < OutColumnCount; ++c) {
                row->setForeground(c, kOverdueText);
                row->setBackground(c, kOverdueBack);
            }
        rows.append(row);
    }
    out_->addTopLevelItems(rows);

    finished_->clear();
    rows.clear();
    for (const BorrowerCard::Finished& loan : card_.finished) {
        auto* row = new QTreeWidgetItem(QStringList{loan.autor, loan.titul, loan.kdy, loan.returned,
                                                    loan.days >= 0 ? QString::number(loan.days) : QString()});
        row->setTextAlignment(FinishedDni, Qt::AlignRight | Qt::AlignVCenter);
        rows.append(row);
    }
    finished_->addTopLevelItems(rows);
    finishedLabel_->setText(QStringLiteral("&dříve vráceno (%1):").arg(card_.finished.size()));
}

void BorrowerCardDialog::emailbClick() {
    UiServices& ui = session_.Ui();
    const QString caption = QString::fromUtf8(kCaption);
    // The edit starts with the address kept, so a typo is mended, not typed again.
    const std::optional<QString> typed = ui.ItemQuery(
        caption, QStringLiteral("E-mailová adresa vypůjčitele „%1“ (prázdné pole adresu smaže):").arg(name_),
        address_.isEmpty() ? QStringList() : QStringList{address_}, address_);
    if (!typed) return;
    const QString address = typed->trimmed();
    if (address == address_) return;
    if (!address.isEmpty() && !IsEmailAddress(address)) {
        ui.ErrorBox(caption,
                    QStringLiteral("„%1“ není e-mailová adresa; zadejte ji ve tvaru jmeno@domena.cz.").arg(address));
        return;
    }
    WriteBorrowerAddress(session_.SettingsPath(), name_, address);
    address_ = ReadBorrowerAddress(session_.SettingsPath(), name_);
    Fill();
}

void BorrowerCardDialog::pripomenoutbClick() {
    if (card_.out.empty()) {
        session_.Ui().InformationBox(QString::fromUtf8(kCaption),
                                     QStringLiteral("Vypůjčitel nemá nyní vypůjčenou žádnou knihu."));
        return;
    }
    std::vector<const Loan*> loans;
    for (const Loan& loan : card_.out) loans.push_back(&loan);
    const QUrl url(LoansWindow::ReminderUrl(loans, address_), QUrl::StrictMode);
    if (!session_.Ui().OpenUrl(url)) throw std::runtime_error("E-mailový program se nepodařilo otevřít.");
}

BorrowerCardDialog* ShowBorrowerCard(CatalogueSession& session, const QString& name) {
    const QString identity = BorrowerIdentity(name);
    if (identity.isEmpty()) {
        session.Ui().InformationBox(QString::fromUtf8(kCaption),
                                    QStringLiteral("Výpůjčky bez jména vypůjčitele nemají kartu."));
        return nullptr;
    }
    QWidget& owner = session.Window();
    const auto open = owner.findChildren<BorrowerCardDialog*>(Qt::FindDirectChildrenOnly);
    const auto same = std::find_if(
        open.begin(), open.end(), [&identity](const BorrowerCardDialog* card) { return card->Identity() == identity; });
    BorrowerCardDialog* card = same != open.end() ? *same : new BorrowerCardDialog(session, name, &owner);
    if (same == open.end()) {
        card->setAttribute(Qt::WA_DeleteOnClose);
        session.PlaceOverWindow(*card);
    }
    card->Refresh();
    card->show();
    card->raise();
    card->activateWindow();
    return card;
}
