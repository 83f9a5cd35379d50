#pragma once
// The statistics window ("statistika"): the collection in charts, each with
// its numbers in a table beside it for reading and for screen readers; the
// charts export to PNG files and the whole page to one PDF. Non-modal; it is
// read anew on "obnovit" and whenever the catalogue changes while it is shown.
#include <QDate>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/statistics/figures/collection_stats.h"

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
    // Refreshes once the running handler is done, when shown.
    void CatalogueChanged();
    // The day the figures are counted to; today unless a test fixes it.
    void SetToday(const QDate& today) { fixed_today_ = today; }
    const CollectionStats& Stats() const { return stats_; }

    struct Section {
        QString title;
        QString name;  // in the exported file names
        QGroupBox* box = nullptr;
        QChartView* chart = nullptr;
        QTableWidget* table = nullptr;
    };
    const std::vector<Section>& Sections() const { return sections_; }

    // Handlers; they throw, the buttons run them guarded.
    void pngbClick();
    void pdfbClick();
    // Each chart as "<path without .png>-<name>.png"; returns the files written.
    QStringList ExportPng(const QString& path) const;
    void ExportPdf(const QString& path) const;

private:
    void Rebuild();
    // `what` heads the table's first column.
    void AddSection(const QString& title, const QString& name, const QString& what, const std::vector<LabelCount>& rows,
                    int chartKind, const std::vector<std::pair<QString, QString>>& more = {});

    std::unique_ptr<Ui::StatisticsWindow> ui_;
    TASQLite3DB& db_;
    UiServices& services_;
    std::function<int()> period_;
    QDate fixed_today_;
    CollectionStats stats_;
    std::vector<Section> sections_;
    bool refresh_pending_ = false;
};

// A month as the loans chart labels it: "3/2024".
QString MonthLabel(const QDate& month);
