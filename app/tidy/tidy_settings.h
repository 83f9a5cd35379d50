#pragma once
// What the user told the tidying windows to leave alone, kept in the settings
// file (section [uklid]), never in the catalogue: one numbered key a decision
// ("nejsoustejni1", "nejsoustejni2", … for author groups that are not one
// person), so that each value stays short.
#include <QString>
#include <set>
#include <string>

inline constexpr const char* kNotSameKey = "nejsoustejni";
inline constexpr const char* kTwoCopiesKey = "dvavytisky";

// Every value kept under `key` followed by 1, 2, … up to the first missing number.
std::set<std::string> ReadRemembered(const QString& settingsPath, const char* key);
// Adds `value` under the next free number (nothing when it is kept already).
void Remember(const QString& settingsPath, const char* key, const std::string& value);
