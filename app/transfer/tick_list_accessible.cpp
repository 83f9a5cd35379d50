#include "app/transfer/tick_list_accessible.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QListWidget>
#include <QPointer>

namespace {

const char* const kTicksProperty = "svazkovnaTicks";

// One row of the list: a check box of the row's text.
class TickRow : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TickRow(QListWidget* list, int row) : list_(list), row_(row) {}

    int Row() const { return row_; }
    const QListWidget* List() const { return list_; }

    bool isValid() const override { return list_ && row_ < list_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        const QListWidgetItem* it = Item();
        return it && t == QAccessible::Name ? it->text() : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const QListWidgetItem* it = Item();
        if (!it) return {};
        const QRect shown = list_->visualItemRect(it);
        return QRect(list_->viewport()->mapToGlobal(shown.topLeft()), shown.size());
    }
    QAccessible::Role role() const override { return QAccessible::CheckBox; }
    QAccessible::State state() const override {
        QAccessible::State st;
        const QListWidgetItem* it = Item();
        if (!it) return st;
        st.checkable = true;
        st.checked = it->checkState() == Qt::Checked;
        st.selectable = true;
        st.selected = it->isSelected();
        st.focusable = true;
        st.focused = list_->hasFocus() && list_->currentItem() == it;
        st.disabled = !list_->isEnabled() || !(it->flags() & Qt::ItemIsEnabled);
        st.invisible = !list_->viewport()->rect().intersects(list_->visualItemRect(it));
        return st;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {toggleAction(), pressAction()}; }
    void doAction(const QString& name) override {
        QListWidgetItem* it = Item();
        if (!it || state().disabled || (name != toggleAction() && name != pressAction())) return;
        it->setCheckState(it->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        return name == toggleAction() ? QStringList{QStringLiteral("Space")} : QStringList();
    }

private:
    QListWidgetItem* Item() const { return isValid() ? list_->item(row_) : nullptr; }

    QPointer<QListWidget> list_;
    int row_;
};

// The list: its children are its rows, made when first asked for, so that
// 10,000 rows cost nothing until a screen reader walks them.
class TickList : public QAccessibleWidget {
public:
    explicit TickList(QListWidget* list) : QAccessibleWidget(list, QAccessible::List) {}
    ~TickList() override {
        for (const QAccessible::Id id : std::as_const(rows_)) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return List()->count(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        const auto known = rows_.constFind(index);
        if (known != rows_.constEnd()) return QAccessible::accessibleInterface(*known);
        auto* row = new TickRow(List(), index);
        rows_.insert(index, QAccessible::registerAccessibleInterface(row));
        return row;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* row = dynamic_cast<const TickRow*>(child);
        return row && row->List() == List() && row->isValid() ? row->Row() : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        QListWidget* list = List();
        const QListWidgetItem* it = list->itemAt(list->viewport()->mapFromGlobal(QPoint(x, y)));
        return it ? child(list->row(it)) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return List()->hasFocus() ? child(List()->currentRow()) : nullptr;
    }

private:
    QListWidget* List() const { return static_cast<QListWidget*>(widget()); }

    mutable QHash<int, QAccessible::Id> rows_;
};

QAccessibleInterface* TickListFactory(const QString&, QObject* object) {
    auto* list = qobject_cast<QListWidget*>(object);
    return list && list->property(kTicksProperty).toBool() ? new TickList(list) : nullptr;
}

}  // namespace

void MakeTicksAccessible(QListWidget* list) {
    static const bool installed = [] {
        QAccessible::installFactory(TickListFactory);
        return true;
    }();
    (void)installed;
    list->setProperty(kTicksProperty, true);
    // An interface Qt made before the mark (a screen reader may have asked
    // while the form was built) gives way to ours.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(list);
    if (made && !dynamic_cast<TickList*>(made)) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void AnnounceTick(QListWidget* list, int row) {
    if (!QAccessible::isActive()) return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(list, changed);
    event.setChild(row);
    QAccessible::updateAccessibility(&event);
}
