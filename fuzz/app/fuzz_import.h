#pragma once
// The shared body of the import readers' fuzz targets: on arbitrary bytes a
// reader either refuses with a Czech message that says nothing was imported,
// or gives rows as the catalogue stores them (a rating of 1 to 5, an ISBN of
// thirteen digits or none, no zero byte in a text, a place for every row).
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/transfer/readers/import_reader.h"
#include "fuzz/fuzz_check.h"

inline int FuzzImportReader(const ImportReader& reader, const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so that ASan sees any read past it.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ImportPlan plan;
    try {
        plan = reader.Read(ImportSource{bytes, {}});
    } catch (const ImportError& e) {
        const std::string message = e.what();
        FUZZ_CHECK(e.Total() >= 1, "an error without problems");
        FUZZ_CHECK(message.size() > 24 && message.compare(message.size() - 24, 24, "Nic nebylo importováno.") == 0,
                   "a refusal that does not say nothing was imported");
        return 0;
    }
    for (const ImportRow& r : plan.rows) {
        FUZZ_CHECK(r.line >= 1, "a row without its place");
        const CatalogueRow& row = r.row;
        for (const auto& value : row)
            FUZZ_CHECK(!value || value->find('\0') == std::string::npos, "a zero byte in a stored text");
        const auto& rating = row[kRatingColumn];
        FUZZ_CHECK(rating && rating->size() == 1 && (*rating)[0] >= '1' && (*rating)[0] <= '5', "a rating outside 1-5");
        const auto& isbn = row[kUdaj1Column];
        if (!plan.ownExport && plan.format != QLatin1String("CSV"))
            FUZZ_CHECK(isbn && (isbn->empty() ||
                                (isbn->size() == 13 && isbn->find_first_not_of("0123456789") == std::string::npos)),
                       "an ISBN not in the stored form");
    }
    MarkStored(plan, {}, {}, 1);
    for (size_t i = 0; i < plan.rows.size(); ++i)
        FUZZ_CHECK(plan.rows[i].repeats < static_cast<int>(i), "a repeat of a later row");
    return 0;
}

#define SVAZKOVNA_FUZZ_READER(name)                                               \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {     \
        static const std::unique_ptr<ImportReader> reader = Make##name##Reader(); \
        return FuzzImportReader(*reader, data, size);                             \
    }
