#include "storage/fields.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "storage/errors.h"
#include "storage/field_info.h"
#include "storage/result_store.h"

void TField::SetAsString(const std::string&) { throw EDatabaseError("Field '" + FieldName() + "' cannot be modified"); }

bool IsBlobKind(TFieldType kind) {
    return kind == TFieldType::ftBlob || kind == TFieldType::ftMemo || kind == TFieldType::ftGraphic ||
           kind == TFieldType::ftFmtMemo;
}

namespace {

template <typename T>
std::string_view Raw(const T& value) {
    return {reinterpret_cast<const char*>(&value), sizeof value};
}

template <typename T>
T Load(std::string_view stored) {
    T value{};
    if (stored.size() == sizeof value) std::memcpy(&value, stored.data(), sizeof value);
    return value;
}

std::string FloatText(double value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

}  // namespace

void AppendStored(RowWriter& writer, TFieldType kind, int size, const ColumnValue& value, bool sqliteDateFormat) {
    const std::string_view text = value.text;
    switch (kind) {
    case TFieldType::ftString: {
        // The text ends at its first zero byte and keeps at most `size` bytes.
        size_t length = std::min(text.size(), static_cast<size_t>(std::max(size, 0)));
        if (const void* zero = length ? std::memchr(text.data(), 0, length) : nullptr)
            length = static_cast<size_t>(static_cast<const char*>(zero) - text.data());
        writer.Append(text.substr(0, length));
        return;
    }
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger: writer.Append(Raw(TryStrToInt(text).value_or(0))); return;
    case TFieldType::ftBoolean: writer.Append(Raw(static_cast<int16_t>(StrToBool(text) ? -1 : 0))); return;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD: writer.Append(Raw(TryStrToFloat(text).value_or(0.0))); return;
    case TFieldType::ftDate:
    case TFieldType::ftTime: {
        int32_t number = 0;
        if (!text.empty()) {
            const DateTimeParts p = StrToDateTime(text);
            number = kind == TFieldType::ftDate ? DayNumber(p.year, p.month, p.day).value_or(0)
                                                : ((p.hour * 60 + p.minute) * 60 + p.second) * 1000 + p.msec;
        }
        writer.Append(Raw(number));
        return;
    }
    case TFieldType::ftDateTime: {
        double msecs = 0;
        if (sqliteDateFormat)
            msecs = SQLiteDateTimeToMsecs(text);
        else if (!text.empty())
            msecs = DateTimeToMsecs(StrToDateTime(text)).value_or(0);
        writer.Append(Raw(msecs));
        return;
    }
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo: writer.Append(value.bytes.empty() ? text : value.bytes); return;
    default: throw AsgError("Fieldtype not supported!");
    }
}

std::string EmptyStored(TFieldType kind) {
    switch (kind) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftDate:
    case TFieldType::ftTime: return std::string(4, '\0');
    case TFieldType::ftBoolean: return std::string(2, '\0');
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftDateTime: return std::string(8, '\0');
    default: return {};
    }
}

std::string StoredAsString(TFieldType kind, std::string_view stored) {
    switch (kind) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger: return std::to_string(Load<int32_t>(stored));
    case TFieldType::ftBoolean: return Load<int16_t>(stored) ? "True" : "False";
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD: return FloatText(Load<double>(stored));
    case TFieldType::ftDate: {
        const int32_t day = Load<int32_t>(stored);
        if (day <= 0) return {};
        return FormatDateTime("yyyy-mm-dd", PartsFromMsecs(day * 86400000.0));
    }
    case TFieldType::ftTime: {
        const int32_t ms = Load<int32_t>(stored);
        DateTimeParts p;
        p.hour = ms / 3600000, p.minute = ms / 60000 % 60, p.second = ms / 1000 % 60;
        return FormatDateTime("hh:nn:ss", p);
    }
    case TFieldType::ftDateTime: {
        const double msecs = Load<double>(stored);
        if (msecs <= 0) return {};
        return FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", PartsFromMsecs(msecs));
    }
    default: return std::string(stored);
    }
}

TQueryField::TQueryField(TASQLite3BaseQuery& query, int index, const TFieldDef& def, bool typeLess)
    : query_(query), index_(index), name_(def.Name), kind_(typeLess ? TFieldType::ftString : def.DataType),
      size_(def.Size) {}

std::string TQueryField::AsString() const {
    const auto stored = query_.FieldValue(index_);
    if (!stored) return {};
    return StoredAsString(kind_, *stored);
}

int32_t TQueryField::AsInteger() const {
    const auto stored = query_.FieldValue(index_);
    switch (kind_) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftDate:
    case TFieldType::ftTime: return stored ? Load<int32_t>(*stored) : 0;
    case TFieldType::ftBoolean: return stored && Load<int16_t>(*stored) ? 1 : 0;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftDateTime: {
        const double value = stored ? std::round(Load<double>(*stored)) : 0.0;
        if (!(value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()))
            throw EConvertError("'" + AsString() + "' is not a valid integer value");
        return static_cast<int32_t>(value);
    }
    default: return StrToInt(AsString());
    }
}

void TQueryField::SetAsString(const std::string& value) { query_.WriteFieldValue(index_, value); }
