#pragma once
// The statistics of the collection as the statistics window shows them: the
// counts labelled in Czech order, the empty value as a group of its own, and
// the loans read as dates (when they began, how long they lasted).
#include <QDate>
#include <QString>
#include <vector>

class TASQLite3DB;
class CollectionTally;

inline constexpr const char* kUnfilled = "(nevyplněno)";

struct LabelCount {
    QString label;
    long long count = 0;
    bool operator==(const LabelCount&) const = default;
};

struct MonthCount {
    QDate month;  // its first day
    long long count = 0;
    bool operator==(const MonthCount&) const = default;
};

struct CollectionStats {
    long long books = 0;
    // Most books first, equal counts in Czech order.
    std::vector<LabelCount> genres, locations;
    std::vector<LabelCount> ratings;  // by rating, lowest first; a non-number or empty one is "(nevyplněno)"
    std::vector<LabelCount> topAuthors, topPublishers, topBorrowers;  // the first kTopCount
    long long lentNow = 0;
    long long overdueNow = 0;
    // Loans begun in each month of the last kMonthsShown, oldest first, current and finished alike.
    std::vector<MonthCount> loansPerMonth;
    long long finishedLoans = 0;
    long long measuredLoans = 0;  // finished loans whose day of lending is known
    double averageLoanDays = 0;   // over the measured ones
    long long foreignHistories = 0;
    bool operator==(const CollectionStats&) const = default;
};

inline constexpr int kTopCount = 10;
inline constexpr int kMonthsShown = 36;

CollectionStats ComputeStats(const CollectionTally& tally, const QDate& today, int periodDays);
CollectionStats ComputeStats(TASQLite3DB& db, const QDate& today, int periodDays);
