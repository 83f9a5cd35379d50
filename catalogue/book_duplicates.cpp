#include "catalogue/book_duplicates.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <numeric>
#include <unordered_map>

#include "catalogue/book_match.h"
#include "catalogue/in_transaction.h"
#include "catalogue/isbn.h"
#include "catalogue/row_sink.h"
#include "storage/connection.h"
#include "storage/query.h"

namespace {

constexpr const char* kColumns =
    "select cast(rowid as text) as radek, id, autor, titul, zanr, vydal, serie, umisteni, zapujcenokomu, "
    "zapujcenokdy, hodnoceni, poznamka, udaj1, udaj2 from svazkovna";
enum { Autor = 1, Titul = 2, Udaj1 = 11 };

int64_t KeyOf(std::string_view text) {
    int64_t key = 0;
    std::from_chars(text.data(), text.data() + text.size(), key);
    return key;
}

std::string Signature(const DuplicateBook& b) {
    return match::BookKey(b.fields[Autor], b.fields[Titul]) + "/" + isbn::Find(b.fields[Udaj1]).value_or("");
}

size_t Root(std::vector<size_t>& parent, size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
}

}  // namespace

std::vector<DuplicateGroup> FindDuplicates(TASQLite3DB& db, const std::set<std::string>& kept) {
    // One pass for the keys alone; the few books in groups are read whole afterwards.
    std::vector<int64_t> keys;
    std::vector<size_t> parent;
    std::vector<bool> isbnLink;
    std::unordered_map<std::string, size_t> byIsbn, byBook;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (row.size() < 4) return;
        const size_t at = keys.size();
        keys.push_back(KeyOf(row[0].text));
        parent.push_back(at);
        isbnLink.push_back(false);
        if (const std::optional<std::string> number = isbn::Find(row[3].text)) {
            auto [it, fresh] = byIsbn.try_emplace(*number, at);
            if (!fresh) {
                parent[Root(parent, at)] = Root(parent, it->second);
                isbnLink[at] = isbnLink[it->second] = true;
            }
        }
        if (std::string book = match::BookKey(row[1].text, row[2].text); !book.empty()) {
            auto [it, fresh] = byBook.try_emplace(std::move(book), at);
            if (!fresh) parent[Root(parent, at)] = Root(parent, it->second);
        }
    });
    db.SQLiteExecute("select cast(rowid as text) as radek, autor, titul, udaj1 from svazkovna", &sink);

    std::map<size_t, std::vector<size_t>> classes;
    for (size_t i = 0; i < keys.size(); ++i) classes[Root(parent, i)].push_back(i);
    std::unordered_map<int64_t, std::pair<size_t, bool>> groupOf;  // key -> group, by ISBN
    std::vector<DuplicateGroup> groups;
    std::string in;
    for (const auto& [root, members] : classes) {
        if (members.size() < 2) continue;
        for (const size_t m : members) {
            groupOf[keys[m]] = {groups.size(), isbnLink[m]};
            in.append(in.empty() ? "" : ",").append(std::to_string(keys[m]));
        }
        groups.emplace_back();
    }
    if (groups.empty()) return groups;
    RowSink whole([&](const std::vector<ColumnValue>& row) {
        if (row.size() < 1 + kDuplicateColumns) return;
        const auto it = groupOf.find(KeyOf(row[0].text));
        if (it == groupOf.end()) return;
        DuplicateGroup& g = groups[it->second.first];
        g.byIsbn = g.byIsbn || it->second.second;
        DuplicateBook& b = g.books.emplace_back();
        b.key = it->first;
        for (int c = 1; c <= kDuplicateColumns; ++c) b.fields.emplace_back(row[static_cast<size_t>(c)].text);
    });
    db.SQLiteExecute(std::string(kColumns) + " where rowid in (" + in + ")", &whole);

    for (DuplicateGroup& g : groups) {
        std::vector<std::string> signatures;
        for (const DuplicateBook& b : g.books) signatures.push_back(Signature(b));
        std::sort(signatures.begin(), signatures.end());
        for (const std::string& s : signatures) g.identity.append(g.identity.empty() ? "" : "|").append(s);
    }
    groups.erase(std::remove_if(groups.begin(), groups.end(),
                                [&](const DuplicateGroup& g) { return g.books.size() < 2 || kept.count(g.identity); }),
                 groups.end());
    std::stable_sort(groups.begin(), groups.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
        if (a.byIsbn != b.byIsbn) return a.byIsbn;
        return a.identity < b.identity;
    });
    return groups;
}

std::vector<int64_t> DeleteCopies(TASQLite3DB& db, const std::vector<DuplicateBook>& books) {
    std::vector<int64_t> deleted;
    InTransaction(db, [&] {
        for (const DuplicateBook& b : books) {
            std::string sql = "delete from svazkovna where rowid=" + std::to_string(b.key);
            for (const auto& [column, at] : {std::pair{"autor", Autor}, {"titul", Titul}, {"udaj1", Udaj1}})
                sql += std::string(" and ifnull(") + column + ",'')='" +
                       QuoteLiteralBody(b.fields[static_cast<size_t>(at)]) + "'";
            db.ExecStatements(sql);
            if (db.RowsAffected() > 0) deleted.push_back(b.key);
        }
    });
    return deleted;
}
