// ISBN validation on arbitrary text: a normalised ISBN is 13 digits that
// normalise to themselves; finding in free text gives only valid ISBNs.
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalogue/isbn.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto n = isbn::Normalize(text);
    FUZZ_CHECK(n.has_value() == (isbn::Check(text) == isbn::Fault::None), "check and normalise disagree");
    if (n) {
        FUZZ_CHECK(n->size() == 13 && isbn::Normalize(*n) == n, "stored form not stable");
        if (auto ten = isbn::To10(*n)) FUZZ_CHECK(isbn::Normalize(*ten) == n, "ISBN-10 round trip");
    }
    if (auto found = isbn::Find(text)) FUZZ_CHECK(isbn::Normalize(*found) == found, "found an invalid ISBN");
    return 0;
}
