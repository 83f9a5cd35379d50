#pragma once
// "karta vypůjčitele": one borrower's books out now and loans finished before,
// with the number of books out, the longest overdue, and the borrower's e-mail
// address for reminders. Non-modal; read anew after every change of the
// catalogue while shown.
#include <QDate>
#include <QDialog>

#include "app/loans/borrower_card.h"

class CatalogueSession;
class QLabel;
class QPushButton;
class QTreeWidget;

class BorrowerCardDialog : public QDialog {
    Q_OBJECT
public:
    enum OutColumn { OutAutor, OutTitul, OutKdy, OutDni, OutStav, OutColumnCount };
    enum FinishedColumn {
        FinishedAutor,
        FinishedTitul,
        FinishedKdy,
        FinishedVraceno,
        FinishedDni,
        FinishedColumnCount
    };

    BorrowerCardDialog(CatalogueSession& session, const QString& name, QWidget* parent);

    // Reads the borrower's loans and address anew; done by itself after every
    // change of the catalogue while shown.
    void Refresh();
    // The day loans are counted to; today unless a test fixes it.
    void SetToday(const QDate& today) { today_ = today; }

    const QString& Identity() const { return identity_; }
    const BorrowerCard& Card() const { return card_; }
    QString Address() const { return address_; }
    QLabel* SummaryLabel() const { return summary_; }
    QLabel* AddressLabel() const { return addressLabel_; }
    QTreeWidget* OutList() const { return out_; }
    QTreeWidget* FinishedList() const { return finished_; }
    QPushButton* EmailButton() const { return email_; }
    QPushButton* RemindButton() const { return remind_; }

    // Handlers; they throw, the buttons run them guarded.
    void emailbClick();
    void pripomenoutbClick();

private:
    void Fill();

    CatalogueSession& session_;
    QString identity_;
    QString name_;
    QDate today_;
    int period_ = 0;
    BorrowerCard card_;
    QString address_;
    QLabel* title_;
    QLabel* addressLabel_;
    QLabel* summary_;
    QLabel* finishedLabel_;
    QTreeWidget* out_;
    QTreeWidget* finished_;
    QPushButton* email_;
    QPushButton* remind_;
};

// Opens the card of the borrower over the main window, or brings the one
// already open for that borrower to the front, read anew. A nameless loan has
// no card: the user is told so and nothing opens.
BorrowerCardDialog* ShowBorrowerCard(CatalogueSession& session, const QString& name);
