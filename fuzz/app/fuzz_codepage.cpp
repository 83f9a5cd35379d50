// The code page at the window's edge: every byte string survives the trip to
// text and back, and any text either converts without loss or is refused.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <typeinfo>

#include "app/core/codepage.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const QString text = FromCodePage(bytes);
    FUZZ_CHECK(static_cast<size_t>(text.size()) == bytes.size(), "one character per byte");
    FUZZ_CHECK(FitsCodePage(text), "a decoded text does not fit the code page");
    FUZZ_CHECK(ToCodePage(text) == bytes, "bytes changed on the way through the text");

    // The same input read as UTF-16 code units: any text a control may hold.
    QString any(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    for (size_t i = 0; i + 1 < size; i += 2)
        any[static_cast<qsizetype>(i / 2)] = QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    QString bad;
    const bool fits = FitsCodePage(any, &bad);
    try {
        const std::string encoded = ToCodePage(any);
        FUZZ_CHECK(fits, "converted a text that does not fit");
        FUZZ_CHECK(FromCodePage(encoded) == any, "text changed on the way through the bytes");
    } catch (const CodePageError& e) {
        FUZZ_CHECK(!fits, "refused a text that fits");
        FUZZ_CHECK(e.Character() == bad, "error names another character than the check");
        FUZZ_CHECK(!bad.isEmpty() && any.contains(bad), "error names a character not in the text");
        FUZZ_CHECK(std::strlen(e.what()) > 0, "empty message");
    } catch (const std::exception& e) {
        FUZZ_CHECK(false, std::string("unexpected ") + typeid(e).name() + ": " + e.what());
    }
    return 0;
}
