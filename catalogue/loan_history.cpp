#include "catalogue/loan_history.h"

#include <algorithm>
#include <deque>
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
        case '\0': break;  // no statement of ours can carry it
        default: out += c;
        }
    }
}

// One field up to the next tab or the line's end, a view of the line unless it
// holds an escape, then written out in `unescaped` (whose elements stay where
// they are); false on a stray backslash or a raw carriage return (a line
// rewritten by another tool is not ours).
bool ReadField(std::string_view line, size_t& at, std::deque<std::string>& unescaped, std::string_view& field) {
    const size_t end = std::min(line.find('\t', at), line.size());
    field = line.substr(at, end - at);
    at = end;
    if (field.find('\r') != std::string_view::npos) return false;
    if (field.find('\\') == std::string_view::npos) return true;
    std::string& out = unescaped.emplace_back();
    for (size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '\\') {
            if (++i == field.size()) return false;
            switch (field[i]) {
            case '\\': c = '\\'; break;
            case 't': c = '\t'; break;
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            default: return false;
            }
        }
        out += c;
    }
    field = out;
    return true;
}

bool ParseLine(std::string_view line, std::deque<std::string>& unescaped, LoanLineView& loan) {
    if (line.substr(0, kLoanLineMarker.size()) != kLoanLineMarker) return false;
    size_t at = kLoanLineMarker.size();
    for (std::string_view* field : {&loan.komu, &loan.kdy, &loan.returned}) {
        if (at >= line.size() || line[at] != '\t') return false;
        ++at;
        if (!ReadField(line, at, unescaped, *field)) return false;
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

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0xA0 || c == 0; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && IsBlank(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// Lower case of a Windows-1250 byte.
unsigned char LowerCp1250(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || c == 0x8A || c == 0x8C || c == 0x8D || c == 0x8E || c == 0x8F)
        return static_cast<unsigned char>(c >= 0xC0 ? c + 0x20 : c + 0x10);
    switch (c) {
    case 0xA3: return 0xB3;  // Ł
    case 0xA5: return 0xB9;  // Ą
    case 0xAA: return 0xBA;  // Ş
    case 0xAF: return 0xBF;  // Ż
    case 0xBC: return 0xBE;  // Ľ
    default: return c;
    }
}

std::string Folded(std::string_view text) {
    std::string out;
    for (char c : Trimmed(text)) out += static_cast<char>(LowerCp1250(static_cast<unsigned char>(c)));
    return out;
}

// Edits (a letter added, dropped, changed, or two swapped) between two texts.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// Names a typo apart: one edit, or two in a longer name.
bool AlikeNames(std::string_view a, std::string_view b) {
    const std::string fa = Folded(a), fb = Folded(b);
    const size_t edits = EditDistance(fa, fb);
    return edits <= 1 || (edits <= 2 && std::max(fa.size(), fb.size()) >= 6);
}

// The rest of a loan whose borrower was emptied before: no name, the date of
// the last line kept.
bool RestOfKeptLoan(const std::vector<FinishedLoan>& history, const EndedLoan& loan) {
    return Trimmed(loan.komu).empty() && !history.empty() && !Trimmed(history.back().komu).empty() &&
           Trimmed(history.back().kdy) == Trimmed(loan.kdy);
}

}  // namespace

bool ViewLoanHistory(std::string_view udaj3, std::vector<LoanLineView>& lines, std::deque<std::string>& unescaped) {
    lines.clear();
    unescaped.clear();
    while (!udaj3.empty()) {
        const size_t end = udaj3.find('\n');
        if (end == std::string_view::npos) return false;  // every line ends with its line feed
        if (!ParseLine(udaj3.substr(0, end), unescaped, lines.emplace_back())) return false;
        udaj3.remove_prefix(end + 1);
    }
    return true;
}

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
    std::vector<LoanLineView> lines;
    std::deque<std::string> unescaped;
    if (!ViewLoanHistory(udaj3, lines, unescaped)) return std::nullopt;
    std::vector<FinishedLoan> loans;
    loans.reserve(lines.size());
    for (const LoanLineView& line : lines)
        loans.push_back({std::string(line.komu), std::string(line.kdy), std::string(line.returned)});
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

void VisitLoanHistories(TASQLite3DB& db, const std::string& condition, const LoanBookVisitor& each) {
    std::vector<LoanLineView> lines;
    std::deque<std::string> unescaped;
    RowSink sink(
        [&](const std::vector<ColumnValue>& row) {
            if (row.size() < 4 || row[3].text.empty() || !ViewLoanHistory(row[3].text, lines, unescaped) ||
                lines.empty())
                return;
            each(row[0].integer, row[1].text, row[2].text, lines);
        },
        {0});
    // The row key under a name of its own: a column named "rowid" becomes no value.
    db.SQLiteExecute("select rowid as radek, autor, titul, udaj3 from svazkovna where ifnull(udaj3,'')<>''" +
                         (condition.empty() ? std::string() : " and (" + condition + ")"),
                     &sink);
}

std::vector<BookHistory> ReadLoanHistories(TASQLite3DB& db, const std::string& condition) {
    std::vector<BookHistory> books;
    VisitLoanHistories(
        db, condition,
        [&](int64_t rowKey, std::string_view autor, std::string_view titul, const std::vector<LoanLineView>& lines) {
            BookHistory& book = books.emplace_back();
            book.rowKey = rowKey;
            book.autor = autor;
            book.titul = titul;
            for (const LoanLineView& line : lines)
                book.loans.push_back({std::string(line.komu), std::string(line.kdy), std::string(line.returned)});
        });
    return books;
}

std::string_view TrimmedName(std::string_view name) { return Trimmed(name); }

bool SameBorrower(std::string_view a, std::string_view b) { return Folded(a) == Folded(b); }

LoanEdit ClassifyLoanEdit(const RowLoanState& before, const RowLoanState& after) {
    if (before.komu.empty() && before.kdy.empty()) return LoanEdit::GoesOn;  // it was not lent
    if (after.komu.empty() && after.kdy.empty()) return LoanEdit::Finishes;
    if (before.komu.empty()) return LoanEdit::GoesOn;  // a name given to a loan without one
    if (after.komu.empty()) return LoanEdit::Finishes;
    if (SameBorrower(before.komu, after.komu)) return LoanEdit::GoesOn;
    const std::string_view dateBefore = Trimmed(before.kdy), dateAfter = Trimmed(after.kdy);
    if (dateBefore == dateAfter) return LoanEdit::GoesOn;
    if (dateBefore.empty() || dateAfter.empty() || AlikeNames(before.komu, after.komu)) return LoanEdit::Unsure;
    return LoanEdit::Finishes;
}

std::vector<int64_t> AppendLoanHistory(TASQLite3DB& db, const std::vector<EndedLoan>& loans,
                                       const std::string& returned) {
    std::vector<int64_t> foreign;
    TASQLite3Query query("historyq");
    query.SetConnection(&db);
    for (const EndedLoan& loan : loans) {
        const std::optional<RowLoanState> state = ReadRowLoanState(db, loan.rowKey);
        if (!state) continue;
        const std::optional<std::vector<FinishedLoan>> history = DecodeLoanHistory(state->udaj3);
        if (!history) {
            foreign.push_back(loan.rowKey);
            continue;
        }
        if (RestOfKeptLoan(*history, loan)) continue;
        const std::string line = EncodeLoanLine({loan.komu, loan.kdy, returned});
        query.SQL().Clear();
        query.SQL().Add("update svazkovna set udaj3=ifnull(udaj3,'')||'" + QuoteLiteralBody(line) +
                        "' where rowid=" + std::to_string(loan.rowKey));
        query.ExecSQL();
    }
    return foreign;
}

std::optional<RowLoanState> ChangeKeepingLoanHistory(TASQLite3DB& db, int64_t rowKey, const std::string& returned,
                                                     const std::function<void()>& change,
                                                     const CorrectionQuestion& isCorrection) {
    std::optional<RowLoanState> lost;
    InTransaction(db, [&] {
        const std::optional<RowLoanState> before = ReadRowLoanState(db, rowKey);
        change();
        const std::optional<RowLoanState> after = ReadRowLoanState(db, rowKey);
        if (!before || !after) return;
        LoanEdit edit = ClassifyLoanEdit(*before, *after);
        if (edit == LoanEdit::Unsure)
            edit = isCorrection && isCorrection(*before, *after) ? LoanEdit::GoesOn : LoanEdit::Finishes;
        if (edit == LoanEdit::Finishes &&
            !AppendLoanHistory(db, {{rowKey, before->komu, before->kdy}}, returned).empty())
            lost = after;
    });
    return lost;
}

LoanLineEdit EditLoanLine(TASQLite3DB& db, int64_t rowKey, size_t line, const FinishedLoan& shown,
                          const std::optional<FinishedLoan>& replacement) {
    const std::string newLine = replacement ? EncodeLoanLine(*replacement) : std::string();
    LoanLineEdit result = LoanLineEdit::Changed;
    InTransaction(db, [&] {
        const std::optional<RowLoanState> state = ReadRowLoanState(db, rowKey);
        if (!state) return;
        const std::optional<std::vector<FinishedLoan>> history = DecodeLoanHistory(state->udaj3);
        if (!history) {
            result = LoanLineEdit::Foreign;
            return;
        }
        if (line >= history->size() || (*history)[line] != shown) return;
        // Only the one line is rewritten; the others keep their bytes.
        std::string udaj3;
        size_t start = 0;
        for (size_t i = 0; i < history->size(); ++i) {
            const size_t end = state->udaj3.find('\n', start) + 1;
            udaj3 += i == line ? newLine : state->udaj3.substr(start, end - start);
            start = end;
        }
        db.ExecStatements("update svazkovna set udaj3='" + QuoteLiteralBody(udaj3) + "' where rowid=" +
                          std::to_string(rowKey) + " and udaj3 is '" + QuoteLiteralBody(state->udaj3) + "'");
        if (db.RowsAffected() == 1) result = LoanLineEdit::Done;
    });
    return result;
}
