#pragma once
// Whole files read and written as bytes, for the tests' input and output files.
#include <string>

namespace testsupport {

std::string Slurp(const std::string& path);
void Spit(const std::string& path, const std::string& bytes);

}  // namespace testsupport
