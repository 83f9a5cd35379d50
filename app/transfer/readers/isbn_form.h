#pragma once
// The ISBN as the catalogue stores it in `udaj1`: the ISBN-13's thirteen
// digits without hyphens. A stand-in until the catalogue's own ISBN rules
// land; the stored form is the same.
#include <optional>
#include <string>
#include <string_view>

// The stored form of an ISBN-10 or ISBN-13 written with or without hyphens
// and blanks; nothing when the text is no valid ISBN (check digit included).
std::optional<std::string> StoredIsbn(std::string_view text);
