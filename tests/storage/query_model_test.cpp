// Random sequences of open, edit, insert, delete, post, cancel and moves on a
// query with an update-statement component, checked after every step against
// a small model of the table and of the result: the catalogue read with the
// system's SQLite library, the whole result store, the current row and state.
#include <random>

#include "query_fixture.h"
#include "storage/errors.h"
#include "storage/fields.h"
#include "storage/result_store.h"
#include "storage/update_sql.h"

namespace {

using State = TASQLite3BaseQuery::TDataSetState;

struct Row {
    int id = 0;
    std::string autor;
    int hodnoceni = 0;
    bool operator==(const Row&) const = default;
};

// What the query and the table should hold, and how each operation changes it.
struct Model {
    std::vector<Row> table;  // in rowid order
    bool active = false;
    std::vector<Row> result;
    int cur = -1;
    bool bof = false, eof = false;
    State state = State::dsInactive;
    Row pending;
    bool modified = false;

    int n() const { return static_cast<int>(result.size()); }
    void Open() {
        result = table;
        std::stable_sort(result.begin(), result.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
        active = true;
        cur = n() > 0 ? 0 : -1;
        bof = true;
        eof = n() == 0;
        state = State::dsBrowse;
    }
    void Close() {
        active = false;
        state = State::dsInactive;
    }
    void Post() {
        if (state == State::dsEdit) {
            for (Row& r : table)
                if (r.id == pending.id) r = pending;
            result[static_cast<size_t>(cur)] = pending;
        } else if (state == State::dsInsert) {
            table.push_back(pending);
            if (n() == 0) ++cur;
            result.insert(result.begin() + std::max(cur, 0), pending);
        }
        state = State::dsBrowse;
    }
    void Cancel() { state = State::dsBrowse; }
    void CheckBrowseMode() {
        if (state != State::dsBrowse) modified ? Post() : Cancel();
    }
    void StartInsert() {
        CheckBrowseMode();
        state = State::dsInsert;
        pending = Row{};
        modified = false;
    }
    void Edit() {
        if (state != State::dsBrowse) return;
        if (n() == 0) return StartInsert();
        state = State::dsEdit;
        pending = result[static_cast<size_t>(cur)];
        modified = false;
    }
    bool Delete() {  // false: "No Records"
        if (state == State::dsInsert) return Cancel(), true;
        Cancel();
        if (n() == 0) return false;
        const int id = result[static_cast<size_t>(cur)].id;
        std::erase_if(table, [&](const Row& r) { return r.id == id; });
        result.erase(result.begin() + cur);
        if (cur >= n()) cur = n() - 1;
        eof = n() == 0 || cur >= n() - 1;
        bof = cur <= 0;
        return true;
    }
    void First() {
        CheckBrowseMode();
        cur = n() > 0 ? 0 : -1;
        bof = true;
        eof = n() == 0;
    }
    void Last() {
        CheckBrowseMode();
        cur = n() - 1;
        eof = true;
        bof = n() == 0;
    }
    void MoveBy(int d) {
        CheckBrowseMode();
        if (d == 0 || (d > 0 && eof) || (d < 0 && bof)) return;
        bof = eof = false;
        for (; d > 0; --d) {
            if (cur >= n() - 1) {
                eof = true;
                break;
            }
            ++cur;
        }
        for (; d < 0; ++d) {
            if (cur <= 0) {
                bof = true;
                break;
            }
            --cur;
        }
    }
    void Locate(int id) {
        CheckBrowseMode();
        for (int i = 0; i < n(); ++i)
            if (result[static_cast<size_t>(i)].id == id) {
                cur = i;
                bof = eof = false;
                return;
            }
    }
    void SetRecNo(int recNo) {
        CheckBrowseMode();
        cur = recNo - 1;
        bof = eof = false;
    }
};

class QueryModelTest : public querytest::QueryFixture {
protected:
    void SetUp() override {
        QueryFixture::SetUp();
        usql.InsertSQL.Add("insert into svazkovna *");
        usql.UpdateSQL.Add("update svazkovna * where id=:id");
        usql.DeleteSQL.Add("delete from svazkovna where id=:id");
        query.SetUpdateSQL(&usql);
        query.SQL().Add("select id, autor, hodnoceni from svazkovna order by id, rowid");
    }

