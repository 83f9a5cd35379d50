// ISBN check digits and the stored ISBN-13 form.
#include "catalogue/isbn.h"

namespace isbn {
namespace {

bool IsSeparator(char c) { return c == '-' || c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digits (and a final X, upper-cased) of `text`, or the fault found on the way.
Fault Compact(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsSeparator(c)) continue;
        if (IsDigit(c)) {
            if (!out.empty() && out.back() == 'X') return Fault::Character;
            out += c;
        } else if ((c == 'x' || c == 'X') && out.size() == 9) {
            out += 'X';
        } else {
            return Fault::Character;
        }
        if (out.size() > 13) return Fault::Length;
    }
    if (out.empty()) return Fault::Empty;
    if (out.size() != 10 && out.size() != 13) return Fault::Length;
    if (out.size() == 13 && out.back() == 'X') return Fault::Character;
    return Fault::None;
}

char Check13(std::string_view twelve) {
    int sum = 0;
    for (size_t i = 0; i < 12; ++i) sum += (twelve[i] - '0') * (i % 2 ? 3 : 1);
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

char Check10(std::string_view nine) {
    int sum = 0;
    for (size_t i = 0; i < 9; ++i) sum += (nine[i] - '0') * static_cast<int>(10 - i);
    const int d = (11 - sum % 11) % 11;
    return d == 10 ? 'X' : static_cast<char>('0' + d);
}

Fault Validate(std::string_view text, std::string& compact) {
    const Fault f = Compact(text, compact);
    if (f != Fault::None) return f;
    if (compact.size() == 10) return Check10(compact) == compact[9] ? Fault::None : Fault::CheckDigit;
    if (compact.compare(0, 3, "978") != 0 && compact.compare(0, 3, "979") != 0) return Fault::Prefix;
    return Check13(compact) == compact[12] ? Fault::None : Fault::CheckDigit;
}

}  // namespace

Fault Check(std::string_view text) {
    std::string compact;
    return Validate(text, compact);
}

std::optional<std::string> Normalize(std::string_view text) {
    std::string compact;
    if (Validate(text, compact) != Fault::None) return std::nullopt;
    if (compact.size() == 13) return compact;
    std::string thirteen = "978" + compact.substr(0, 9);
    thirteen += Check13(thirteen);
    return thirteen;
}

std::string FromScan(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (text.size() > 4 && upper(text[0]) == 'I' && upper(text[1]) == 'S' && upper(text[2]) == 'B' &&
        upper(text[3]) == 'N') {
        text.remove_prefix(4);
        if (text.starts_with("-13") || text.starts_with("-10")) text.remove_prefix(3);
        while (!text.empty() && (blank(text.front()) || text.front() == ':')) text.remove_prefix(1);
    }
    // An add-on follows the 13 digits of the code, printed apart or read as one run.
    std::string digits;
    for (const char c : text) {
        if (IsDigit(c))
            digits += c;
        else if (!IsSeparator(c))
            return std::string(text);
    }
    if ((digits.size() == 15 || digits.size() == 18) && Check(std::string_view(digits).substr(0, 13)) == Fault::None)
        return digits.substr(0, 13);
    return std::string(text);
}

std::optional<std::string> To10(std::string_view text) {
    const std::optional<std::string> thirteen = Normalize(text);
    if (!thirteen || thirteen->compare(0, 3, "978") != 0) return std::nullopt;
    std::string ten = thirteen->substr(3, 9);
    ten += Check10(ten);
    return ten;
}

std::optional<std::string> Find(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        // A candidate starts at the first digit of a run of digits.
        if (!IsDigit(text[i]) || (i > 0 && IsDigit(text[i - 1]))) continue;
        std::string compact;
        for (size_t j = i; j < text.size() && compact.size() < 13; ++j) {
            const char c = text[j];
            if (IsDigit(c))
                compact += c;
            else if ((c == 'x' || c == 'X') && compact.size() == 9)
                compact += 'X';
            else if (!IsSeparator(c))
                break;
            if (compact.back() == 'X') break;
        }
        // The longer form first: the first ten digits of an ISBN-13 may pass as an ISBN-10.
        if (compact.size() == 13)
            if (auto found = Normalize(compact)) return found;
        if (compact.size() >= 10)
            if (auto found = Normalize(std::string_view(compact).substr(0, 10))) return found;
    }
    return std::nullopt;
}

}  // namespace isbn
