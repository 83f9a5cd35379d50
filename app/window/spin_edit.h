#pragma once
// A spin edit: its value is its text read as a whole decimal number, or its
// minimum when the text is none. With minimum == maximum there is no range and
// any 32-bit value is held unchanged; otherwise setting a value, stepping and
// losing the focus bring it into the range. Of the printable characters only
// digits, "+", "-" and the decimal separator can be typed.
#include <QAbstractSpinBox>

class SpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    void SetMinValue(int v) { min_ = v; }
    void SetMaxValue(int v) { max_ = v; }

    int Value() const;
    void SetValue(int value);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int Clamp(long long value) const;
    int min_ = 0;
    int max_ = 0;
};
