// Duplicate check and batch insert for books found by ISBN.
#include "catalogue/isbn_store.h"

#include <stdexcept>

#include "catalogue/isbn.h"
#include "storage/connection.h"
#include "storage/errors.h"
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
        if (auto stored = isbn::Normalize(query.Fields(0).AsString())) keys.isbns.insert(*stored);
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

std::vector<int32_t> StoreNewBooks(TASQLite3DB& db, const std::vector<NewBook>& books) {
    for (const NewBook& b : books)
        if (!Storable(b)) throw std::invalid_argument("Kniha bez autora nebo titulu se neukládá.");
    std::vector<int32_t> ids;
    ids.reserve(books.size());
    if (books.empty()) return ids;
    db.StartTransaction();
    try {
        // Taken inside the transaction that stores the books.
        int32_t id = NextBookId(db);
        TASQLite3Query query("isbnstoreq");
        query.SetConnection(&db);
        for (const NewBook& b : books) {
            query.SQL().Clear();
            query.SQL().Add(NewBookSql(id, b));
            query.ExecSQL();
            ids.push_back(id++);
        }
        db.Commit();
    } catch (...) {
        // A failed statement or commit must not leave the transaction open.
        try {
            db.RollBack();
        } catch (const Exception&) {
        }
        throw;
    }
    return ids;
}

bool MayWriteIsbn(const std::string& udaj1) { return udaj1.empty() || isbn::HoldsIsbn(udaj1); }