    std::vector<Row> Catalogue() {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "select id, autor, hodnoceni from svazkovna order by rowid", -1, &st, nullptr);
        std::vector<Row> rows;
        while (st && sqlite3_step(st) == SQLITE_ROW)
            rows.push_back(Row{sqlite3_column_int(st, 0), reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                               sqlite3_column_int(st, 2)});
        sqlite3_finalize(st);
        sqlite3_close(db);
        return rows;
    }

    static Row Stored(const char* row) {
        const auto v = RowValues(row, 3);
        return Row{std::stoi(StoredAsString(TFieldType::ftInteger, v[0])), std::string(v[1]),
                   std::stoi(StoredAsString(TFieldType::ftInteger, v[2]))};
    }

    void Check(const Model& m, const std::string& trace) {
        ASSERT_EQ(Catalogue(), m.table) << trace;
        ASSERT_EQ(query.Active(), m.active) << trace;
        ASSERT_EQ(query.State(), m.state) << trace;
        if (!m.active) return;
        ASSERT_EQ(query.RecordCount(), m.n()) << trace;
        for (int i = 0; i < m.n(); ++i)
            ASSERT_EQ(Stored(query.Result()->GetData(i)), m.result[static_cast<size_t>(i)]) << trace;
        ASSERT_EQ(query.Bof(), m.bof) << trace;
        ASSERT_EQ(query.Eof(), m.eof) << trace;
        if (m.state == State::dsBrowse && m.cur < 0) return;
        const Row& shown = m.state == State::dsBrowse ? m.result[static_cast<size_t>(m.cur)] : m.pending;
        ASSERT_EQ(query.Fields(0).AsInteger(), shown.id) << trace;
        ASSERT_EQ(query.Fields(1).AsString(), shown.autor) << trace;
        ASSERT_EQ(query.Fields(2).AsInteger(), shown.hodnoceni) << trace;
    }

    TASQLite3UpdateSQL usql{"usql1"};
};

TEST_F(QueryModelTest, RandomEditingMatchesTheModelAfterEveryStep) {
    const char* const authors[] = {"", "Hašek", "O'Brien", "a:b :id", "x\"y", "Čapek"};
    for (unsigned seed = 1; seed <= 12; ++seed) {
        querytest::RunSql(path, "delete from svazkovna");
        query.Close();
        std::mt19937 rng(seed);
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        Model m;
        int nextId = 1;
        std::string trace = "seed " + std::to_string(seed) + ":";
        for (int step = 0; step < 250; ++step) {
            const int op = m.active ? pick(16) : 0;
            trace += " " + std::to_string(op);
            switch (op) {
            case 0:
                query.Close();
                query.Open();
                m.Close();
                m.Open();
                break;
            case 1:
                query.Close();
                m.Close();
                break;
            case 2:
                query.Edit();
                m.Edit();
                break;
            case 3:
            case 4:
                if (m.state == State::dsBrowse) break;
                if (op == 3) {
                    m.pending.autor = authors[pick(6)];
                    query.Fields(1).SetAsString(m.pending.autor);
                } else {
                    m.pending.hodnoceni = pick(10);
                    query.Fields(2).SetAsInteger(m.pending.hodnoceni);
                }
                m.modified = true;
                break;
            case 5:
                query.Insert();
                m.StartInsert();
                if (pick(4) != 0) {  // now and then a row with no id at all
                    m.pending.id = nextId++;
                    query.Fields(0).SetAsInteger(m.pending.id);
                    m.modified = true;
                }
                break;
            case 6:
                query.Post();
                m.Post();
                break;
            case 7:
                query.Cancel();
                m.Cancel();
                break;
            case 8:
                if (m.Delete())
                    query.Delete();
                else
                    ASSERT_THROW(query.Delete(), EDatabaseError) << trace;
                break;
            case 9:
                query.Next();
                m.MoveBy(1);
                break;
            case 10:
                query.Prior();
                m.MoveBy(-1);
                break;
            case 11:
                query.First();
                m.First();
                break;
            case 12:
                query.Last();
                m.Last();
                break;
            case 13: {
                const int d = pick(7) - 3;
                query.MoveBy(d);
                m.MoveBy(d);
                break;
            }
            case 14: {
                const int id = pick(nextId + 1);
                query.Locate("id", {std::to_string(id)});
                m.Locate(id);
                break;
            }
            case 15:
                if (m.n() == 0) break;
                {
                    const int r = 1 + pick(m.n());
                    query.SetRecNo(r);
                    m.SetRecNo(r);
                }
                break;
            }
            Check(m, trace);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
