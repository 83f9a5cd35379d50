// The MARC reader on arbitrary bytes, as an ISO 2709 record (through YAZ)
// and as MARCXML: it refuses or gives records whose ISBNs are all valid in
// the stored form; it never crashes or reads past the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/isbn/marc_reader.h"
#include "catalogue/isbn.h"
#include "fuzz/fuzz_check.h"

namespace {
void CheckRecords(const std::optional<std::vector<FoundRecord>>& records) {
    if (!records) return;
    for (const FoundRecord& r : *records) {
        FUZZ_CHECK(!r.titul.isEmpty(), "a record without title was kept");
        for (const QString& i : r.isbns)
            FUZZ_CHECK(isbn::Normalize(i.toStdString()) == i.toStdString(), "ISBN not in the stored form");
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (const std::optional<QByteArray> xml = MarcToXml(bytes)) CheckRecords(ReadMarcXml(*xml));
    CheckRecords(ReadMarcXml(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()))));
    return 0;
}
