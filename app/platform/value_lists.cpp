#include "app/platform/value_lists.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QStringListModel>
#include <QVariant>
#include <algorithm>

#include "app/core/codepage.h"
#include "storage/query.h"

namespace {

const char* const kColumnNames[] = {"autor", "zanr", "umisteni", "zapujcenokomu", "vydal"};
// The generation of the list a box was last filled with; any change of its items drops it.
const char* const kFilledWith = "svazkovnaValueList";
const char* const kWatched = "svazkovnaValueListWatched";

int KindOf(const std::string& type) {
    if (type == "null") return 0;
    if (type == "integer" || type == "real") return 1;
    if (type == "text") return 2;
    return 3;
}

void OpenLine(TASQLite3Query& query, const std::string& sql) {
    query.SQL().Clear();
    query.SQL().Add(sql);
    query.Open();
}

// The three fields that tell a value from the query's columns `at`..`at`+2:
// its delivered text, its type and its stored length.
template <typename V>
V ValueAt(TASQLite3Query& query, int at) {
    V v;
    v.shown = query.Fields(at).AsString();
    v.kind = KindOf(query.Fields(at + 1).AsString());
    v.whole = v.kind != 2 || query.Fields(at + 2).AsString() == std::to_string(v.shown.size());
    return v;
}

std::string ValueColumns(const char* column) {
    const std::string c = column;
    return c + ",typeof(" + c + "),length(cast(" + c + " as blob))";
}

}  // namespace

ValueLists::ValueLists(TASQLite3DB& db) : db_(db) { query_.SetConnection(&db); }

const ValueLists::List& ValueLists::Current(Column column) {
    List& list = lists_[column];
    const CatalogueStamp now = StampOf(db_);
    if (list.stamp.Same(now)) return list;
    const std::string c = kColumnNames[column];
    // The same values in the same order as "select distinct ... order by", with their row counts.
    OpenLine(query_, "select " + ValueColumns(kColumnNames[column]) + ",count(*) from svazkovna group by " + c +
                         " order by " + c);
    std::vector<Value> values;
    QStringList items;
    const int n = query_.RecordCount();
    values.reserve(static_cast<size_t>(n));
    items.reserve(n);
    query_.First();
    for (int i = 0; i < n; ++i) {
        Value v = ValueAt<Value>(query_, 0);
        v.rows = std::strtoll(query_.Fields(3).AsString().c_str(), nullptr, 10);
        items.append(FromCodePage(v.shown));
        values.push_back(std::move(v));
        query_.Next();
    }
    list.values = std::move(values);
    list.items = std::move(items);
    list.stamp = now;
    list.generation = ++generations_;
    return list;
}

void ValueLists::Forget() {
    for (List& list : lists_) list = List{};
    noted_ = false;
}

void ValueLists::Put(Column column, QComboBox& box) {
    const List& list = Current(column);
    if (box.property(kFilledWith).toULongLong() == list.generation && box.count() == list.items.size()) return;
    if (!box.property(kWatched).toBool()) {
        box.setProperty(kWatched, true);
        // The box holds its items as one list, shared with the one kept here:
        // filling or emptying thousands of entries is one step, not one item at a time.
        auto* model = new QStringListModel(&box);
        box.setModel(model);
        const auto drop = [b = &box] { b->setProperty(kFilledWith, QVariant()); };
        QObject::connect(model, &QAbstractItemModel::rowsInserted, &box, drop);
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, &box, drop);
        QObject::connect(model, &QAbstractItemModel::modelReset, &box, drop);
        QObject::connect(model, &QAbstractItemModel::dataChanged, &box, drop);
    }
    static_cast<QStringListModel*>(box.model())->setStringList(list.items);
    box.setProperty(kFilledWith, QVariant::fromValue<qulonglong>(list.generation));
}

void ValueLists::Fill(Column column, QComboBox& box) {
    // Refilling moves the edit text; it must keep showing what it showed.
    const QString editText = box.currentText();
    Put(column, box);
    // A refill leaves the first entry current.
    const int first = box.count() > 0 ? 0 : -1;
    if (box.currentIndex() != first) box.setCurrentIndex(first);
    box.setEditText(editText);
}

void ValueLists::FillEmpty(Column column, QComboBox& box) {
    Put(column, box);
    box.setCurrentIndex(-1);
    box.clearEditText();
}

