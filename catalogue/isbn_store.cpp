// Duplicate check and batch insert for books found by ISBN.
#include "catalogue/isbn_store.h"

#include <stdexcept>

#include "catalogue/in_transaction.h"
#include "catalogue/isbn.h"
#include "storage/connection.h"
#include "storage/query.h"

namespace {

CatalogueKeys ReadKeys(TASQLite3DB& db, const std::string& where) {
    TASQLite3Query query("isbnkeysq");
    query.SetConnection(&db);
    query.SQL().Add("select udaj1, autor, titul from svazkovna" + where);
    query.Open();
    CatalogueKeys keys;
    query.First();
    for (int i = 0, n = query.RecordCount(); i < n; ++i) {
        // Any form a user or an import left: "ISBN 80-7106-131-X", "978-80-…; brož.".
        if (auto stored = isbn::Find(query.Fields(0).AsString())) keys.isbns.insert(*stored);
        keys.titles.emplace(query.Fields(1).AsString(), query.Fields(2).AsString());
        query.Next();
    }
    return keys;
}

}  // namespace

Duplicate CatalogueKeys::Check(const NewBook& book) const {
    const std::optional<std::string> own = isbn::Normalize(book.udaj1);
    if (own && isbns.count(*own)) return Duplicate::Isbn;
    if (titles.count({book.autor, book.titul})) return Duplicate::AuthorTitle;
    return Duplicate::None;
}

void CatalogueKeys::Add(const NewBook& book) {
    if (auto own = isbn::Normalize(book.udaj1)) isbns.insert(*own);
    titles.emplace(book.autor, book.titul);
}

CatalogueKeys ReadCatalogueKeys(TASQLite3DB& db) { return ReadKeys(db, ""); }

std::vector<Duplicate> FindDuplicates(TASQLite3DB& db, const std::vector<NewBook>& books) {
    std::vector<Duplicate> result;
    if (books.empty()) return result;
    // Only rows that can match are delivered: any ISBN-like `udaj1` (its
    // stored form may differ: hyphens, ISBN-10) and rows of the batch's authors.
    std::string authors;
    std::set<std::string> seen;
    for (const NewBook& b : books) {
        if (!seen.insert(b.autor).second) continue;
        if (!authors.empty()) authors += ',';
        authors += "'" + QuoteLiteralBody(b.autor) + "'";
    }
    const CatalogueKeys keys = ReadKeys(db, " where udaj1<>'' or autor in (" + authors + ")");
    result.reserve(books.size());
    for (const NewBook& b : books) result.push_back(keys.Check(b));
    return result;
}

std::vector<int32_t> StoreNewBooks(TASQLite3DB& db, const std::vector<NewBook>& books, std::vector<int64_t>* rowKeys) {
    for (const NewBook& b : books)
        if (!Storable(b)) throw std::invalid_argument("Kniha bez autora nebo titulu se neukládá.");
    std::vector<int32_t> ids;
    ids.reserve(books.size());
    if (books.empty()) return ids;
    InTransaction(db, [&] {
        if (rowKeys) rowKeys->clear();
        // Taken inside the transaction that stores the books.
        int32_t id = NextBookId(db);
        TASQLite3Query query("isbnstoreq");
        query.SetConnection(&db);
        for (const NewBook& b : books) {
            query.SQL().Clear();
            query.SQL().Add(NewBookSql(id, b));
            query.ExecSQL();
            if (rowKeys) rowKeys->push_back(db.Api().last_insert_rowid(db.Handle()));
            ids.push_back(id++);
        }
    });
    return ids;
}

bool MayWriteIsbn(const std::string& udaj1) { return udaj1.empty() || isbn::HoldsIsbn(udaj1); }

namespace {

// The book's text for a column name, or nothing for a column not completed.
const std::string* Column(const NewBook& b, const std::string& name) {
    if (name == "autor") return &b.autor;
    if (name == "titul") return &b.titul;
    if (name == "zanr") return &b.zanr;
    if (name == "vydal") return &b.vydal;
    if (name == "serie") return &b.serie;
    if (name == "udaj1") return &b.udaj1;
    return nullptr;
}

std::vector<StoredBook> ReadStoredBooks(TASQLite3DB& db, const std::string& condition) {
    TASQLite3Query query("isbntitleq");
    query.SetConnection(&db);
    // The row key as text: read as an integer column it would be cut to 32 bits.
    query.SQL().Add(
        "select cast(rowid as text) as radek, autor, titul, zanr, vydal, serie, umisteni, udaj1 "
        "from svazkovna where " +
        condition);
    query.Open();
    std::vector<StoredBook> rows;
    query.First();
    for (int i = 0, n = query.RecordCount(); i < n; ++i) {
        StoredBook s;
        s.rowKey = std::stoll(query.Fields(0).AsString());
        s.book.autor = query.Fields(1).AsString();
        s.book.titul = query.Fields(2).AsString();
        s.book.zanr = query.Fields(3).AsString();
        s.book.vydal = query.Fields(4).AsString();
        s.book.serie = query.Fields(5).AsString();
        s.book.umisteni = query.Fields(6).AsString();
        s.book.udaj1 = query.Fields(7).AsString();
        rows.push_back(std::move(s));
        query.Next();
    }
    return rows;
}

}  // namespace

std::vector<StoredBook> ReadTitleBooks(TASQLite3DB& db, const std::string& autor, const std::string& titul) {
    return ReadStoredBooks(db,
                           "(autor='" + QuoteLiteralBody(autor) + "') and (titul='" + QuoteLiteralBody(titul) + "')");
}

std::optional<StoredBook> ReadStoredBook(TASQLite3DB& db, int64_t rowKey) {
    std::vector<StoredBook> rows = ReadStoredBooks(db, "rowid=" + std::to_string(rowKey));
    if (rows.empty()) return std::nullopt;
    return std::move(rows.front());
}

bool CompleteBook(TASQLite3DB& db, const StoredBook& stored, const NewBook& found,
                  const std::vector<std::string>& fields) {
    std::string set;
    for (const std::string& f : fields) {
        const std::string* value = Column(found, f);
        if (!value || (f == "udaj1" && !MayWriteIsbn(stored.book.udaj1))) continue;
        set += (set.empty() ? "" : ",") + f + "='" + QuoteLiteralBody(*value) + "'";
    }
    if (set.empty()) return false;
    // Only while the row still holds what was shown: another program may have changed it.
    std::string where = "rowid=" + std::to_string(stored.rowKey);
    for (const char* f : {"autor", "titul", "zanr", "vydal", "serie", "udaj1"})
        where += std::string(" and ifnull(") + f + ",'')='" + QuoteLiteralBody(*Column(stored.book, f)) + "'";
    TASQLite3Query query("isbncompleteq");
    query.SetConnection(&db);
    query.SQL().Add("update svazkovna set " + set + " where " + where);
    query.ExecSQL();
    return db.RowsAffected() > 0;
}
