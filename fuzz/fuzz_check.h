#pragma once
// A failed property stops the fuzzer with the reason, so that the input is
// saved as a crash file and the reason is in the log.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

[[noreturn]] inline void FuzzFail(const char* file, int line, const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    if (!detail.empty()) std::fprintf(stderr, "  %s\n", detail.c_str());
    std::abort();
}

#define FUZZ_CHECK(cond, detail)                                    \
    do {                                                            \
        if (!(cond)) FuzzFail(__FILE__, __LINE__, #cond, (detail)); \
    } while (0)

inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}
inline bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
