#include "app/statistics/statistics_window.h"

#include <QBarCategoryAxis>
#include <QCategoryAxis>
#include <QCursor>
#include <QEvent>
#include <QToolTip>
#include <QBarSet>
#include <QBarSeries>
#include <QChart>
#include <QChartView>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPieSeries>
#include <QSaveFile>
#include <QTableWidget>
#include <QTimer>
#include <QValueAxis>
#include <stdexcept>

#include "app/platform/error_box.h"
#include "app/platform/table_export.h"
#include "app/platform/ui_services.h"
#include "ui_statistics_window.h"

namespace {

enum ChartKind { Bars, Columns, Pie };

// A chart shows this many groups; the table beside it lists them all.
constexpr int kChartGroups = 15;
// Names are cut only past this many letters; the tooltip and the table hold them whole.
constexpr int kChartLabelLength = 60;
// Columns with more groups than this label only every n-th, so that the labels fit.
constexpr int kColumnLabels = 12;
const QSize kExportSize(900, 520);
// A change naming more rows than this is followed by reading every row.
constexpr size_t kFollowedRows = 2000;

QString Elided(const QString& text) {
    return text.size() <= kChartLabelLength ? text : text.left(kChartLabelLength - 1) + u'…';
}

std::vector<LabelCount> ForChart(const std::vector<LabelCount>& rows) {
    if (static_cast<int>(rows.size()) <= kChartGroups) return rows;
    std::vector<LabelCount> shown(rows.begin(), rows.begin() + kChartGroups - 1);
    long long rest = 0;
    for (size_t i = kChartGroups - 1; i < rows.size(); ++i) rest += rows[i].count;
    shown.push_back({QStringLiteral("ostatní"), rest});
    return shown;
}

// A count axis whose every tick is a whole number: at most six ticks, a whole step apart.
QValueAxis* IntegerAxis(long long most) {
    const long long step = std::max<long long>(1, (most + 4) / 5);
    const long long top = std::max<long long>(step, (most + step - 1) / step * step);
    auto* axis = new QValueAxis;
    axis->setRange(0, static_cast<qreal>(top));
    axis->setTickCount(static_cast<int>(top / step) + 1);
    axis->setLabelFormat(QStringLiteral("%d"));
    return axis;
}

QChart* MakeChart(const QString& title, const std::vector<LabelCount>& all, int kind) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setVisible(kind == Pie);
    chart->setAnimationOptions(QChart::NoAnimation);
    // Long lists of names end in one bar of the rest; months and ratings are shown whole.
    const std::vector<LabelCount> rows = kind == Bars ? ForChart(all) : all;
    if (kind == Pie) {
        auto* series = new QPieSeries;
        for (const LabelCount& row : rows)
            if (row.count > 0)
                series->append(Elided(row.label) + QStringLiteral(" (%1)").arg(row.count),
                               static_cast<qreal>(row.count));
        chart->addSeries(series);
        return chart;
    }
    auto* set = new QBarSet(QStringLiteral("počet"));
    QStringList categories, whole;
    long long most = 0;
    // Horizontal bars run top-down in the table's order.
    const bool reversed = kind == Bars;
    for (size_t i = 0; i < rows.size(); ++i) {
        const LabelCount& row = rows[reversed ? rows.size() - 1 - i : i];
        *set << static_cast<qreal>(row.count);
        categories << Elided(row.label);
        whole << row.label;
        most = std::max(most, row.count);
    }
    QObject::connect(set, &QBarSet::hovered, set, [set, whole](bool on, int index) {
        if (on && index >= 0 && index < whole.size())
            QToolTip::showText(QCursor::pos(), whole[index] + QStringLiteral(": %1").arg(set->at(index)));
    });
    QAbstractBarSeries* series = kind == Bars ? static_cast<QAbstractBarSeries*>(new QHorizontalBarSeries)
                                              : static_cast<QAbstractBarSeries*>(new QBarSeries);
    series->append(set);
    series->setLabelsVisible(kind == Bars);
    chart->addSeries(series);
    QAbstractAxis* groups = nullptr;
    if (kind == Columns && categories.size() > kColumnLabels) {
        // Every n-th month named, at its own column.
        auto* thinned = new QCategoryAxis;
        const int step = (static_cast<int>(categories.size()) + kColumnLabels - 1) / kColumnLabels;
        thinned->setRange(-0.5, static_cast<qreal>(categories.size()) - 0.5);
        thinned->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        // Counted back from the latest month, which is always named; appended in ascending order.
        for (int i = (static_cast<int>(categories.size()) - 1) % step; i < categories.size(); i += step)
            thinned->append(categories[i], static_cast<qreal>(i));
        thinned->setLabelsAngle(-90);
        groups = thinned;
    } else {
        auto* all = new QBarCategoryAxis;
        all->append(categories);
        if (kind == Columns) all->setLabelsAngle(-90);
        groups = all;
    }
    groups->setTruncateLabels(false);
    chart->addAxis(groups, kind == Bars ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(IntegerAxis(most), kind == Bars ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(groups);
    series->attachAxis(chart->axes(kind == Bars ? Qt::Horizontal : Qt::Vertical).front());
    return chart;
}

QString Days(double days) { return QString::number(days, 'f', 1).replace(u'.', u','); }

}  // namespace

QString MonthLabel(const QDate& month) { return QStringLiteral("%1/%2").arg(month.month()).arg(month.year()); }

StatisticsWindow::StatisticsWindow(TASQLite3DB& db, UiServices& ui, std::function<int()> period, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::StatisticsWindow>()), db_(db), services_(ui),
      period_(std::move(period)) {
    ui_->setupUi(this);
    const auto guarded = [this](auto handler) { return [this, handler] { RunGuarded(services_, handler); }; };
    connect(ui_->obnovitb, &QPushButton::clicked, this, guarded([this] { Refresh(); }));
    connect(ui_->pngb, &QPushButton::clicked, this, guarded([this] { pngbClick(); }));
    connect(ui_->pdfb, &QPushButton::clicked, this, guarded([this] { pdfbClick(); }));
    connect(ui_->zavritb, &QPushButton::clicked, this, &QWidget::close);
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::CatalogueChanged() {
    // The tree tells this after following the session's own change, which
    // Follow takes in row by row; the stamp shows whether anything else happened.
    if (in_change_) {
        check_ = true;
    } else {
        recount_ = true;
        // Closed, it lets go of the counts of what may be another catalogue now.
        if (!isVisible()) tally_ = CollectionTally();
    }
    CatchUpLater();
}

void StatisticsWindow::Follow(const RowsChange& change) {
    in_change_ = false;
    const CatalogueStamp now = StampOf(db_);
    // Another program's commit, or a write no notice told of, is seen by reading every row.
    if (!Follows(stamp_, now, change.changed, change.historyLines)) recount_ = true;
    stamp_ = now;
    if (recount_) return CatchUpLater();
    std::vector<int64_t> keys = change.rows;
    keys.insert(keys.end(), change.added.begin(), change.added.end());
    // Followed while closed too, so that opening it again reads nothing; past a
    // few thousand rows one pass is cheaper.
    if (change.readAnew || keys.size() > kFollowedRows) {
        recount_ = true;
    } else {
        try {
            if (tally_.Update(db_, keys)) refigure_ = true;
        } catch (const std::exception&) {
            recount_ = true;  // the whole read tells the failure, in its own handler
        }
    }
    if (Today() != figured_on_) refigure_ = true;
    CatchUpLater();
}

void StatisticsWindow::CatchUpLater() {
    if (refresh_pending_ || !isVisible() || isMinimized() || !(recount_ || check_ || refigure_)) return;
    refresh_pending_ = true;
    QTimer::singleShot(0, this, [this] {
        refresh_pending_ = false;
        RunGuarded(services_, [this] {
            if (check_ && !StampOf(db_).Same(stamp_)) recount_ = true;
            check_ = false;
            if (recount_)
                Refresh();
            else if (refigure_)
                Refigure();
        });
    });
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    CatchUpLater();
}

void StatisticsWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) CatchUpLater();
}

