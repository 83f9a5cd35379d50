#include "support/app_screen_reader.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QEvent>
#include <QItemSelectionModel>

namespace testsupport {
namespace {

constexpr qsizetype kHeardKept = 4000;
const char* const kAttached = "testsupport.screenReader";

QStringList& HeardTexts() {
    static QStringList heard;
    return heard;
}

void Hear(const QString& text) {
    QStringList& heard = HeardTexts();
    heard << text;
    if (heard.size() > kHeardKept) heard.remove(0, heard.size() - kHeardKept);
}

// A row is announced whole: each column's text, and its colours for the state.
void ReadRow(const QModelIndex& index) {
    if (!index.isValid()) return;
    const QAbstractItemModel* model = index.model();
    for (int c = 0; c < model->columnCount(index.parent()); ++c) {
        const QModelIndex cell = model->index(index.row(), c, index.parent());
        Hear(cell.data(Qt::DisplayRole).toString());
        for (const int role : {int(Qt::AccessibleTextRole), int(Qt::ToolTipRole), int(Qt::ForegroundRole),
                               int(Qt::BackgroundRole), int(Qt::CheckStateRole)})
            (void)cell.data(role);
    }
}

void Read(QAccessibleInterface* iface) {
    if (!iface || !iface->isValid()) return;
    Hear(iface->text(QAccessible::Name));
    Hear(iface->text(QAccessible::Value));
    (void)iface->state();
}

void OnUpdate(QAccessibleEvent* event) {
    switch (event->type()) {
    // A reader never asks a vanishing object about itself.
    case QAccessible::ObjectDestroyed:
    case QAccessible::ObjectHide:
    case QAccessible::TableModelChanged: return;
    default: Read(event->accessibleInterface());
    }
}

// Attaches to every list as it is first polished (before it is shown).
class Listener : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish) {
            auto* view = qobject_cast<QAbstractItemView*>(watched);
            if (view && view->selectionModel() && view->property(kAttached) != QVariant::fromValue<QObject*>(this))
                Attach(*view);
        }
        return false;
    }

private:
    void Attach(QAbstractItemView& view) {
        view.setProperty(kAttached, QVariant::fromValue<QObject*>(this));
        QItemSelectionModel* selection = view.selectionModel();
        // As Qt's accessibility code does: the first row selected, the first deselected.
        connect(selection, &QItemSelectionModel::selectionChanged, this,
                [](const QItemSelection& selected, const QItemSelection& deselected) {
                    ReadRow(selected.indexes().value(0));
                    ReadRow(deselected.indexes().value(0));
                });
        connect(selection, &QItemSelectionModel::currentChanged, this,
                [](const QModelIndex& current, const QModelIndex&) { ReadRow(current); });
    }
};

int readers = 0;
QAccessible::UpdateHandler previousHandler = nullptr;

}  // namespace

ScreenReader::ScreenReader() {
    if (readers++ > 0) return;
    listener_ = std::make_unique<Listener>();
    qApp->installEventFilter(listener_.get());
    previousHandler = QAccessible::installUpdateHandler(&OnUpdate);
    QAccessible::setActive(true);
}

ScreenReader::~ScreenReader() {
    --readers;
    if (!listener_) return;
    QAccessible::installUpdateHandler(previousHandler);
    qApp->removeEventFilter(listener_.get());
}

QStringList ScreenReader::Heard() { return HeardTexts(); }

void ScreenReader::Forget() { HeardTexts().clear(); }

bool ScreenReaderWanted() {
    return qEnvironmentVariableIntValue("SVAZKOVNA_TEST_ACCESSIBILITY") == 1 ||
           qEnvironmentVariableIntValue("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") == 1;
}

}  // namespace testsupport
