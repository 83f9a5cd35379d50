// The settings file at byte level: a lookup stays inside the content and
// returns at most 2047 bytes; writing a value and reading it back gives the
// value, and every other line of the file stays as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "app/core/profile_file.h"
#include "fuzz/fuzz_check.h"

namespace {

constexpr size_t kMaxValue = 2047;

// Line texts as a reader sees them: split at LF, one CR before it dropped.
std::vector<std::string> Lines(const std::string& content) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t nl = content.find('\n', pos);
        std::string line = content.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        pos = nl == std::string::npos ? content.size() : nl + 1;
    }
    return lines;
}

std::string Show(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= ' ' && c < 0x7f && c != '\\')
            out += static_cast<char>(c);
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    return out;
}

// Every line of `before` is in `after`, in order, apart from the one line
// that holds the key; `after` adds at most the section and the key line.
void CheckOtherLinesKept(const std::string& before, const std::string& after) {
    const std::vector<std::string> a = Lines(before), b = Lines(after);
    FUZZ_CHECK(b.size() >= a.size() && b.size() <= a.size() + 2, "line count changed by more than two");
    if (b.size() == a.size()) {
        size_t changed = 0;
        for (size_t i = 0; i < a.size(); ++i) changed += a[i] != b[i];
        FUZZ_CHECK(changed <= 1, "more than the key's line changed");
        return;
    }
    size_t i = 0;
    for (size_t j = 0; j < b.size() && i < a.size(); ++j)
        if (b[j] == a[i]) ++i;
    FUZZ_CHECK(i == a.size(), "a line of the file was lost or changed: " + (i < a.size() ? Show(a[i]) : ""));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(40);
    const std::string key = in.ConsumeRandomLengthString(40);
    const std::string value = in.ConsumeRandomLengthString(3000);
    const std::string content = in.ConsumeRemainingBytesAsString();
    const std::string fallback = "\x01no value\x01";

    const std::string found = profile::Lookup(content, section, key, fallback);
    FUZZ_CHECK(found.size() <= kMaxValue, "value longer than 2047 bytes");
    FUZZ_CHECK(found == fallback || content.find(found) != std::string::npos, "value not from the content");

    std::string updated;
    try {
        updated = profile::Update(content, section, key, value);
    } catch (const std::invalid_argument&) {
        // Refused names and values must be the ones that cannot be written.
        const bool badValue = value.find_first_of("\r\n") != std::string::npos;
        const bool badSection = section.find_first_of("\r\n]") != std::string::npos;
        const bool badKey = key.find_first_of("\r\n=") != std::string::npos;
        const size_t k = key.find_first_not_of(" \t"), s = section.find_first_not_of(" \t");
        const bool blank = k == std::string::npos || s == std::string::npos;
        const bool keyLooksOther = !blank && (key[k] == '[' || key[k] == ';');
        FUZZ_CHECK(badValue || badSection || badKey || blank || keyLooksOther,
                   "refused a valid write: [" + Show(section) + "] " + Show(key) + "=" + Show(value));
        return 0;
    } catch (const std::exception& e) {
        FUZZ_CHECK(false, std::string("unexpected ") + typeid(e).name() + ": " + e.what());
    }
    const std::string back = profile::Lookup(updated, section, key, fallback);
    FUZZ_CHECK(back == value.substr(0, kMaxValue),
               "read back " + Show(back.substr(0, 80)) + " for " + Show(value.substr(0, 80)));
    CheckOtherLinesKept(content, updated);
    // Writing the same value again changes nothing.
    FUZZ_CHECK(profile::Update(updated, section, key, value) == updated, "second write changed the file");
    return 0;
}
