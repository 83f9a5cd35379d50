#pragma once
// The loan period, in days, as the settings file keeps it: the loans window
// sets it, the loans and the statistics count a loan older than it as overdue.
#include <QString>

inline constexpr int kDefaultLoanPeriod = 30;
inline constexpr int kMaxLoanPeriod = 3650;
// The key of section [nastaveni] that keeps the loan period in days.
inline constexpr const char* kLoanPeriodKey = "vypujcnilhuta";

// The loan period kept in the settings file; the default when missing or not a
// number from 1 to kMaxLoanPeriod.
int ReadLoanPeriod(const QString& settingsPath);
void WriteLoanPeriod(const QString& settingsPath, int days);
