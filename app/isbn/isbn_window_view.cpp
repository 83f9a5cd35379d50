// The ISBN window's look: a size for the screen it opens on, the queue's
// columns fitted to what they hold, and the choice among found records by
// keyboard and screen reader.
#include <QComboBox>
#include <QHeaderView>
#include <QListView>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <array>

#include "app/isbn/isbn_window.h"
#include "ui_isbn_window.h"

namespace {

// Beyond this the title column only grows.
constexpr int kMostWidth = 1400;
constexpr int kMostHeight = 900;
// A window manager's borders and title bar, before the window has any.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;
// Found records shown at once below the queue.
constexpr int kChoiceLines = 4;

const char* const kChoiceHelp =
    "Záznamy nalezené pro vybraný řádek fronty, je-li jich víc: šipkami vyberte, Enterem použijte.";

// The ISBN, the year, the title and the place and genre typed for the shelf
// keep their width; the rest give way, elided, when the room is short.
bool Yields(int column) {
    return column == IsbnWindow::Stav || column == IsbnWindow::Autor || column == IsbnWindow::Vydal ||
           column == IsbnWindow::Serie || column == IsbnWindow::Zdroj;
}

// What a screen reader says of a found record beyond the line it shows.
QString Described(const FoundRecord& r) {
    QStringList parts;
    const auto add = [&](const char* name, const QString& value) {
        if (!value.isEmpty()) parts << QString::fromUtf8(name) + u' ' + value;
    };
    add("autor", r.autor);
    add("titul", r.titul);
    add("vydal", r.vydal);
    add("rok", r.rok);
    add("série", r.serie);
    add("žánr", r.zanr);
    add("zdroj", r.source);
    return parts.join(QStringLiteral(", "));
}

}  // namespace

void IsbnWindow::SetUpView() {
    QTableWidget* t = ui_->frontatw;
    QHeaderView* h = t->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setSectionResizeMode(Titul, QHeaderView::Stretch);
    // One line a row, tall enough for a row's choice of records.
    t->setWordWrap(false);
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height() + 10, QComboBox().sizeHint().height()));
    connect(h, &QHeaderView::sectionResized, this, [this](int column) {
        if (!fitting_ && column != Titul) userSized_.insert(column);
    });
    connect(t->model(), &QAbstractItemModel::dataChanged, this, [this] { FitColumnsSoon(); });
    connect(t->model(), &QAbstractItemModel::rowsInserted, this, [this] { FitColumnsSoon(); });
    t->viewport()->installEventFilter(this);
    t->setAccessibleName(QStringLiteral("fronta ISBN"));
    t->setAccessibleDescription(
        QStringLiteral("Naskenované knihy, jedna na řádek: ISBN se zaškrtnutím k uložení, stav, autor, titul, "
                       "vydal, rok, série, zdroj, umístění a žánr."));
    ui_->isbnle->setAccessibleDescription(QStringLiteral("Naskenujte nebo napište ISBN a stiskněte Enter."));

    QListView* list = ui_->zaznamylv;
    noChoices_ = new QStandardItemModel(0, 1, this);
    list->setModel(noChoices_);
    list->setAccessibleName(QStringLiteral("nalezené záznamy"));
    list->setAccessibleDescription(QString::fromUtf8(kChoiceHelp));
    list->setFixedHeight(fontMetrics().lineSpacing() * kChoiceLines + 2 * list->frameWidth() + 4);
    list->installEventFilter(this);
    connect(list, &QListView::activated, this, [this](const QModelIndex& index) { PickChoice(index.row()); });
    connect(t, &QTableWidget::currentCellChanged, this, [this](int row) { ShowChoices(row); });

    if (const QScreen* s = screen()) FitTo(s->availableGeometry());
}

void IsbnWindow::FitTo(const QRect& available) {
    resize(std::min(kMostWidth, available.width() - kFrameWidth),
           std::min(kMostHeight, available.height() - kFrameHeight));
}

void IsbnWindow::ViewEvent(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == ui_->frontatw->viewport()) FitColumnsSoon();
    if (event->type() == QEvent::FocusIn && watched == ui_->zaznamylv) ChoiceFocused();
}

void IsbnWindow::FitColumnsSoon() {
    if (fitDue_) return;
    fitDue_ = true;
    // Once for a burst of changes, after the cells hold their texts.
    QTimer::singleShot(0, this, [this] {
        fitDue_ = false;
        FitColumns();
        ShowChoices(ui_->frontatw->currentRow());
    });
}

