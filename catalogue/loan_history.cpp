#include "catalogue/loan_history.h"

#include <cstdlib>
#include <stdexcept>

#include "catalogue/row_sink.h"
#include "catalogue/in_transaction.h"
#include "storage/connection.h"
#include "storage/query.h"

namespace {

void AppendEscaped(std::string& out, const std::string& text) {
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\0': throw std::invalid_argument("a text holds a zero byte");
        default: out += c;
        }
    }
}

// One field up to the next tab or the line's end; false on a stray backslash
// or a raw carriage return (a line rewritten by another tool is not ours).
bool ReadField(std::string_view line, size_t& at, std::string& field) {
    field.clear();
    while (at < line.size() && line[at] != '\t') {
        char c = line[at++];
        if (c == '\r') return false;
        if (c == '\\') {
            if (at == line.size()) return false;
            switch (line[at++]) {
            case '\\': c = '\\'; break;
            case 't': c = '\t'; break;
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            default: return false;
            }
        }
        field += c;
    }
    return true;
}

bool ParseLine(std::string_view line, FinishedLoan& loan) {
    if (line.substr(0, kLoanLineMarker.size()) != kLoanLineMarker) return false;
    size_t at = kLoanLineMarker.size();
    std::string* fields[] = {&loan.komu, &loan.kdy, &loan.returned};
    for (std::string* field : fields) {
        if (at >= line.size() || line[at] != '\t') return false;
        ++at;
        if (!ReadField(line, at, *field)) return false;
    }
    return at == line.size() && IsReturnDate(loan.returned);
}

bool ReadNumber(std::string_view text, size_t& at, size_t maxDigits, int& value) {
    const size_t start = at;
    value = 0;
    while (at < text.size() && at - start < maxDigits && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + (text[at++] - '0');
    return at > start;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

std::string RowText(const ColumnValue& value) { return value.isNull ? std::string() : std::string(value.text); }

}  // namespace

bool IsReturnDate(std::string_view text) {
    size_t at = 0;
    int day = 0, month = 0, year = 0;
    if (!ReadNumber(text, at, 2, day) || at >= text.size() || text[at++] != '.') return false;
    if (!ReadNumber(text, at, 2, month) || at >= text.size() || text[at++] != '.') return false;
    const size_t yearStart = at;
    if (!ReadNumber(text, at, 4, year) || at - yearStart != 4 || at != text.size()) return false;
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

std::string ReturnDateText(int year, int month, int day) {
    const std::string text = std::to_string(day) + '.' + std::to_string(month) + '.' + std::to_string(year);
    if (!IsReturnDate(text)) throw std::invalid_argument("not a calendar day: " + text);
    return text;
}

std::string EncodeLoanLine(const FinishedLoan& loan) {
    if (!IsReturnDate(loan.returned)) throw std::invalid_argument("not a return date: " + loan.returned);
    std::string line(kLoanLineMarker);
    for (const std::string* field : {&loan.komu, &loan.kdy, &loan.returned}) {
        line += '\t';
        AppendEscaped(line, *field);
    }
    line += '\n';
    return line;
}

std::optional<std::vector<FinishedLoan>> DecodeLoanHistory(std::string_view udaj3) {
    std::vector<FinishedLoan> loans;
    while (!udaj3.empty()) {
        const size_t end = udaj3.find('\n');
        if (end == std::string_view::npos) return std::nullopt;  // every line ends with its line feed
        FinishedLoan loan;
        if (!ParseLine(udaj3.substr(0, end), loan)) return std::nullopt;
        loans.push_back(std::move(loan));
        udaj3.remove_prefix(end + 1);
    }
    return loans;
}

std::optional<RowLoanState> ReadRowLoanState(TASQLite3DB& db, int64_t rowKey) {
    std::optional<RowLoanState> state;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (state || row.size() < 5) return;
        state = RowLoanState{RowText(row[0]), RowText(row[1]), RowText(row[2]), RowText(row[3]), RowText(row[4])};
    });
    db.SQLiteExecute(
        "select zapujcenokomu, zapujcenokdy, udaj3, autor, titul from svazkovna where rowid=" + std::to_string(rowKey),
        &sink);
    return state;
}

std::vector<BookHistory> ReadLoanHistories(TASQLite3DB& db, const std::string& condition) {
    std::vector<BookHistory> books;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (row.size() < 4 || row[3].text.empty()) return;
        std::optional<std::vector<FinishedLoan>> loans = DecodeLoanHistory(row[3].text);
        if (!loans || loans->empty()) return;
        books.push_back({std::strtoll(std::string(row[0].text).c_str(), nullptr, 10), RowText(row[1]), RowText(row[2]),
                         std::move(*loans)});
    });
    // The row key as text under a name of its own: a column named "rowid" becomes no value.
    db.SQLiteExecute(
        "select cast(rowid as text) as radek, autor, titul, udaj3 from svazkovna where ifnull(udaj3,'')<>''" +
            (condition.empty() ? std::string() : " and (" + condition + ")"),
        &sink);
    return books;
}

bool FinishesLoan(const RowLoanState& before, const RowLoanState& after) {
    const bool wasLent = !before.komu.empty() || !before.kdy.empty();
    if (!wasLent) return false;
    if (after.komu.empty() && after.kdy.empty()) return true;
    return !before.komu.empty() && after.komu != before.komu;
}

std::vector<int64_t> AppendLoanHistory(TASQLite3DB& db, const std::vector<EndedLoan>& loans,
                                       const std::string& returned) {
    std::vector<int64_t> foreign;
    TASQLite3Query query("historyq");
    query.SetConnection(&db);
    for (const EndedLoan& loan : loans) {
        const std::optional<RowLoanState> state = ReadRowLoanState(db, loan.rowKey);
        if (!state) continue;
        if (!DecodeLoanHistory(state->udaj3)) {
            foreign.push_back(loan.rowKey);
            continue;
        }
        const std::string line = EncodeLoanLine({loan.komu, loan.kdy, returned});
        query.SQL().Clear();
        query.SQL().Add("update svazkovna set udaj3=ifnull(udaj3,'')||'" + QuoteLiteralBody(line) +
                        "' where rowid=" + std::to_string(loan.rowKey));
        query.ExecSQL();
    }
    return foreign;
}

std::optional<RowLoanState> ChangeKeepingLoanHistory(TASQLite3DB& db, int64_t rowKey, const std::string& returned,
                                                     const std::function<void()>& change) {
    std::optional<RowLoanState> lost;
    InTransaction(db, [&] {
        const std::optional<RowLoanState> before = ReadRowLoanState(db, rowKey);
        change();
        const std::optional<RowLoanState> after = ReadRowLoanState(db, rowKey);
        if (before && after && FinishesLoan(*before, *after))
            if (!AppendLoanHistory(db, {{rowKey, before->komu, before->kdy}}, returned).empty()) lost = after;
    });
    return lost;
}
