// The ":name" parameter scan: never longer than its input, places that point
// at "?", and a text without a colon outside quoted tokens left untouched.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "storage/param_scan.h"

namespace {

// Whether a ':' stands outside the quoted tokens, which run from a quote
// character to its next occurrence (or to the end of the text).
bool ColonOutsideQuotes(std::string_view sql) {
    char open = 0;
    for (char c : sql) {
        if (open) {
            if (c == open) open = 0;
        } else if (c == '\'' || c == '"' || c == '`') {
            open = c;
        } else if (c == ':') {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so that ASan sees any read past it.
    const std::string sql(reinterpret_cast<const char*>(data), size);
    const ParamScan scan = ScanParameters(sql);

    FUZZ_CHECK(scan.text.size() <= sql.size(), "output longer than input");
    FUZZ_CHECK(scan.names.size() == scan.places.size(), "a name without a place");
    size_t previous = 0;
    for (size_t k = 0; k < scan.places.size(); ++k) {
        const size_t at = scan.places[k];
        FUZZ_CHECK(at < scan.text.size() && scan.text[at] == '?', "place does not hold '?'");
        FUZZ_CHECK(k == 0 || at > previous, "places out of order");
        FUZZ_CHECK(scan.names[k].size() < sql.size(), "name longer than the text");
        previous = at;
    }
    if (!ColonOutsideQuotes(sql)) {
        FUZZ_CHECK(scan.text == sql, "text without parameters changed");
        FUZZ_CHECK(scan.names.empty(), "parameters found without a colon outside quotes");
    }
    return 0;
}
