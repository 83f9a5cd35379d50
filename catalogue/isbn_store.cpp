// Duplicate check and batch insert for books found by ISBN.
#include "catalogue/isbn_store.h"

#include <set>
#include <stdexcept>
#include <utility>

#include "catalogue/isbn.h"
#include "storage/connection.h"
#include "storage/errors.h"
#include "storage/query.h"

std::vector<Duplicate> FindDuplicates(TASQLite3DB& db, const std::vector<NewBook>& books) {
    std::vector<Duplicate> result(books.size(), Duplicate::None);
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
    TASQLite3Query query("isbndupq");
    query.SetConnection(&db);
    query.SQL().Add("select udaj1, autor, titul from svazkovna where udaj1<>'' or autor in (" + authors + ")");
    query.Open();
    std::set<std::string> isbns;
    std::set<std::pair<std::string, std::string>> titles;
    query.First();
    for (int i = 0, n = query.RecordCount(); i < n; ++i) {
        if (auto stored = isbn::Normalize(query.Fields(0).AsString())) isbns.insert(*stored);
        titles.emplace(query.Fields(1).AsString(), query.Fields(2).AsString());
        query.Next();
    }
    for (size_t i = 0; i < books.size(); ++i) {
        const std::optional<std::string> own = isbn::Normalize(books[i].udaj1);
        if (own && isbns.count(*own))
            result[i] = Duplicate::Isbn;
        else if (titles.count({books[i].autor, books[i].titul}))
            result[i] = Duplicate::AuthorTitle;
    }
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