QDate StatisticsWindow::Today() const { return fixed_today_.isValid() ? fixed_today_ : QDate::currentDate(); }

void StatisticsWindow::Refresh() {
    // Taken before reading: a change while reading makes the next look read anew.
    const CatalogueStamp stamp = StampOf(db_);
    tally_.Recount(db_);
    ++whole_reads_;
    stamp_ = stamp;
    recount_ = check_ = false;
    Refigure();
}

void StatisticsWindow::Reopen() {
    if (!StampOf(db_).Same(stamp_)) recount_ = true;
    check_ = false;
    if (recount_)
        Refresh();
    else if (refigure_ || Today() != figured_on_ || sections_.empty())
        Refigure();
}

void StatisticsWindow::Refigure() {
    refigure_ = false;
    figured_on_ = Today();
    CollectionStats stats = ComputeStats(tally_, figured_on_, period_ ? period_() : 30);
    if (stats == stats_ && !sections_.empty()) return;
    stats_ = std::move(stats);
    Rebuild();
}

void StatisticsWindow::Rebuild() {
    drawn_ = std::move(sections_);
    sections_.clear();
    const CollectionStats& s = stats_;
    QString summary = QStringLiteral("Knih: %1, zapůjčeno: %2, po lhůtě: %3, dokončených výpůjček: %4.")
                          .arg(s.books)
                          .arg(s.lentNow)
                          .arg(s.overdueNow)
                          .arg(s.finishedLoans);
    if (s.foreignHistories > 0)
        summary += QStringLiteral(" Knih s jinými daty v poli udaj3 (jejich historie se nepočítá): %1.")
                       .arg(s.foreignHistories);
    ui_->souhrnl->setText(summary);

    AddSection(QStringLiteral("Knihy podle žánru"), QStringLiteral("zanr"), QStringLiteral("žánr"), s.genres, Bars);
    AddSection(QStringLiteral("Knihy podle umístění"), QStringLiteral("umisteni"), QStringLiteral("umístění"),
               s.locations, Bars);
    AddSection(QStringLiteral("Knihy podle hodnocení"), QStringLiteral("hodnoceni"), QStringLiteral("hodnocení"),
               s.ratings, Columns);
    AddSection(QStringLiteral("Autoři s nejvíce knihami"), QStringLiteral("autori"), QStringLiteral("autor"),
               s.topAuthors, Bars);
    AddSection(QStringLiteral("Nakladatelé s nejvíce knihami"), QStringLiteral("nakladatele"),
               QStringLiteral("nakladatel"), s.topPublishers, Bars);
    const std::vector<LabelCount> lent = {{QStringLiteral("zapůjčeno v lhůtě"), s.lentNow - s.overdueNow},
                                          {QStringLiteral("po lhůtě"), s.overdueNow},
                                          {QStringLiteral("doma"), std::max(0LL, s.books - s.lentNow)}};
    AddSection(QStringLiteral("Zapůjčené knihy"), QStringLiteral("zapujcene"), QStringLiteral("knihy"), lent, Pie,
               {{QStringLiteral("dokončených výpůjček"), QString::number(s.finishedLoans)},
                {QStringLiteral("průměrná délka výpůjčky (dní)"),
                 s.measuredLoans > 0 ? Days(s.averageLoanDays) : QStringLiteral("–")},
                {QStringLiteral("výpůjček se známou délkou"), QString::number(s.measuredLoans)}});
    std::vector<LabelCount> months;
    for (const MonthCount& m : s.loansPerMonth) months.push_back({MonthLabel(m.month), m.count});
    AddSection(QStringLiteral("Výpůjčky podle měsíce začátku"), QStringLiteral("mesice"), QStringLiteral("měsíc"),
               months, Columns);
    AddSection(QStringLiteral("Vypůjčitelé s nejvíce výpůjčkami"), QStringLiteral("vypujcitele"),
               QStringLiteral("vypůjčitel"), s.topBorrowers, Bars);
    for (size_t i = sections_.size(); i < drawn_.size(); ++i) delete drawn_[i].box;
    drawn_.clear();
}

