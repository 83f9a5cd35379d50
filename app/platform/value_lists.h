#pragma once
// The drop-down lists of the record panel and of the new-record dialog: every
// distinct value of a column in the engine's order (NULL first, then by bytes),
// as a "select distinct" returns them. Read once for a state of the catalogue
// and then carried along by the program's own changes of single rows, so that
// showing a record does not scan the whole table five times.
#include <QStringList>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/platform/catalogue_stamp.h"
#include "storage/query.h"

class QComboBox;

class ValueLists {
public:
    enum Column { Autor, Zanr, Umisteni, Zapujcenokomu, Vydal, ColumnCount };

    explicit ValueLists(TASQLite3DB& db);

    // Puts the column's list into `box` (read first when the catalogue changed
    // since), unless the box holds it already. The edit text stays; the first
    // entry is current, as after a refill.
    void Fill(Column column, QComboBox& box);
    // The same for a box that must show no entry and an empty edit text.
    void FillEmpty(Column column, QComboBox& box);
    // Drops every list: the next fill reads it anew. For another file, or
    // the same file opened anew: a new connection's stamp may equal an old one's.
    void Forget();

    // Around one of the program's own changes of the rows with these engine
    // keys, meant to change `changes` rows (`added`: keys of rows it inserted):
    // before it the rows' values are noted, after it the lists follow them.
    // Anything unexpected in between leaves the lists to be read anew.
    void BeforeOwnChange(const std::vector<int64_t>& keys);
    // (`historyLines`: see Follows in catalogue_stamp.h.)
    void AfterOwnChange(int64_t changes, const std::vector<int64_t>& added = {}, int64_t historyLines = 0);

    // A distinct value: its kind in the engine's order (0 NULL, 1 number,
    // 2 text, 3 blob), the text a query delivers, whether that is all of it,
    // and how many rows hold it.
    struct Value {
        int kind = 0;
        std::string shown;
        bool whole = true;
        int64_t rows = 0;
    };

private:
    struct List {
        CatalogueStamp stamp;  // of the catalogue the list was read from
        std::vector<Value> values;
        QStringList items;
        uint64_t generation = 0;
    };
    struct RowState {
        bool exists = false;
        std::array<Value, ColumnCount> values;
    };

    const List& Current(Column column);
    void Put(Column column, QComboBox& box);
    static bool Move(List& list, const Value* before, const Value* after, bool& changed);
    std::vector<RowState> ReadRows(const std::vector<int64_t>& keys);

    TASQLite3DB& db_;
    TASQLite3Query query_{"valuelists"};
    std::array<List, ColumnCount> lists_;
    uint64_t generations_ = 0;
    // Noted by BeforeOwnChange.
    bool noted_ = false;
    CatalogueStamp noted_stamp_;
    std::vector<int64_t> noted_keys_;
    std::vector<RowState> noted_rows_;
};
