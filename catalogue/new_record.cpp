// The next id and the insert of a new book.
#include "catalogue/new_record.h"

#include "storage/connection.h"
#include "storage/query.h"

int32_t NextBookId(TASQLite3DB& db) {
    TASQLite3Query query("nextidq");
    query.SetConnection(&db);
    query.SQL().Add("select max(id)+1 as noveid from svazkovna");
    query.Open();
    // An empty table gives NULL, read as empty text.
    if (query.Fields(0).AsString().empty()) return 1;
    return query.Fields(0).AsInteger();
}

std::string NewBookSql(int32_t id, const NewBook& b) {
    return "insert into svazkovna values(" + std::to_string(id) + ",'" + QuoteLiteralBody(b.autor) + "','" +
           QuoteLiteralBody(b.titul) + "','" + QuoteLiteralBody(b.zanr) + "','" + QuoteLiteralBody(b.vydal) + "','" +
           QuoteLiteralBody(b.serie) + "','" + QuoteLiteralBody(b.umisteni) + "','',''," + std::to_string(b.hodnoceni) +
           ",'" + QuoteLiteralBody(b.poznamka) + "','" + QuoteLiteralBody(b.udaj1) + "','" + QuoteLiteralBody(b.udaj2) +
           "','')";
}
