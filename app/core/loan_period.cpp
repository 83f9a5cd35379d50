#include "app/core/loan_period.h"

#include <string>

#include "app/core/profile_file.h"

namespace {
const char* const kSettingsSection = "nastaveni";
}

int ReadLoanPeriod(const QString& settingsPath) {
    const std::string text = ProfileFile(settingsPath).ReadString(kSettingsSection, kLoanPeriodKey, "");
    bool ok = false;
    const int days = QString::fromStdString(text).trimmed().toInt(&ok);
    return ok && days >= 1 && days <= kMaxLoanPeriod ? days : kDefaultLoanPeriod;
}

void WriteLoanPeriod(const QString& settingsPath, int days) {
    ProfileFile(settingsPath).WriteString(kSettingsSection, kLoanPeriodKey, std::to_string(days));
}
