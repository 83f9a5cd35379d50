#pragma once
// Finds the ":name" parameters of an SQL text outside its quoted tokens and
// replaces each by a "?" place.
#include <string>
#include <string_view>
#include <vector>

struct ParamScan {
    std::string text;                // the text with every parameter replaced by "?"
    std::vector<std::string> names;  // in order of appearance
    std::vector<size_t> places;      // offset in `text` of each parameter's "?"
};

// Apostrophes, double quotes and backticks open tokens that run to the next
// occurrence of the same character; inside them colons are ordinary. Outside,
// "::" stands for one colon. The catalogue's code page has no double-byte
// characters, so every byte is scanned on its own.
ParamScan ScanParameters(std::string_view sql);
