#include "storage/field_info.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "storage/errors.h"

namespace {

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

constexpr int64_t kMsecsPerDay = 86400000;

}  // namespace

std::optional<int32_t> TryStrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(value);
}

int32_t StrToInt(std::string_view text) {
    if (auto value = TryStrToInt(text)) return *value;
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

std::optional<double> TryStrToFloat(std::string_view text) {
    size_t start = 0, end = text.size();
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    if (start == end) return std::nullopt;
    const std::string copy(text.substr(start, end - start));
    // Only plain decimal notation: the engine's texts for numbers never use
    // hexadecimal, infinities or NaN, and strtod would accept them.
    for (char c : copy)
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) return std::nullopt;
    char* stop = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &stop);
    if (stop != copy.c_str() + copy.size() || errno == ERANGE) return std::nullopt;
    return value;
}

bool StrToBool(std::string_view text) {
    const std::string lower = LowerAscii(text);
    if (lower == "true") return true;
    if (lower == "false") return false;
    if (auto number = TryStrToFloat(text)) return *number != 0;
    throw EConvertError("'" + std::string(text) + "' is not a valid boolean value");
}

FieldInfo GetFieldInfo(std::string_view declaredType) {
    FieldInfo info;
    const size_t open = declaredType.find('(');
    if (open != std::string_view::npos) {
        const size_t close = declaredType.find(')');
        if (close == std::string_view::npos) {
            info.size = 256;
            return info;
        }
        const std::string word = LowerAscii(declaredType.substr(0, open));
        // A ")" before the "(" leaves nothing between them, which then fails
        // the conversion like any other size that is not a number.
        const std::string_view inner =
            close > open ? declaredType.substr(open + 1, close - open - 1) : std::string_view{};
        if (word == "varchar" || word == "char" || word == "varchar2") {
            info.size = StrToInt(inner);
        } else if (word == "numeric") {
            info.kind = TFieldType::ftFloat;
            size_t sep = inner.find('.');
            if (sep == std::string_view::npos) sep = inner.find(',');
            if (sep == std::string_view::npos) {
                info.size = StrToInt(inner);
            } else {
                info.size = StrToInt(inner.substr(0, sep));
                info.scale = StrToInt(inner.substr(sep + 1, 2));
            }
        }
        return info;
    }

    struct Entry {
        const char* word;
        TFieldType kind;
        int size;
    };
    static constexpr Entry kTable[] = {
        {"date", TFieldType::ftDate, 10},          {"datetime", TFieldType::ftDateTime, 24},
        {"time", TFieldType::ftTime, 12},          {"timestamp", TFieldType::ftTimeStamp, 12},
        {"integer", TFieldType::ftInteger, 12},    {"float", TFieldType::ftFloat, 12},
        {"real", TFieldType::ftFloat, 12},         {"boolean", TFieldType::ftBoolean, 2},
        {"logical", TFieldType::ftBoolean, 2},     {"text", TFieldType::ftString, 255},
        {"string", TFieldType::ftString, 255},     {"currency", TFieldType::ftCurrency, 10},
        {"financial", TFieldType::ftCurrency, 10}, {"money", TFieldType::ftCurrency, 10},
        {"blob", TFieldType::ftBlob, 4},           {"graphic", TFieldType::ftGraphic, 4},
        {"clob", TFieldType::ftMemo, 4},           {"memo", TFieldType::ftMemo, 4},
        {"longtext", TFieldType::ftMemo, 4},
    };
    const std::string lower = LowerAscii(declaredType);
    for (const Entry& e : kTable) {
        if (lower == e.word) {
            info.kind = e.kind;
            info.size = e.size;
            break;
        }
    }
    return info;
}

int NativeSize(TFieldType kind, int size, const std::string& fieldName) {
    switch (kind) {
    case TFieldType::ftString: return size;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftBoolean:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo: return 12;
    case TFieldType::ftDateTime: return 20;
    default: break;
    }
    throw AsgError("Fieldtype of Field \"" + fieldName + "\" not supported!");
}

std::optional<int32_t> DayNumber(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return std::nullopt;
    // Days before the year, then before the month, counted from 0001-01-01.
    const int64_t y = year - 1;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m) days += kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    return static_cast<int32_t>(days + day);
}

