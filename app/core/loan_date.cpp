#include "app/core/loan_date.h"

#include <array>
#include <vector>

namespace {

constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2099;

const std::array<const char*, 12> kMonthNames = {"leden",    "únor",  "březen", "duben", "květen",   "červen",
                                                 "červenec", "srpen", "září",   "říjen", "listopad", "prosinec"};

// Every case form of the month names, folded (no diacritics, lower case).
struct MonthForm {
    const char* form;
    int month;
};
// clang-format off
const MonthForm kMonthForms[] = {
    {"leden", 1},     {"ledna", 1},      {"lednu", 1},      {"lednem", 1},
    {"unor", 2},      {"unora", 2},      {"unoru", 2},      {"unorem", 2},
    {"brezen", 3},    {"brezna", 3},     {"breznu", 3},     {"breznem", 3},
    {"duben", 4},     {"dubna", 4},      {"dubnu", 4},      {"dubnem", 4},
    {"kveten", 5},    {"kvetna", 5},     {"kvetnu", 5},     {"kvetnem", 5},
    {"cerven", 6},    {"cervna", 6},     {"cervnu", 6},     {"cervnem", 6},
    {"cervenec", 7},  {"cervence", 7},   {"cervenci", 7},   {"cervencem", 7},
    {"srpen", 8},     {"srpna", 8},      {"srpnu", 8},      {"srpnem", 8},
    {"zari", 9},      {"zarim", 9},
    {"rijen", 10},    {"rijna", 10},     {"rijnu", 10},     {"rijnem", 10},
    {"listopad", 11}, {"listopadu", 11}, {"listopadem", 11},
    {"prosinec", 12}, {"prosince", 12},  {"prosinci", 12},  {"prosincem", 12},
};
// clang-format on
const char* const kRoman[] = {"i", "ii", "iii", "iv", "v", "vi", "vii", "viii", "ix", "x", "xi", "xii"};

struct Token {
    enum Kind { Number, Word, Dot, Slash, Dash, Space, Other };
    explicit Token(Kind k) : kind(k) {}
    Kind kind;
    int value = -1;  // numbers of at most four digits, else -1
    int digits = 0;
    QString word;  // folded
};

QChar Fold(QChar c) {
    c = c.toLower();
    if (c.unicode() < 128) return c;
    const QString parts = c.decomposition();
    return parts.isEmpty() ? c : parts.front();
}

std::vector<Token> Tokenize(const QString& text) {
    std::vector<Token> tokens;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            Token t(Token::Number);
            int value = 0;
            for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
                if (++t.digits <= 4) value = value * 10 + (text[i].unicode() - u'0');
            }
            t.value = t.digits <= 4 ? value : -1;
            tokens.push_back(t);
        } else if (c.isLetter()) {
            Token t(Token::Word);
            for (; i < n && text[i].isLetter(); ++i) t.word += Fold(text[i]);
            tokens.push_back(t);
        } else if (c.isSpace()) {
            while (i < n && text[i].isSpace()) ++i;
            tokens.emplace_back(Token::Space);
        } else {
            const Token::Kind kind = c == u'.'   ? Token::Dot
                                     : c == u'/' ? Token::Slash
                                     : c == u'-' ? Token::Dash
                                                 : Token::Other;
            tokens.emplace_back(kind);
            ++i;
        }
    }
    return tokens;
}

int MonthOfWord(const QString& word) {
    for (const MonthForm& m : kMonthForms)
        if (word == QLatin1String(m.form)) return m.month;
    return 0;
}

int MonthOfRoman(const QString& word) {
    for (int m = 0; m < 12; ++m)
        if (word == QLatin1String(kRoman[m])) return m + 1;
    return 0;
}

// A walk over the tokens from one position, each step consuming what it matched.
class Cursor {
public:
    Cursor(const std::vector<Token>& tokens, size_t at) : t_(tokens), at_(at) {}
    const Token* Peek() const { return at_ < t_.size() ? &t_[at_] : nullptr; }
    bool Is(Token::Kind kind) const { return Peek() && Peek()->kind == kind; }
    bool Take(Token::Kind kind) {
        if (!Is(kind)) return false;
        ++at_;
        return true;
    }
    void SkipSpace() { Take(Token::Space); }
    // A number of `minDigits` to `maxDigits` digits; -1 when there is none.
    int Number(int minDigits, int maxDigits) {
        if (!Is(Token::Number) || Peek()->digits < minDigits || Peek()->digits > maxDigits) return -1;
        return t_[at_++].value;
    }
    const Token* Word() { return Is(Token::Word) ? &t_[at_++] : nullptr; }

private:
    const std::vector<Token>& t_;
    size_t at_;
};