void StatisticsWindow::AddSection(const QString& title, const QString& name, const QString& what,
                                  const std::vector<LabelCount>& rows, int chartKind,
                                  const std::vector<std::pair<QString, QString>>& more) {
    // The boxes are the layout's only items, in the order of the sections.
    const size_t at = sections_.size();
    if (at < drawn_.size()) {
        Section& before = drawn_[at];
        if (before.name == name && before.rows == rows && before.more == more) {
            sections_.push_back(std::move(before));
            return;
        }
        delete before.box;
    }
    auto* box = new QGroupBox(title, ui_->grafyw);
    auto* layout = new QHBoxLayout(box);
    // The chart is made when the view is first painted: laying out a chart's
    // labels is most of the window's cost, and most sections start out of sight.
    auto* view = new QChartView(box);
    view->viewport()->installEventFilter(this);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(460, 300);
    view->setAccessibleName(title);
    auto* table = new QTableWidget(static_cast<int>(rows.size() + more.size()), 2, box);
    // Days on average are no count: a section with such figures heads its numbers "hodnota".
    table->setHorizontalHeaderLabels({what, more.empty() ? QStringLiteral("počet") : QStringLiteral("hodnota")});
    table->setAccessibleName(title + QStringLiteral(" – čísla"));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->setMinimumWidth(300);
    QStringList described;
    int r = 0;
    const auto addRow = [&](const QString& label, const QString& value) {
        table->setItem(r, 0, new QTableWidgetItem(label));
        auto* number = new QTableWidgetItem(value);
        number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(r, 1, number);
        ++r;
        described << label + QStringLiteral(": ") + value;  // a screen reader hears every entry
    };
    for (const LabelCount& row : rows) addRow(row.label, QString::number(row.count));
    for (const auto& [label, value] : more) addRow(label, value);
    view->setAccessibleDescription(described.join(QStringLiteral("; ")));
    layout->addWidget(view, 3);
    layout->addWidget(table, 2);
    ui_->grafylayout->insertWidget(static_cast<int>(at), box);
    sections_.push_back({title, name, box, view, table, rows, more, chartKind});
}

