// Parameters of a query: the values found by the ":name" scan and how they
// are put into the executed text.
#include <algorithm>
#include <cstdio>

#include "storage/errors.h"
#include "storage/field_info.h"
#include "storage/query.h"
#include "storage/query_text.h"

using querytext::SameText;

namespace {

bool IsQuote(char c) { return c == '\'' || c == '"' || c == '`'; }

// Offsets of the "?" places outside quoted tokens.
std::vector<size_t> PlaceOffsets(std::string_view text) {
    std::vector<size_t> places;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsQuote(text[i])) {
            const size_t close = text.find(text[i], i + 1);
            if (close == std::string_view::npos) break;
            i = close;
        } else if (text[i] == '?') {
            places.push_back(i);
        }
    }
    return places;
}

}  // namespace

std::string QuoteLiteralBody(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

// ---- TParam ----

void TParam::SetAsString(std::string value) {
    DataType = TFieldType::ftString;
    value_ = std::move(value);
    Bound = true;
}

void TParam::SetAsInteger(int32_t value) {
    SetAsString(std::to_string(value));
    DataType = TFieldType::ftInteger;
}

void TParam::SetAsFloat(double value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    SetAsString(buf);
    DataType = TFieldType::ftFloat;
}

void TParam::SetAsDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    const int parts[7] = {year, month, day, hour, minute, second, msec};
    std::copy(parts, parts + 7, dateTime_);
    SetAsString(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz"));
    DataType = TFieldType::ftDateTime;
}

void TParam::SetAsBlob(std::string bytes) {
    SetAsString(std::move(bytes));
    DataType = TFieldType::ftBlob;
}

void TParam::Clear() {
    value_.clear();
    Bound = true;
}

std::string TParam::FormatDateTime(const std::string& format) const {
    DateTimeParts p;
    p.year = dateTime_[0], p.month = dateTime_[1], p.day = dateTime_[2];
    p.hour = dateTime_[3], p.minute = dateTime_[4], p.second = dateTime_[5], p.msec = dateTime_[6];
    return ::FormatDateTime(format, p);
}

TParam& TASQLite3BaseQuery::ParamByName(const std::string& name) {
    for (TParam& p : params_)
        if (SameText(p.Name, name)) return p;
    throw EDatabaseError(Name() + ": Parameter '" + name + "' not found");
}

std::vector<std::string_view> TASQLite3BaseQuery::BlobParameters() const {
    std::vector<std::string_view> blobs;
    for (const TParam& p : params_)
        if (p.DataType == TFieldType::ftBlob || p.DataType == TFieldType::ftGraphic) blobs.emplace_back(p.AsString());
    return blobs;
}

std::string TASQLite3BaseQuery::WithParamValues(std::string text) const {
    if (params_.empty()) return text;
    // Values go into the "?" places outside literals, last first so that
    // the earlier offsets stay valid; a "?" inside a literal is data.
    const std::vector<size_t> places = PlaceOffsets(text);
    const size_t n = std::min(places.size(), params_.size());
    for (size_t k = n; k-- > 0;) {
        const TParam& p = params_[k];
        std::string value;
        if (p.DataType == TFieldType::ftBlob || p.DataType == TFieldType::ftGraphic) {
            value = "\x02";
        } else if (p.AsString().empty() && p.Bound) {
            value = "NULL";
        } else {
            std::string plain = p.AsString();
            if (p.IsDateTime()) {
                plain = p.FormatDateTime(sqliteDateFormat_           ? "yyyy-mm-dd hh:nn:ss.zzz"
                                         : !tableDateFormat_.empty() ? tableDateFormat_
                                                                     : "yyyy-mm-dd");
            }
            value = '\'';
            value += QuoteLiteralBody(plain);
            value += '\'';
        }
        text.replace(places[k], 1, value);
    }
    return text;
}
