// The Open Library reader on arbitrary bytes: it refuses or gives records with
// a title and ISBNs in the stored form.
#include <cstddef>
#include <cstdint>

#include "app/isbn/openlibrary_reader.h"
#include "catalogue/isbn.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto records = ReadOpenLibrary(bytes);
    if (!records) return 0;
    for (const FoundRecord& r : *records) {
        FUZZ_CHECK(!r.titul.isEmpty(), "a record without title was kept");
        for (const QString& i : r.isbns)
            FUZZ_CHECK(isbn::Normalize(i.toStdString()) == i.toStdString(), "ISBN not in the stored form");
    }
    return 0;
}
