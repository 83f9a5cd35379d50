#include "app/window/spin_edit.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QLocale>

#include <climits>

#include "app/core/collation.h"

namespace {

// A whole decimal number: optional blanks, an optional sign, digits, and it must fit in 32 bits.
bool ParseWhole(const QString& text, long long* out) {
    QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
    if (i >= t.size()) return false;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9') return false;
        v = v * 10 + (t[i].unicode() - u'0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    v = negative ? -v : v;
    if (v < INT_MIN || v > INT_MAX) return false;
    *out = v;
    return true;
}

}  // namespace

SpinEdit::SpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    lineEdit()->setText(QStringLiteral("0"));
}

int SpinEdit::Value() const {
    long long v = 0;
    return ParseWhole(text(), &v) ? static_cast<int>(v) : min_;
}

int SpinEdit::Clamp(long long value) const {
    if (min_ == max_) {
        // No range: only the 32-bit limits apply.
        if (value < INT_MIN) return INT_MIN;
        if (value > INT_MAX) return INT_MAX;
        return static_cast<int>(value);
    }
    if (value < min_) return min_;
    if (value > max_) return max_;
    return static_cast<int>(value);
}

void SpinEdit::SetValue(int value) {
    QString text = QString::number(Clamp(value));
    if (lineEdit()->text() != text) lineEdit()->setText(text);
}

void SpinEdit::stepBy(int steps) {
    SetValue(Clamp(static_cast<long long>(Value()) + steps));
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
    if (isReadOnly()) return StepNone;
    if (min_ == max_) return StepUpEnabled | StepDownEnabled;
    StepEnabled e = StepNone;
    int v = Value();
    if (v < max_) e |= StepUpEnabled;
    if (v > min_) e |= StepDownEnabled;
    return e;
}

QValidator::State SpinEdit::validate(QString& input, int& /*pos*/) const {
    const QString separator = CatalogueLocale().decimalPoint();
    for (qsizetype i = 0; i < input.size(); ++i) {
        QChar c = input[i];
        if ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || separator.contains(c)) continue;
        return QValidator::Invalid;
    }
    // Any text of these characters may stand; one that is no number reads as the minimum.
    return QValidator::Acceptable;
}

void SpinEdit::fixup(QString& input) const {
    long long v = 0;
    if (ParseWhole(input, &v)) input = QString::number(Clamp(v));
}

void SpinEdit::focusOutEvent(QFocusEvent* event) {
    QAbstractSpinBox::focusOutEvent(event);
    int v = Value();
    if (Clamp(v) != v) SetValue(v);
}
