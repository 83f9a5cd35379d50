// Declared column types: any text gives a field kind and size, or the
// conversion error naming the bracketed text that is not a number.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <typeinfo>

#include "fuzz/fuzz_check.h"
#include "storage/errors.h"
#include "storage/field_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string declared(reinterpret_cast<const char*>(data), size);
    // The engine hands declared types over as C strings: they never hold a zero byte.
    declared.resize(std::min(declared.size(), declared.find('\0')));
    try {
        const FieldInfo info = GetFieldInfo(declared);
        if (declared.find('(') == std::string::npos) {
            // Without a bracket the type is a whole word from the table or a text.
            FUZZ_CHECK(info.size > 0 && info.scale == 0, "plain type with a size of its own");
        } else if (info.kind == TFieldType::ftString && info.size != 255 && info.size != 256) {
            // A bracketed size is the number written there.
            FUZZ_CHECK(declared.find(std::to_string(info.size).substr(info.size < 0 ? 1 : 0)) != std::string::npos,
                       "size " + std::to_string(info.size) + " not in the text");
        }
    } catch (const EConvertError& e) {
        const std::string_view message = e.what();
        constexpr std::string_view kTail = "' is not a valid integer value";
        FUZZ_CHECK(StartsWith(message, "'") && EndsWith(message, kTail), "wrong message: " + std::string(message));
        const std::string_view inner = message.substr(1, message.size() - 1 - kTail.size());
        FUZZ_CHECK(declared.find(inner) != std::string::npos, "message names text not in the type");
        FUZZ_CHECK(!TryStrToInt(inner).has_value(), "a valid integer reported as invalid");
    } catch (const std::exception& e) {
        FUZZ_CHECK(false, std::string("unexpected ") + typeid(e).name() + ": " + e.what());
    }
    return 0;
}