void IsbnWindow::FitColumns() {
    QTableWidget* t = ui_->frontatw;
    QHeaderView* h = t->horizontalHeader();
    std::array<int, ColumnCount> want{};
    std::array<int, ColumnCount> spare{};
    const int room = t->viewport()->width();
    int total = 0;
    int spareTotal = 0;
    for (int c = 0; c < ColumnCount; ++c) {
        const bool user = userSized_.count(c) > 0;
        want[c] = user
                      ? h->sectionSize(c)
                      : std::max(h->sectionSizeHint(c), static_cast<const QAbstractItemView*>(t)->sizeHintForColumn(c));
        // A title longer than half the room is the one that gives way at last.
        if (c == Titul) want[c] = std::min(want[c], room / 2);
        // A long place or genre typed in one row does not crowd out the others.
        if ((c == Umisteni || c == Zanr) && !user) want[c] = std::min(want[c], room / 8);
        if (!user && Yields(c)) spare[c] = std::max(0, want[c] - h->sectionSizeHint(c));
        total += want[c];
        spareTotal += spare[c];
    }
    // Short of room, the yielding columns give it up in proportion to what
    // they hold beyond their heading, so the title stays whole.
    const int excess = std::min(total - room, spareTotal);
    fitting_ = true;
    for (int c = 0; c < ColumnCount; ++c) {
        if (c == Titul || userSized_.count(c)) continue;
        int width = want[c];
        if (excess > 0 && spare[c] > 0)
            width -= static_cast<int>((static_cast<int64_t>(excess) * spare[c] + spareTotal - 1) / spareTotal);
        if (h->sectionSize(c) != width) h->resizeSection(c, width);
    }
    fitting_ = false;
}

void IsbnWindow::DescribeChoice(int row, QComboBox& choice) {
    // The cell shows the chosen record; the whole lines are in its list and below the queue.
    choice.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // Picked with the mouse; keys reach the same records in the list below the
    // queue, and a scan never lands in the cell.
    choice.setFocusPolicy(Qt::NoFocus);
    choice.setMinimumContentsLength(8);
    choice.setAccessibleName(QStringLiteral("nalezené záznamy pro ISBN %1").arg(rows_[row].isbn));
    choice.setAccessibleDescription(
        QStringLiteral("Záznamy nalezené pro ISBN %1; klávesami je vyberete v seznamu pod frontou (Alt+L).")
            .arg(rows_[row].isbn));
    const std::vector<FoundRecord>& found = rows_[row].candidates;
    for (int i = 0; i < choice.count() && i < static_cast<int>(found.size()); ++i)
        choice.setItemData(i, Described(found[static_cast<size_t>(i)]), Qt::AccessibleDescriptionRole);
    connect(&choice, &QComboBox::currentIndexChanged, this, [this, c = &choice](int index) {
        if (choiceRow_ >= 0 && ui_->frontatw->cellWidget(choiceRow_, Zdroj) == c)
            ui_->zaznamylv->setCurrentIndex(c->model()->index(index, 0));
    });
    FitColumnsSoon();
}

void IsbnWindow::ShowChoices(int row) {
    QTableWidget* t = ui_->frontatw;
    QListView* list = ui_->zaznamylv;
    const auto choiceOf = [&](int r) {
        return r >= 0 && r < RowCount() && !rows_[r].stored ? qobject_cast<QComboBox*>(t->cellWidget(r, Zdroj))
                                                            : nullptr;
    };
    QComboBox* choice = choiceOf(row);
    choiceRow_ = choice ? row : -1;
    QAbstractItemModel* model = choice ? choice->model() : noChoices_;
    const bool another = list->model() != model;
    if (another) {
        // The view makes a selection model for every model it is given and keeps none of the old ones.
        QItemSelectionModel* old = list->selectionModel();
        list->setModel(model);
        delete old;
    }
    // An answer for another row does not move the user's place in the list.
    if (choice && (another || !list->hasFocus())) list->setCurrentIndex(model->index(choice->currentIndex(), 0));
    list->setAccessibleDescription(
        choice ? QStringLiteral("Záznamy nalezené pro ISBN %1, %2: šipkami vyberte, Enterem použijte.")
                     .arg(rows_[row].isbn, Cell(row, Titul))
               : QString::fromUtf8(kChoiceHelp));
    // Reachable only while some row has records to choose from.
    bool any = false;
    for (int r = 0; r < RowCount() && !any; ++r) any = choiceOf(r) != nullptr;
    list->setEnabled(any);
}

void IsbnWindow::ChoiceFocused() {
    if (choiceRow_ >= 0) return;
    // Reached by its key or by Tab with no such row current: the next row with a choice.
    QTableWidget* t = ui_->frontatw;
    const int from = std::max(0, t->currentRow());
    for (int step = 0; step < RowCount(); ++step) {
        const int row = (from + step) % RowCount();
        if (!rows_[row].stored && t->cellWidget(row, Zdroj)) {
            t->setCurrentCell(row, Zdroj);
            return;
        }
    }
}

void IsbnWindow::PickChoice(int index) {
    auto* choice = choiceRow_ >= 0 ? qobject_cast<QComboBox*>(ui_->frontatw->cellWidget(choiceRow_, Zdroj)) : nullptr;
    if (!choice || index < 0 || index >= choice->count()) return;
    choice->setCurrentIndex(index);
    // Picked: back to scanning.
    ui_->isbnle->setFocus(Qt::OtherFocusReason);
}
