#include "app/transfer/readers/isbn_form.h"

namespace {

char Isbn13Check(std::string_view twelve) {
    int sum = 0;
    for (size_t i = 0; i < 12; ++i) sum += (twelve[i] - '0') * (i % 2 ? 3 : 1);
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

}  // namespace

std::optional<std::string> StoredIsbn(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') digits += c;
        else if ((c == 'X' || c == 'x') && digits.size() == 9) digits += 'X';
        else if (c != '-' && c != ' ') return std::nullopt;
        if (digits.size() > 13) return std::nullopt;
    }
    if (digits.size() == 10) {
        int sum = 0;
        for (size_t i = 0; i < 10; ++i) sum += (digits[i] == 'X' ? 10 : digits[i] - '0') * static_cast<int>(10 - i);
        if (sum % 11 != 0) return std::nullopt;
        std::string isbn13 = "978" + digits.substr(0, 9);
        return isbn13 + Isbn13Check(isbn13);
    }
    if (digits.size() == 13 && (digits.rfind("978", 0) == 0 || digits.rfind("979", 0) == 0) &&
        digits.find('X') == std::string::npos && Isbn13Check(digits) == digits[12])
        return digits;
    return std::nullopt;
}
