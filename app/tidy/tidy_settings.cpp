#include "app/tidy/tidy_settings.h"

#include "app/core/profile_file.h"

namespace {

const char* const kSection = "uklid";

}  // namespace

std::set<std::string> ReadRemembered(const QString& settingsPath, const char* key) {
    const ProfileFile file(settingsPath);
    std::set<std::string> values;
    for (int n = 1;; ++n) {
        const std::string value = file.ReadString(kSection, key + std::to_string(n), "");
        if (value.empty()) break;
        values.insert(value);
    }
    return values;
}

void Remember(const QString& settingsPath, const char* key, const std::string& value) {
    ProfileFile file(settingsPath);
    for (int n = 1;; ++n) {
        const std::string name = key + std::to_string(n);
        const std::string kept = file.ReadString(kSection, name, "");
        if (kept == value) return;
        if (kept.empty()) {
            file.WriteString(kSection, name, value);
            return;
        }
    }
}