DateTimeParts PartsFromMsecs(double msecs) {
    DateTimeParts p;
    if (!(msecs >= kMsecsPerDay)) return p;
    const auto total = static_cast<int64_t>(std::llround(msecs));
    int64_t day = total / kMsecsPerDay;
    int64_t ms = total % kMsecsPerDay;
    p.hour = static_cast<int>(ms / 3600000);
    p.minute = static_cast<int>(ms / 60000 % 60);
    p.second = static_cast<int>(ms / 1000 % 60);
    p.msec = static_cast<int>(ms % 1000);
    // Civil date from a day count (day 1 = 0001-01-01), shifted to a March-based year.
    int64_t z = day - 1 + 306;  // days since 0000-03-01 (March to December: 306 days)
    const int64_t era = z / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    p.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    p.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    p.year = static_cast<int>(yoe + era * 400 + (p.month <= 2 ? 1 : 0));
    return p;
}

namespace {

// Reads a fixed-width decimal part; none when it holds anything but digits.
std::optional<int> Digits(std::string_view text, size_t pos, size_t width) {
    if (pos >= text.size()) return 0;
    const std::string_view part = text.substr(pos, width);
    if (part.empty()) return 0;
    for (char c : part)
        if (c < '0' || c > '9') return std::nullopt;
    return std::stoi(std::string(part));
}

std::optional<double> ToMsecs(const DateTimeParts& p) {
    const auto day = DayNumber(p.year, p.month, p.day);
    if (!day || p.hour > 23 || p.minute > 59 || p.second > 59 || p.msec > 999) return std::nullopt;
    return static_cast<double>(*day) * kMsecsPerDay + p.hour * 3600000.0 + p.minute * 60000.0 + p.second * 1000.0 +
           p.msec;
}

bool ParseTime(std::string_view t, DateTimeParts& p) {
    // hh:nn[:ss[.zzz]]
    if (t.size() != 5 && t.size() != 8 && t.size() != 12) return false;
    if (t[2] != ':' || (t.size() > 5 && t[5] != ':') || (t.size() > 8 && t[8] != '.')) return false;
    auto h = Digits(t, 0, 2), n = Digits(t, 3, 2);
    auto s = t.size() > 5 ? Digits(t, 6, 2) : std::optional<int>(0);
    auto z = t.size() > 8 ? Digits(t, 9, 3) : std::optional<int>(0);
    if (!h || !n || !s || !z || *h > 23 || *n > 59 || *s > 59) return false;
    p.hour = *h, p.minute = *n, p.second = *s, p.msec = *z;
    return true;
}

}  // namespace

DateTimeParts StrToDateTime(std::string_view text) {
    DateTimeParts p;
    bool ok = false;
    if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
        auto y = Digits(text, 0, 4), m = Digits(text, 5, 2), d = Digits(text, 8, 2);
        ok = y && m && d && DayNumber(*y, *m, *d).has_value();
        if (ok) p.year = *y, p.month = *m, p.day = *d;
        if (ok && text.size() > 10) ok = text[10] == ' ' && ParseTime(text.substr(11), p);
    } else {
        ok = ParseTime(text, p);
    }
    if (!ok) throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
    return p;
}

double SQLiteDateTimeToMsecs(std::string_view text) {
    DateTimeParts p;
    std::optional<int> y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, z = 0;
    if (text.size() > 9) y = Digits(text, 0, 4), m = Digits(text, 5, 2), d = Digits(text, 8, 2);
    if (text.size() > 10) h = Digits(text, 11, 2), n = Digits(text, 14, 2);
    if (text.size() > 16) s = Digits(text, 17, 2);
    if (text.size() >= 20) z = Digits(text, 20, 3);
    if (!y || !m || !d || !h || !n || !s || !z) return 0;
    p.year = *y, p.month = *m, p.day = *d, p.hour = *h, p.minute = *n, p.second = *s, p.msec = *z;
    return ToMsecs(p).value_or(0);
}

std::string FormatDateTime(std::string_view format, const DateTimeParts& p) {
    std::string out;
    char buf[8];
    auto put = [&](const char* fmt, int value) {
        std::snprintf(buf, sizeof buf, fmt, value);
        out += buf;
    };
    for (size_t i = 0; i < format.size();) {
        const std::string_view rest = format.substr(i);
        if (rest.starts_with("yyyy"))
            put("%04d", p.year), i += 4;
        else if (rest.starts_with("zzz"))
            put("%03d", p.msec), i += 3;
        else if (rest.starts_with("mm"))
            put("%02d", p.month), i += 2;
        else if (rest.starts_with("dd"))
            put("%02d", p.day), i += 2;
        else if (rest.starts_with("hh"))
            put("%02d", p.hour), i += 2;
        else if (rest.starts_with("nn"))
            put("%02d", p.minute), i += 2;
        else if (rest.starts_with("ss"))
            put("%02d", p.second), i += 2;
        else
            out += format[i++];
    }
    return out;
}

std::optional<double> DateTimeToMsecs(const DateTimeParts& parts) { return ToMsecs(parts); }