std::vector<ValueLists::RowState> ValueLists::ReadRows(const std::vector<int64_t>& keys) {
    std::string columns;
    for (const char* c : kColumnNames) columns += (columns.empty() ? "" : ",") + ValueColumns(c);
    std::vector<RowState> rows;
    for (int64_t key : keys) {
        OpenLine(query_, "select " + columns + " from svazkovna where rowid=" + std::to_string(key));
        RowState row;
        row.exists = query_.RecordCount() > 0;
        if (row.exists)
            for (int c = 0; c < ColumnCount; ++c) row.values[static_cast<size_t>(c)] = ValueAt<Value>(query_, 3 * c);
        rows.push_back(std::move(row));
    }
    return rows;
}

void ValueLists::BeforeOwnChange(const std::vector<int64_t>& keys) {
    noted_ = false;
    noted_stamp_ = StampOf(db_);
    bool any = false;
    for (const List& list : lists_) any = any || list.stamp.Same(noted_stamp_);
    if (!any) return;
    noted_keys_ = keys;
    noted_rows_ = ReadRows(keys);
    noted_ = true;
}

namespace {

// The engine's order of a value that is all there is of it against a listed one.
int Order(const ValueLists::Value& whole, const ValueLists::Value& listed) {
    if (whole.kind != listed.kind) return whole.kind < listed.kind ? -1 : 1;
    if (whole.kind == 0) return 0;
    const size_t common = std::min(whole.shown.size(), listed.shown.size());
    const int c = whole.shown.compare(0, common, listed.shown, 0, common);
    if (c != 0) return c < 0 ? -1 : 1;
    if (listed.whole)
        return whole.shown.size() == listed.shown.size() ? 0 : (whole.shown.size() < listed.shown.size() ? -1 : 1);
    // The listed value goes on beyond its shown text: past a zero byte, which
    // sorts before any byte of a whole text, or past the delivered size, which
    // a whole text does not reach.
    return whole.shown.size() > listed.shown.size() ? 1 : -1;
}

}  // namespace

bool ValueLists::Move(List& list, const Value* before, const Value* after, bool& changed) {
    // Only NULLs and whole texts are told apart by what a query delivers.
    const auto known = [](const Value* v) { return !v || v->kind == 0 || (v->kind == 2 && v->whole); };
    if (!known(before) || !known(after)) return false;
    if (before && after && Order(*before, *after) == 0) return true;
    const auto find = [&](const Value& v) {
        return std::partition_point(list.values.begin(), list.values.end(),
                                    [&](const Value& listed) { return Order(v, listed) > 0; });
    };
    if (before) {
        auto at = find(*before);
        if (at == list.values.end() || Order(*before, *at) != 0 || at->rows < 1) return false;
        if (--at->rows == 0) {
            list.items.removeAt(at - list.values.begin());
            list.values.erase(at);
            changed = true;
        }
    }
    if (after) {
        auto at = find(*after);
        if (at != list.values.end() && Order(*after, *at) == 0) {
            ++at->rows;
        } else {
            Value v = *after;
            v.rows = 1;
            list.items.insert(at - list.values.begin(), FromCodePage(v.shown));
            list.values.insert(at, std::move(v));
            changed = true;
        }
    }
    return true;
}

void ValueLists::AfterOwnChange(int64_t changes, const std::vector<int64_t>& added, int64_t historyLines) {
    if (!noted_) return;
    noted_ = false;
    const CatalogueStamp now = StampOf(db_);
    const bool asExpected = Follows(noted_stamp_, now, changes, historyLines);
    std::vector<int64_t> keys = noted_keys_;
    std::vector<RowState> before = noted_rows_;
    keys.insert(keys.end(), added.begin(), added.end());
    before.resize(keys.size());
    const std::vector<RowState> after = asExpected ? ReadRows(keys) : std::vector<RowState>{};
    for (int c = 0; c < ColumnCount; ++c) {
        List& list = lists_[static_cast<size_t>(c)];
        if (!list.stamp.Same(noted_stamp_)) continue;
        bool ok = asExpected;
        bool changed = false;
        for (size_t i = 0; ok && i < keys.size(); ++i) {
            const RowState& b = before[i];
            const RowState& a = after[i];
            ok = Move(list, b.exists ? &b.values[static_cast<size_t>(c)] : nullptr,
                      a.exists ? &a.values[static_cast<size_t>(c)] : nullptr, changed);
        }
        if (!ok) {
            list = List{};  // read anew when next needed
            continue;
        }
        list.stamp = now;
        if (changed) list.generation = ++generations_;
    }
}
