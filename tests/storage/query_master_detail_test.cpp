// Master/detail links: a detail follows its master's row and never outlives
// the link to it.
#include <memory>

#include "query_fixture.h"
#include "storage/errors.h"

using querytest::RunSql;

namespace {

class QueryMasterDetailTest : public querytest::QueryFixture {
protected:
    void SetUp() override {
        QueryFixture::SetUp();
        RunSql(path,
               "insert into svazkovna(id,autor,titul) values(1,'Hašek','Švejk'),(2,'Čapek','Krakatit'),"
               "(3,'Čapek','R.U.R.')");
    }
    std::unique_ptr<TASQLite3Query> NewQuery(const char* name, const char* sql) {
        auto q = std::make_unique<TASQLite3Query>(name);
        q->SetConnection(&con);
        q->SQL().Add(sql);
        return q;
    }
};

TEST_F(QueryMasterDetailTest, DetailDropsItsLinkWhenTheMasterGoesAway) {
    // Whatever state either is in: never opened, or both open.
    for (int variant = 0; variant < 4; ++variant) {
        auto master = NewQuery("master", "select id from svazkovna order by id");
        auto detail = NewQuery("detail", "select titul, id from svazkovna");
        detail->SetMasterSource(master.get());
        detail->SetMasterFields("id=id");
        if (variant >= 2) {
            master->Open();
            detail->Open();
        }
        master.reset();
        EXPECT_EQ(detail->MasterSource(), nullptr) << variant;
        if (variant % 2 == 0) {
            detail->Close();
            detail->Open();  // no master any more: all rows
            EXPECT_EQ(detail->RecordCount(), 3);
            auto other = NewQuery("other", "select id from svazkovna");
            detail->SetMasterSource(other.get());
            other.reset();
        }
        detail.reset();
    }
}

TEST_F(QueryMasterDetailTest, ReadingTheRowNumberMakesDetailsReRead) {
    auto master = NewQuery("master", "select id from svazkovna order by id");
    auto detail = NewQuery("detail", "select titul, id from svazkovna");
    detail->SetMasterSource(master.get());
    detail->SetMasterFields("id=id");
    master->Open();
    detail->Open();
    ASSERT_EQ(detail->RecordCount(), 3);
    EXPECT_EQ(master->RecNo(), 1);
    ASSERT_EQ(detail->RecordCount(), 1);
    EXPECT_EQ(detail->Fields(0).AsString(), "Švejk");
    master->SetRecNo(3);
    EXPECT_EQ(detail->Fields(0).AsString(), "R.U.R.");
}

}  // namespace
