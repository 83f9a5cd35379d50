#pragma once
// What a result column becomes: the field kind and size read from the
// column's declared type, and the conversions the stored values go through.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "storage/query.h"

struct FieldInfo {
    TFieldType kind = TFieldType::ftString;
    int size = 255;
    int scale = 0;
};

// Maps a declared column type to a field kind, size and scale. Only whole
// words match ("INTEGER" is an integer, "int" a text of 255 bytes). A bracketed
// size that is not an integer raises EConvertError.
FieldInfo GetFieldInfo(std::string_view declaredType);

// The width a field of this kind counts in the row data size. Kinds that
// cannot be stored raise AsgError naming the field.
int NativeSize(TFieldType kind, int size, const std::string& fieldName);

// Strict decimal conversion: leading blanks and a sign allowed, nothing
// behind the digits, 32-bit range. Raises EConvertError "'%s' is not a valid
// integer value".
int32_t StrToInt(std::string_view text);
std::optional<int32_t> TryStrToInt(std::string_view text);

// Text to floating point over the whole text; none when it does not convert.
std::optional<double> TryStrToFloat(std::string_view text);

// The runtime's text-to-Boolean conversion ("true"/"false" in any case, or a
// number, non-zero meaning true); EConvertError otherwise.
bool StrToBool(std::string_view text);

// Calendar helpers for the date and time kinds. Day numbers count from
// 0001-01-01 as day 1; times are milliseconds since midnight.
struct DateTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
};
std::optional<int32_t> DayNumber(int year, int month, int day);
DateTimeParts PartsFromMsecs(double msecs);
// Milliseconds since the start of the calendar; none for an impossible date or time.
std::optional<double> DateTimeToMsecs(const DateTimeParts& parts);
// "yyyy-mm-dd[ hh:nn[:ss[.zzz]]]" or "hh:nn[:ss[.zzz]]"; EConvertError otherwise.
DateTimeParts StrToDateTime(std::string_view text);
// Fixed-position reading of "yyyy-mm-dd hh:nn:ss.zzz"; 0 when it does not convert.
double SQLiteDateTimeToMsecs(std::string_view text);
// Formats with the tokens yyyy, mm, dd, hh, nn, ss and zzz; other characters are copied.
std::string FormatDateTime(std::string_view format, const DateTimeParts& parts);
