#pragma once
// Reading a catalogue file beside the program under test with the system's own
// SQLite library, not our storage layer: the tests' independent oracle.
#include <string>
#include <variant>
#include <vector>

namespace testsupport {

struct Null {
    bool operator==(const Null&) const = default;
};
// A value as stored: NULL, an integer, or text bytes (a real number or a blob
// reads as its bytes after "<not text>", which the program never writes).
using Value = std::variant<Null, long long, std::string>;

// How a NULL reads wherever values are compared as texts.
inline constexpr const char* kNullText = "<NULL>";

// Every row of `sql` on the file at `path`, opened for reading only; throws
// std::runtime_error with the engine's message when the open, the statement or
// a step fails, so that a read-back that went wrong fails the test.
std::vector<std::vector<Value>> SelectValues(const std::string& path, const std::string& sql);

// A value as text: the bytes, an integer in decimal, NULL as kNullText.
std::string ValueText(const Value& v);
// The same rows as texts.
std::vector<std::vector<std::string>> SelectTexts(const std::string& path, const std::string& sql);
// The same rows as texts, each row's columns joined by "|".
std::vector<std::string> SelectRows(const std::string& path, const std::string& sql);

}  // namespace testsupport
