#include "app/statistics/figures/collection_stats.h"

#include <algorithm>
#include <string_view>

#include "app/core/loan_date.h"
#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "catalogue/collection_counts.h"

namespace {

using TextId = CollectionTally::TextId;

QString Label(std::string_view bytes) { return bytes.empty() ? QString::fromUtf8(kUnfilled) : FromCodePage(bytes); }

// Most first; equal counts in the collator's order. With `limit`, only the
// first `limit`: only those with a count that can make the cut are converted
// and collated, which matters for tens of thousands of authors, and ties at the
// cut are settled in Czech order as well.
std::vector<LabelCount> Ranked(const CollectionTally& tally, CollectionTally::Field field, const LocaleOrder& order,
                               size_t limit = 0) {
    const std::vector<CollectionTally::Count>& counts = tally.Counts(field);
    std::vector<std::pair<TextId, long long>> entries;
    for (TextId id = 0; id < counts.size(); ++id)
        if (counts[id] > 0) entries.emplace_back(id, counts[id]);
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
    for (const auto& [id, count] : entries) ranked.push_back({Label(tally.Text(id)), count});
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

std::vector<LabelCount> ByRating(const CollectionTally& tally) {
    const std::vector<CollectionTally::Count>& counts = tally.Counts(CollectionTally::Rating);
    std::vector<std::pair<long long, long long>> numbered;  // rating, books
    long long unfilled = 0;
    for (TextId id = 0; id < counts.size(); ++id) {
        if (counts[id] <= 0) continue;
        const std::string_view text = tally.Text(id);
        bool ok = false;
        const long long rating = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).toLongLong(&ok);
        if (ok)
            numbered.emplace_back(rating, counts[id]);
        else
            unfilled += counts[id];
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

QDate ReturnDay(std::string_view text) {
    const QStringList parts = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).split(u'.');
    return parts.size() == 3 ? QDate(parts[2].toInt(), parts[1].toInt(), parts[0].toInt()) : QDate();
}

}  // namespace

CollectionStats ComputeStats(const CollectionTally& tally, const QDate& today, int periodDays) {
    const LocaleOrder order;
    CollectionStats stats;
    stats.books = tally.Books();
    stats.foreignHistories = tally.ForeignHistories();
    stats.genres = Ranked(tally, CollectionTally::Genre, order);
    stats.locations = Ranked(tally, CollectionTally::Location, order);
    stats.ratings = ByRating(tally);
    stats.topAuthors = Ranked(tally, CollectionTally::Author, order, kTopCount);
    stats.topPublishers = Ranked(tally, CollectionTally::Publisher, order, kTopCount);

    const QDate firstMonth = QDate(today.year(), today.month(), 1).addMonths(1 - kMonthsShown);
    std::vector<long long> perMonth(kMonthsShown, 0);
    // A loan date read, with the place of its month in perMonth (-1 outside it),
    // worked out once per text: the calendar's parts cost more than the count.
    struct Begun {
        LoanDate date;
        int month = -1;
    };
    const auto monthOf = [&](const LoanDate& begun) {
        if (begun.precision != LoanDate::Precision::Day && begun.precision != LoanDate::Precision::Month) return -1;
        const int index = (begun.first.year() - firstMonth.year()) * 12 + begun.first.month() - firstMonth.month();
        return index >= 0 && index < kMonthsShown ? index : -1;
    };
    const auto countMonth = [&](const Begun& begun, long long loans) {
        if (begun.month >= 0) perMonth[static_cast<size_t>(begun.month)] += loans;
    };
    // Each distinct text is read once, whether it dates current loans, finished
    // ones or both. By text, the place of its reading in `begun`: the texts of
    // every field share numbers, and only a few thousand of them are dates.
    std::vector<int32_t> begunAtPlace(tally.TextCount(), -1);
    std::vector<Begun> begun;
    const auto begunAt = [&](TextId kdy) -> const Begun& {
        int32_t& place = begunAtPlace[kdy];
        if (place < 0) {
            place = static_cast<int32_t>(begun.size());
            const LoanDate date = ReadLoanDate(FromCodePage(tally.Text(kdy)), today);
            begun.push_back({date, monthOf(date)});
        }
        return begun[static_cast<size_t>(place)];
    };
    const std::vector<CollectionTally::Count>& lentSince = tally.Counts(CollectionTally::LentSince);
    for (TextId kdy = 0; kdy < lentSince.size(); ++kdy) {
        const long long loans = lentSince[kdy];
        if (loans <= 0) continue;
        const Begun& since = begunAt(kdy);
        countMonth(since, loans);
        stats.lentNow += loans;
        if (IsOverdue(since.date, today, periodDays)) stats.overdueNow += loans;
    }
    long long measuredDays = 0;
    // A return day read per text, as a Julian day; 0 for one not read yet, -1 for no day.
    std::vector<qint64> returnedOn(tally.TextCount(), 0);
    tally.ForEachFinishedLoan([&](TextId kdy, TextId returned) {
        const Begun& loan = begunAt(kdy);
        countMonth(loan, 1);
        const LoanDate& date = loan.date;
        ++stats.finishedLoans;
        qint64& back = returnedOn[returned];
        if (back == 0) {
            const QDate day = ReturnDay(tally.Text(returned));
            back = day.isValid() ? day.toJulianDay() : -1;
        }
        if (date.precision == LoanDate::Precision::Day && back > 0 && date.first.toJulianDay() <= back) {
            ++stats.measuredLoans;
            measuredDays += back - date.first.toJulianDay();
        }
    });
    stats.topBorrowers = Ranked(tally, CollectionTally::Borrower, order, kTopCount);
    for (int i = 0; i < kMonthsShown; ++i)
        stats.loansPerMonth.push_back({firstMonth.addMonths(i), perMonth[static_cast<size_t>(i)]});
    if (stats.measuredLoans > 0)
        stats.averageLoanDays = static_cast<double>(measuredDays) / static_cast<double>(stats.measuredLoans);
    return stats;
}

CollectionStats ComputeStats(TASQLite3DB& db, const QDate& today, int periodDays) {
    CollectionTally tally;
    tally.Recount(db);
    return ComputeStats(tally, today, periodDays);
}
