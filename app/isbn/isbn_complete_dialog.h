#pragma once
// "doplnit podle ISBN": one stored book beside the record found for its ISBN;
// only the fields the user ticks are written, to that row alone.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "app/isbn/isbn_lookup.h"
#include "app/platform/rows_change.h"
#include "catalogue/isbn_store.h"

class QLabel;
class QPushButton;
class QTableWidget;
class TASQLite3DB;
class UiServices;

class IsbnCompleteDialog : public QDialog {
    Q_OBJECT
public:
    // The fields offered, as the catalogue's columns and as the user reads them.
    static const std::vector<std::pair<std::string, QString>>& Fields();

    IsbnCompleteDialog(TASQLite3DB& db, UiServices& ui, StoredBook stored, QString isbn13,
                       std::vector<IsbnSource> sources, RowsWriter change, QWidget* parent);

    QTableWidget* Table() const { return table_; }
    QPushButton* SaveButton() const { return save_; }
    IsbnLookup& Lookup() { return *lookup_; }
    QString Status() const;
    // Whether the session still has the catalogue the dialog was opened on.
    bool OnOpenedCatalogue() const;
    // "uložit": writes the ticked fields; throws on a failed write, or when another catalogue is open.
    void Save();

private:
    void Finished(const LookupResult& result);

    TASQLite3DB& db_;
    UiServices& ui_;
    StoredBook stored_;
    QString isbn_;
    RowsWriter change_;
    IsbnLookup* lookup_;
    QTableWidget* table_;
    QLabel* status_;
    QPushButton* save_;
    NewBook found_;
    std::string opened_;  // the catalogue's file as the connection names it
};
