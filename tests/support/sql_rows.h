#pragma once
// Reading a catalogue file beside the program under test, with the engine's own API.
#include <string>
#include <vector>

namespace testsupport {

// Every row of `sql` on the file at `path`, its columns joined by "|" (NULL as "<NULL>").
std::vector<std::string> SelectRows(const std::string& path, const char* sql);

}  // namespace testsupport
