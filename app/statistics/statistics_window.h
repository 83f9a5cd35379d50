#pragma once
// The statistics window ("statistika"): the collection in charts, each with
// its numbers in a table beside it for reading and for screen readers; the
// charts export to PNG files and the whole page to one PDF. Non-modal; it is
// read anew on "obnovit" and when another catalogue is opened, and follows the
// rows a change names by reading those rows alone, shown or not. Minimised,
// it draws the figures when shown again.
#include <QDate>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/platform/catalogue_stamp.h"
#include "app/platform/rows_change.h"
#include "app/statistics/figures/collection_stats.h"
#include "catalogue/collection_counts.h"

namespace Ui {
class StatisticsWindow;
}
class QChartView;
class QTableWidget;
class QGroupBox;
class TASQLite3DB;
class UiServices;

class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    // `period` gives the loan period in days when the figures are read.
    StatisticsWindow(TASQLite3DB& db, UiServices& ui, std::function<int()> period, QWidget* parent);
    ~StatisticsWindow() override;

    Ui::StatisticsWindow* form() const { return ui_.get(); }

    // Reads the catalogue anew and redraws every chart.
    void Refresh();
    // Opened again: every row is read only when the catalogue changed in ways
    // the kept counts did not follow (another program's commit, another
    // catalogue); after the program's own changes the kept counts stand.
    void Reopen();
    // How many times every row was read.
    int WholeReads() const { return whole_reads_; }
    // The rows may have changed in ways no notice tells: read anew once the
    // running handler is done, when shown.
    void CatalogueChanged();
    // A change through the session begins: the tree's notice that comes with
    // it is checked against the catalogue's stamp instead of read whole.
    void ChangeStarts() { in_change_ = true; }
    // Follows one change of the catalogue: the rows it names are read anew at
    // once, the charts redrawn once the running handler is done and only when
    // a figure changed.
    void Follow(const RowsChange& change);
    // The day the figures are counted to; today unless a test fixes it.
    void SetToday(const QDate& today) { fixed_today_ = today; }
    const CollectionStats& Stats() const { return stats_; }
    // The counts the figures are made from, as kept between changes.
    const CollectionTally& Tally() const { return tally_; }

    struct Section {
        QString title;
        QString name;  // in the exported file names
        QGroupBox* box = nullptr;
        // Empty until the section is first scrolled into sight (or exported).
        QChartView* chart = nullptr;
        QTableWidget* table = nullptr;
        // What it shows: a section showing the same again is kept as drawn.
        std::vector<LabelCount> rows;
        std::vector<std::pair<QString, QString>> more;
        int kind = 0;
        bool charted = false;
    };
    const std::vector<Section>& Sections() const { return sections_; }
    // Makes the charts no one has scrolled to yet, as the exports do.
    void ChartAll();

    // Handlers; they throw, the buttons run them guarded.
    void pngbClick();
    void pdfbClick();
    // Each chart as "<path without .png>-<name>.png"; returns the files written.
    QStringList ExportPng(const QString& path);
    void ExportPdf(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDate Today() const;
    // The figures from the kept counts, and the charts when they changed.
    void Refigure();
    void CatchUpLater();
    void Rebuild();
    void Chart(Section& section);
    // `what` heads the table's first column.
    void AddSection(const QString& title, const QString& name, const QString& what, const std::vector<LabelCount>& rows,
                    int chartKind, const std::vector<std::pair<QString, QString>>& more = {});

    std::unique_ptr<Ui::StatisticsWindow> ui_;
    TASQLite3DB& db_;
    UiServices& services_;
    std::function<int()> period_;
    QDate fixed_today_;
    CollectionTally tally_;
    CollectionStats stats_;
    QDate figured_on_;  // the day the figures were counted to
    std::vector<Section> sections_;
    std::vector<Section> drawn_;  // while the sections are made anew: those drawn before
    CatalogueStamp stamp_;        // of the catalogue as the kept counts stand for it
    bool recount_ = true;         // the kept counts may be out of date: read every row anew
    bool check_ = false;          // read every row anew unless the stamp is still stamp_
    bool in_change_ = false;
    bool refigure_ = false;  // the kept counts changed since the charts were drawn
    bool refresh_pending_ = false;
    int whole_reads_ = 0;
};

// A month as the loans chart labels it: "3/2024".
QString MonthLabel(const QDate& month);
