#pragma once
// "opravit…" on a history line: the borrower, the loan date as typed and the
// return day, each filled in as the line holds it and each open to correction.
#include <QDate>
#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;

class LoanLineDialog : public QDialog {
    Q_OBJECT
public:
    LoanLineDialog(const QString& komu, const QString& kdy, const QString& returned, QWidget* parent);

    QLineEdit* Komu() const { return komu_; }
    QLineEdit* Kdy() const { return kdy_; }
    QLineEdit* Returned() const { return returned_; }

private:
    QLineEdit* komu_;
    QLineEdit* kdy_;
    QLineEdit* returned_;
};

// A history line as the user corrects it; `returned` written d.m.yyyy.
struct MendedLoanLine {
    QString komu;
    QString kdy;
    QString returned;
};

// The line as it will be written, or the Czech reason it cannot be: a return
// day that is no calendar day or lies after `today`, a changed loan date that
// names no date, one that cannot be or lies ahead, a return before the loan.
// Dates left as they were are not judged: an old line stays correctable.
struct MendCheck {
    std::optional<MendedLoanLine> line;
    QString problem;
};
MendCheck CheckMendedLoanLine(const MendedLoanLine& shown, const MendedLoanLine& typed, const QDate& today);