// Words that make a year standing after them a date: "v roce 2019", "léto 2019".
const char* const kYearWords[] = {
    "rok",      "roku",  "roce",   "rokem",    "leto",     "leta",      "lete",  "letu", "jaro",  "jara",
    "jare",     "jaru",  "podzim", "podzimu",  "podzime",  "zima",      "zimy",  "zime", "zimu",  "zacatek",
    "zacatkem", "konec", "koncem", "polovina", "polovine", "polovinou", "behem", "cca",  "kolem", "okolo",
};

bool IsYearWord(const QString& word) {
    for (const char* w : kYearWords)
        if (word == QLatin1String(w)) return true;
    return false;
}

bool YearInRange(int year) { return year >= kFirstYear && year <= kLastYear; }

int FullYear(int twoDigits, const QDate& today) {
    const int year = 2000 + twoDigits;
    return year > today.year() ? year - 100 : year;
}

// A day, month and year written in full: a day that cannot be is marked, not
// dropped, so that the user sees it.
LoanDate Day(int year, int month, int day) {
    LoanDate d;
    if (!YearInRange(year) || !QDate::isValid(year, month, day)) {
        d.impossible = true;
        return d;
    }
    d.precision = LoanDate::Precision::Day;
    d.first = d.last = QDate(year, month, day);
    return d;
}

// "3/2024" with no such month is more likely a number than a mistaken date.
LoanDate Month(int year, int month) {
    LoanDate d;
    if (!YearInRange(year) || month < 1 || month > 12) return d;
    d.precision = LoanDate::Precision::Month;
    d.first = QDate(year, month, 1);
    d.last = QDate(year, month, d.first.daysInMonth());
    return d;
}

LoanDate Year(int year) {
    LoanDate d;
    if (!YearInRange(year)) return d;
    d.precision = LoanDate::Precision::Year;
    d.first = QDate(year, 1, 1);
    d.last = QDate(year, 12, 31);
    return d;
}

// A year without a day or month is a date only when it stands alone or after
// a word that says so; else "2. vyd. 1998" or "záloha 2000 Kč" would be loans.
bool StandsAsYear(const std::vector<Token>& tokens, size_t i, bool alone) {
    if (alone) return true;
    while (i > 0 && (tokens[i - 1].kind == Token::Space || tokens[i - 1].kind == Token::Other)) --i;
    return i > 0 && tokens[i - 1].kind == Token::Word && IsYearWord(tokens[i - 1].word);
}

// What one position of the text holds: the most precise date starting there,
// whether a date written there cannot be, and a day and month without a year
// ("1.2." of "1.2.-3.4.2024") that waits for the year of a later date.
struct Found {
    LoanDate date;
    bool impossible = false;
    int day = 0;
    int month = 0;

    void Consider(const LoanDate& d) {
        if (d.impossible)
            impossible = true;
        else if (d.precision > date.precision)
            date = d;
    }
};

