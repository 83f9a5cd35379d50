#include "app/statistics/figures/collection_stats.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "app/core/loan_date.h"
#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "catalogue/collection_counts.h"

namespace {

QString Label(const std::string& bytes) { return bytes.empty() ? QString::fromUtf8(kUnfilled) : FromCodePage(bytes); }

// Most first; equal counts in the collator's order. With `limit`, only the
// first `limit`: only those with a count that can make the cut are converted
// and collated, which matters for tens of thousands of authors, and ties at the
// cut are settled in Czech order as well.
std::vector<LabelCount> Ranked(const TextCounts& counts, const LocaleOrder& order, size_t limit = 0) {
    std::vector<std::pair<const std::string*, long long>> entries;
    entries.reserve(counts.size());
    for (const auto& [text, count] : counts) entries.emplace_back(&text, count);
    if (limit > 0 && entries.size() > limit) {
        const auto cut = entries.begin() + static_cast<std::ptrdiff_t>(limit - 1);
        std::nth_element(entries.begin(), cut, entries.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        const long long least = cut->second;
        entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const auto& e) { return e.second < least; }),
                      entries.end());
    }
    std::vector<LabelCount> ranked;
    ranked.reserve(entries.size());
    for (const auto& [text, count] : entries) ranked.push_back({Label(*text), count});
    const auto before = [&](const LabelCount& a, const LabelCount& b) {
        if (a.count != b.count) return a.count > b.count;
        return order.Compare(a.label, b.label) < 0;
    };
    if (limit > 0 && ranked.size() > limit) {
        std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(limit), ranked.end(), before);
        ranked.resize(limit);
    } else {
        std::sort(ranked.begin(), ranked.end(), before);
    }
    return ranked;
}

std::vector<LabelCount> ByRating(const TextCounts& counts) {
    std::vector<std::pair<long long, long long>> numbered;  // rating, books
    long long unfilled = 0;
    for (const auto& [text, count] : counts) {
        bool ok = false;
        const long long rating = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).toLongLong(&ok);
        if (ok)
            numbered.emplace_back(rating, count);
        else
            unfilled += count;
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<LabelCount> ratings;
    for (const auto& [rating, count] : numbered) {
        if (!ratings.empty() && ratings.back().label == QString::number(rating))
            ratings.back().count += count;  // "03" and "3"
        else
            ratings.push_back({QString::number(rating), count});
    }
    if (unfilled > 0) ratings.push_back({QString::fromUtf8(kUnfilled), unfilled});
    return ratings;
}

QDate ReturnDay(const std::string& text) {
    const QStringList parts = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).split(u'.');
    return parts.size() == 3 ? QDate(parts[2].toInt(), parts[1].toInt(), parts[0].toInt()) : QDate();
}

}  // namespace

CollectionStats ComputeStats(const CollectionCounts& counts, const QDate& today, int periodDays) {
    const LocaleOrder order;
    CollectionStats stats;
    stats.books = counts.books;
    stats.foreignHistories = counts.foreignHistories;
    stats.genres = Ranked(counts.genre, order);
    stats.locations = Ranked(counts.location, order);
    stats.ratings = ByRating(counts.rating);
    stats.topAuthors = Ranked(counts.author, order, kTopCount);
    stats.topPublishers = Ranked(counts.publisher, order, kTopCount);

    const QDate firstMonth = QDate(today.year(), today.month(), 1).addMonths(1 - kMonthsShown);
    std::vector<long long> perMonth(kMonthsShown, 0);
    const auto countMonth = [&](const LoanDate& begun, long long loans) {
        if (begun.precision != LoanDate::Precision::Day && begun.precision != LoanDate::Precision::Month) return;
        const int index = (begun.first.year() - firstMonth.year()) * 12 + begun.first.month() - firstMonth.month();
        if (index >= 0 && index < kMonthsShown) perMonth[static_cast<size_t>(index)] += loans;
    };
    for (const auto& [kdy, loans] : counts.lentSince) {
        const LoanDate begun = ReadLoanDate(FromCodePage(kdy), today);
        countMonth(begun, loans);
        stats.lentNow += loans;
        if (IsOverdue(begun, today, periodDays)) stats.overdueNow += loans;
    }
    long long measuredDays = 0;
    // Spans pair every return day with every loan date: each of the two texts is read once.
    std::unordered_map<std::string_view, LoanDate> begunOn;
    std::unordered_map<std::string_view, QDate> returnedOn;
    for (const auto& [span, loans] : counts.finishedSpans) {
        const std::string_view text(span);
        const size_t tab = text.find('\t');
        auto begunAt = begunOn.find(text.substr(tab + 1));
        if (begunAt == begunOn.end())
            begunAt =
                begunOn.emplace(text.substr(tab + 1), ReadLoanDate(FromCodePage(text.substr(tab + 1)), today)).first;
        const LoanDate& begun = begunAt->second;
        countMonth(begun, loans);
        stats.finishedLoans += loans;
        auto backAt = returnedOn.find(text.substr(0, tab));
        if (backAt == returnedOn.end())
            backAt = returnedOn.emplace(text.substr(0, tab), ReturnDay(std::string(text.substr(0, tab)))).first;
        const QDate& back = backAt->second;
        if (begun.precision == LoanDate::Precision::Day && back.isValid() && begun.first <= back) {
            stats.measuredLoans += loans;
            measuredDays += begun.first.daysTo(back) * loans;
        }
    }
    stats.topBorrowers = Ranked(counts.borrowers, order, kTopCount);
    for (int i = 0; i < kMonthsShown; ++i)
        stats.loansPerMonth.push_back({firstMonth.addMonths(i), perMonth[static_cast<size_t>(i)]});
    if (stats.measuredLoans > 0)
        stats.averageLoanDays = static_cast<double>(measuredDays) / static_cast<double>(stats.measuredLoans);
    return stats;
}

CollectionStats ComputeStats(TASQLite3DB& db, const QDate& today, int periodDays) {
    return ComputeStats(CountCollection(db), today, periodDays);
}
