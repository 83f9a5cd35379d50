#include "catalogue/import_rows.h"

#include <unordered_map>

#include "catalogue/isbn.h"

void MarkStored(std::vector<ImportRow>& rows, const std::unordered_set<std::string>& storedKeys,
                const std::unordered_set<std::string>& storedUdaj1) {
    // A stored ISBN typed with hyphens, as an ISBN-10 or inside other text
    // ("ISBN 978-80-…; váz.") is the same book.
    std::unordered_set<std::string> storedIsbns;
    for (const std::string& text : storedUdaj1)
        if (const auto stored = isbn::Find(text)) storedIsbns.insert(*stored);
    std::unordered_map<std::string, int> seenKeys;
    std::unordered_map<std::string, int> seenIsbns;
    for (size_t i = 0; i < rows.size(); ++i) {
        const CatalogueRow& row = rows[i].row;
        const int index = static_cast<int>(i);
        const std::string* isbn = row[kUdaj1Column] && !row[kUdaj1Column]->empty() ? &*row[kUdaj1Column] : nullptr;
        bool stored = isbn && storedIsbns.count(*isbn) > 0;
        int earlier = -1;
        if (isbn) earlier = seenIsbns.try_emplace(*isbn, index).first->second;
        const std::string key = row[kAuthorColumn] && row[kTitleColumn]
                                    ? AuthorTitleKey(*row[kAuthorColumn], *row[kTitleColumn])
                                    : std::string();
        if (!key.empty()) {
            stored = stored || storedKeys.count(key) > 0;
            const int first = seenKeys.try_emplace(key, index).first->second;
            if (earlier == index || earlier < 0) earlier = first;
        }
        rows[i].duplicate = stored;
        rows[i].repeats = earlier >= 0 && earlier != index ? earlier : -1;
    }
}