void StatisticsWindow::Chart(Section& section) {
    if (section.charted) return;
    section.charted = true;
    QChart* placeholder = section.chart->chart();
    section.chart->setChart(MakeChart(section.title, section.rows, section.kind));
    delete placeholder;  // the view lets go of it without deleting it
}

void StatisticsWindow::ChartAll() {
    for (Section& section : sections_) Chart(section);
}

bool StatisticsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint)
        for (Section& section : sections_)
            if (!section.charted && section.chart->viewport() == watched) Chart(section);
    return QWidget::eventFilter(watched, event);
}

QStringList StatisticsWindow::ExportPng(const QString& path) {
    ChartAll();
    QString stem = path;
    if (stem.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) stem.chop(4);
    QStringList written;
    for (const Section& section : sections_) {
        const QString file = stem + u'-' + section.name + QStringLiteral(".png");
        QImage image(kExportSize, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            section.chart->render(&painter, QRectF(QPointF(0, 0), kExportSize));
        }
        WriteFileWhole(file, [&](QSaveFile& out) { return image.save(&out, "PNG"); });
        written << file;
    }
    return written;
}

void StatisticsWindow::ExportPdf(const QString& path) {
    ChartAll();
    WriteFileWhole(path, [&](QSaveFile& out) {
        QPdfWriter pdf(&out);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(150);
        pdf.setTitle(QStringLiteral("statistika"));
        QPainter painter(&pdf);
        if (!painter.isActive()) return false;
        const QRect page(0, 0, pdf.width(), pdf.height());
        const PageFrameHeights frame = PageFrameOn(pdf);
        QFont font = painter.font();
        font.setPointSizeF(kPdfBodyPoints);
        painter.setFont(font);
        const int line = QFontMetrics(font, &pdf).height() * 5 / 4;
        const int chartHeight = page.width() * 5 / 9;
        const int bottom = page.height() - frame.foot;
        // Laid out first, drawn second: each page names the number of pages.
        struct Piece {
            int page, y;
            const Section* chart;  // a chart, or a row of its table
            int row;
        };
        std::vector<Piece> pieces;
        int pageNo = 0, y = frame.head + 2 * line;  // the summary first
        const auto place = [&](int height, const Section* section, int row) {
            if (y + height > bottom) ++pageNo, y = frame.head;
            pieces.push_back({pageNo, y, section, row});
            y += height;
        };
        for (const Section& section : sections_) {
            if (y + chartHeight + 3 * line > bottom) ++pageNo, y = frame.head;
            place(chartHeight + line / 2, &section, -1);
            for (int i = 0; i < section.table->rowCount(); ++i) place(line, &section, i);
            y += line;
        }
        const int pages = pageNo + 1;
        const QString title = QStringLiteral("Statistika sbírky");
        DrawPageFrame(painter, page, title, 1, pages);
        painter.drawText(QRect(0, frame.head, page.width(), 2 * line), Qt::TextWordWrap, ui_->souhrnl->text());
        int drawn = 0;
        for (const Piece& piece : pieces) {
            if (piece.page != drawn) {
                if (!pdf.newPage()) return false;
                drawn = piece.page;
                DrawPageFrame(painter, page, title, drawn + 1, pages);
            }
            if (piece.row < 0) {
                piece.chart->chart->render(&painter, QRectF(0, piece.y, page.width(), chartHeight));
                continue;
            }
            const QTableWidget& table = *piece.chart->table;
            painter.drawText(QRect(20, piece.y, page.width() * 3 / 4, line), Qt::AlignLeft | Qt::AlignVCenter,
                             table.item(piece.row, 0)->text());
            painter.drawText(QRect(page.width() * 3 / 4, piece.y, page.width() / 4 - 20, line),
                             Qt::AlignRight | Qt::AlignVCenter, table.item(piece.row, 1)->text());
        }
        return painter.end();
    });
}

void StatisticsWindow::pngbClick() {
    const std::optional<QString> path = services_.ChooseSaveFile(
        QStringLiteral("Export grafů do PNG"), QStringLiteral("statistika.png"), QStringLiteral("PNG (*.png)"));
    if (path) ExportPng(*path);
}

void StatisticsWindow::pdfbClick() {
    const std::optional<QString> path = services_.ChooseSaveFile(
        QStringLiteral("Export statistiky do PDF"), QStringLiteral("statistika.pdf"), QStringLiteral("PDF (*.pdf)"));
    if (path) ExportPdf(*path);
}
