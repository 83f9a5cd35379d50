#include "app/edit_fields.h"

#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <limits>

namespace {

// A label's text as read aloud: without its mnemonic marks ("&&" stands for "&").
QString SpokenText(const QString& text) {
    QString spoken;
    spoken.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        spoken += text[i];
    }
    return spoken;
}

}  // namespace

void PrepareEditFields(QWidget& window) {
    for (QLabel* label : window.findChildren<QLabel*>()) {
        QWidget* field = label->buddy();
        if (!field) continue;
        const QString name = SpokenText(label->text());
        field->setAccessibleName(name);
        // The edit inside a drop-down or a spin edit is what holds the focus.
        for (QLineEdit* edit : field->findChildren<QLineEdit*>()) edit->setAccessibleName(name);
    }
    for (QLineEdit* edit : window.findChildren<QLineEdit*>())
        edit->setMaxLength(std::numeric_limits<int>::max());
}
