#include "app/window/edit_fields.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <limits>

namespace {

// The toolkit's own drop-down reports its current text as its name on this
// platform, whatever name it was given; a drop-down that has a name of its
// own is reported by this one: the name, and the current text as its value.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        const auto* box = static_cast<const QComboBox*>(widget());
        if (t == QAccessible::Name) return box->accessibleName();
        if (t == QAccessible::Value) return box->currentText();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << showMenuAction(); }
    void doAction(const QString& action) override {
        if (action == showMenuAction())
            static_cast<QComboBox*>(widget())->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* NamedComboBoxes(const QString& className, QObject* object) {
    if (className != QLatin1String("QComboBox") || !object->isWidgetType()) return nullptr;
    auto* box = static_cast<QComboBox*>(object);
    return box->accessibleName().isEmpty() ? nullptr : new NamedComboBox(box);
}

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
    QAccessible::installFactory(NamedComboBoxes);
    for (QLabel* label : window.findChildren<QLabel*>()) {
        QWidget* field = label->buddy();
        if (!field) continue;
        const QString name = SpokenText(label->text());
        field->setAccessibleName(name);
        // The edit inside a drop-down or a spin edit is what holds the focus.
        for (QLineEdit* edit : field->findChildren<QLineEdit*>()) edit->setAccessibleName(name);
    }
    for (QLineEdit* edit : window.findChildren<QLineEdit*>()) edit->setMaxLength(std::numeric_limits<int>::max());
}

void ClearComboItems(QComboBox& box) {
    const QString text = box.currentText();
    box.clear();
    box.setEditText(text);
}