// `alone`: the text holds no other number or word.
Found DateAt(const std::vector<Token>& tokens, size_t i, const QDate& today, bool alone) {
    Found found;
    const Token& first = tokens[i];
    const Token* before = i > 0 ? &tokens[i - 1] : nullptr;
    if (first.kind == Token::Word) {
        // "březen 2024", "v březnu 2024": the word before is simply another
        // token. Not the month of "30. února 2024", which is read as a day.
        const int month = MonthOfWord(first.word);
        if (month == 0) return found;
        size_t k = i;
        while (k > 0 && tokens[k - 1].kind == Token::Space) --k;
        if (k >= 2 && tokens[k - 1].kind == Token::Dot && tokens[k - 2].kind == Token::Number &&
            tokens[k - 2].digits <= 2)
            return found;
        Cursor c(tokens, i + 1);
        c.SkipSpace();
        const int year = c.Number(4, 4);
        if (year >= 0) found.Consider(Month(year, month));
        return found;
    }
    if (first.kind != Token::Number || first.value < 0) return found;

    // yyyy-mm-dd, yyyy/mm/dd, or the year alone
    if (first.digits == 4) {
        for (Token::Kind sep : {Token::Dash, Token::Slash}) {
            Cursor c(tokens, i + 1);
            if (!c.Take(sep)) continue;
            const int month = c.Number(1, 2);
            if (month < 0 || !c.Take(sep)) continue;
            const int day = c.Number(1, 2);
            if (day >= 0) found.Consider(Day(first.value, month, day));
        }
        if (!found.date.Known() && !found.impossible && StandsAsYear(tokens, i, alone))
            found.Consider(Year(first.value));
        return found;
    }
    if (first.digits > 2) return found;

    // d.m.yyyy, d. m. yyyy, d.m.yy, d/m/yyyy, d-m-yyyy, and d.m. before a later date
    for (Token::Kind sep : {Token::Dot, Token::Slash, Token::Dash}) {
        Cursor c(tokens, i + 1);
        if (!c.Take(sep)) continue;
        if (sep == Token::Dot) c.SkipSpace();
        const int month = c.Number(1, 2);
        if (month < 0 || !c.Take(sep)) continue;
        if (sep == Token::Dot) c.SkipSpace();
        const int year = c.Number(4, 4);
        if (year >= 0) {
            found.Consider(Day(year, month, first.value));
        } else if (sep == Token::Dot) {
            const int shortYear = c.Number(2, 2);
            if (shortYear >= 0) {
                found.Consider(Day(FullYear(shortYear, today), month, first.value));
            } else if (!c.Is(Token::Number) && !(before && before->kind == Token::Dot)) {
                found.day = first.value;
                found.month = month;
            }
        }
    }
    // "5. března 2024", "5. III. 2024"
    {
        Cursor c(tokens, i + 1);
        if (c.Take(Token::Dot)) {
            c.SkipSpace();
            if (const Token* word = c.Word()) {
                int month = MonthOfWord(word->word);
                if (month == 0) {
                    month = MonthOfRoman(word->word);
                    if (month != 0 && !c.Take(Token::Dot)) month = 0;
                }
                c.SkipSpace();
                const int year = c.Number(4, 4);
                if (month != 0 && year >= 0) found.Consider(Day(year, month, first.value));
            }
        }
    }
    // m/yyyy, m.yyyy; not the tail of a longer date such as "31.2.2024", whose
    // day did not exist.
    for (Token::Kind sep : {Token::Slash, Token::Dot}) {
        if (before && before->kind == sep) continue;
        Cursor c(tokens, i + 1);
        if (!c.Take(sep)) continue;
        const int year = c.Number(4, 4);
        if (year >= 0 && !c.Is(sep)) found.Consider(Month(year, first.value));
    }
    return found;
}

}  // namespace

int LoanDate::DaysOut(const QDate& today) const { return Known() ? static_cast<int>(last.daysTo(today)) : 0; }

QString LoanDate::Shown() const {
    switch (precision) {
    case Precision::Day:
        return QString::number(first.day()) + u'.' + QString::number(first.month()) + u'.' +
               QString::number(first.year());
    case Precision::Month:
        return QString::fromUtf8(kMonthNames[static_cast<size_t>(first.month() - 1)]) + u' ' +
               QString::number(first.year());
    case Precision::Year: return QString::number(first.year());
    case Precision::None: break;
    }
    return {};
}

LoanDate ReadLoanDate(const QString& text, const QDate& today) {
    const std::vector<Token> tokens = Tokenize(text);
    int meaningful = 0;
    for (const Token& t : tokens) meaningful += t.kind == Token::Number || t.kind == Token::Word ? 1 : 0;

    LoanDate best;
    bool impossible = false;
    const auto consider = [&](const LoanDate& d) {
        if (d.impossible) impossible = true;
        if (!d.Known()) return;
        // The earliest: a range's start, and the day inside a month or year.
        if (!best.Known() || d.last < best.last || (d.last == best.last && d.precision > best.precision)) best = d;
    };
    std::vector<Found> waiting;  // "1.2." until the next full date gives it a year
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Found found = DateAt(tokens, i, today, meaningful == 1);
        if (found.impossible) impossible = true;
        consider(found.date);
        if (found.date.precision == LoanDate::Precision::Day) {
            const QDate end = found.date.first;
            for (const Found& start : waiting) {
                // "20.12.-5.1.2025" began in the year before.
                LoanDate d = Day(end.year(), start.month, start.day);
                if (d.Known() && d.first > end) d = Day(end.year() - 1, start.month, start.day);
                consider(d);
            }
            waiting.clear();
        }
        if (found.day > 0) waiting.push_back(found);
    }
    if (!best.Known()) best.impossible = impossible;
    return best;
}

bool IsOverdue(const LoanDate& date, const QDate& today, int periodDays) {
    return date.Known() && date.DaysOut(today) > periodDays;
}
