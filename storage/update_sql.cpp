#include "storage/update_sql.h"

#include "storage/errors.h"
#include "storage/sql_macro.h"

TASQLite3UpdateSQL::~TASQLite3UpdateSQL() = default;

namespace {

bool IsWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           u >= 0x80;  // letters of the code page in table and field names
}

bool SameWord(const std::string& a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (x != b[i]) return false;
    }
    return true;
}

[[noreturn]] void Expected(std::string_view what) {
    throw AsgError("SQL macro syntax error on sql, expected " + std::string(what));
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text), tokens_(TokenizeMacro(text)) {}
    const MacroToken& Peek() const { return tokens_[pos_]; }
    const MacroToken& Take() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
    void Expect(std::string_view word) {  // word in lower case
        const MacroToken& t = Take();
        if (!((t.kind == MacroToken::Kind::Word || t.kind == MacroToken::Kind::Symbol) && SameWord(t.text, word)))
            Expected(word);
    }
    std::string Name() {
        const MacroToken& t = Take();
        if (t.kind != MacroToken::Kind::Word) Expected("table name");
        return t.text;
    }
    std::string_view Rest() const { return text_.substr(Peek().begin); }
    bool PeekIs(std::string_view word) const {
        const MacroToken& t = Peek();
        return (t.kind == MacroToken::Kind::Word || t.kind == MacroToken::Kind::Symbol) && SameWord(t.text, word);
    }
    // The text of the tokens up to a "," or the word `stop` outside brackets,
    // or the end; the stopping token is not taken.
    std::string_view Until(std::string_view stop) {
        const size_t begin = Peek().begin;
        size_t end = begin;
        int depth = 0;
        while (Peek().kind != MacroToken::Kind::End) {
            const MacroToken& t = Peek();
            if (depth == 0 && (t.text == "," || PeekIs(stop))) break;
            if (t.text == "(") ++depth;
            if (t.text == ")") --depth;
            end = Take().end;
        }
        return text_.substr(begin, end - begin);
    }

private:
    std::string_view text_;
    std::vector<MacroToken> tokens_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<MacroToken> TokenizeMacro(std::string_view text) {
    std::vector<MacroToken> tokens;
    size_t i = 0;
    while (true) {
        while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
        MacroToken t;
        t.begin = i;
        if (i == text.size()) {
            t.end = i;
            tokens.push_back(t);
            return tokens;
        }
        const char c = text[i];
        size_t j = i + 1;
        if (c >= '0' && c <= '9') {
            t.kind = MacroToken::Kind::Number;
            while (j < text.size() && ((text[j] >= '0' && text[j] <= '9') || text[j] == '.')) ++j;
        } else if (IsWordByte(c)) {
            t.kind = MacroToken::Kind::Word;
            while (j < text.size() && IsWordByte(text[j])) ++j;
        } else if (c == '\'' || c == '"') {
            t.kind = MacroToken::Kind::String;
            const size_t close = text.find(c, j);
            j = close == std::string_view::npos ? text.size() : close + 1;
        } else if (c == ':') {
            t.kind = MacroToken::Kind::Colon;
            if (j < text.size() && text[j] == '=') t.kind = MacroToken::Kind::Assign, ++j;
        } else if (c == '<' || c == '>' || c == '=' || c == '!') {
            t.kind = MacroToken::Kind::Compare;
            if (j < text.size() && (text[j] == '=' || (c == '<' && text[j] == '>'))) ++j;
        } else {
            t.kind = MacroToken::Kind::Symbol;
        }
        t.end = j;
        t.text = std::string(text.substr(i, j - i));
        tokens.push_back(std::move(t));
        i = j;
    }
}

MacroStatement ParseUpdateMacro(std::string_view text) {
    Reader r(text);
    MacroStatement s;
    r.Expect("update");
    s.table = r.Name();
    if (r.PeekIs("set")) {
        r.Take();
        while (true) {
            const MacroToken& name = r.Take();
            if (name.kind != MacroToken::Kind::Word || SameWord(name.text, "where")) Expected("field name");
            MacroAssignment a{name.text, {}};
            if (r.Peek().text == "=") {
                r.Take();
                a.value = std::string(r.Until("where"));
                if (a.value.empty()) Expected("value");
            }
            s.assignments.push_back(std::move(a));
            if (r.Peek().text != ",") break;
            r.Take();
        }
    } else {
        r.Expect("*");
    }
    r.Expect("where");
    s.condition = std::string(r.Rest());
    return s;
}

MacroStatement ParseInsertMacro(std::string_view text) {
    Reader r(text);
    MacroStatement s;
    r.Expect("insert");
    r.Expect("into");
    s.table = r.Name();
    const MacroToken& t = r.Take();
    if (t.text == "*") return s;
    if (t.text != "(") throw AsgError("SQL macro syntax error on insertsql, expected ( or *");
    // A bracketed list names the fields whose values are inserted.
    while (true) {
        const MacroToken& name = r.Take();
        if (name.kind != MacroToken::Kind::Word) Expected("field name");
        s.columns.push_back(name.text);
        const MacroToken& sep = r.Take();
        if (sep.text == ")") break;
        if (sep.text != ",") Expected(")");
    }
    // An own values list pairs with the columns in order.
    if (r.PeekIs("values")) {
        r.Take();
        r.Expect("(");
        const size_t begin = r.Peek().begin;
        int depth = 0;
        while (!(depth == 0 && r.Peek().text == ")")) {
            if (r.Peek().kind == MacroToken::Kind::End) Expected(")");
            if (r.Peek().text == "(") ++depth;
            if (r.Peek().text == ")") --depth;
            r.Take();
        }
        s.values = std::string(text.substr(begin, r.Peek().begin - begin));
        if (s.values.empty()) Expected("value");
    }
    return s;
}

MacroStatement ParseDeleteMacro(std::string_view text) {
    Reader r(text);
    MacroStatement s;
    r.Expect("delete");
    r.Expect("from");
    s.table = r.Name();
    r.Expect("where");
    s.condition = std::string(r.Rest().substr(0, 999));
    return s;
}

std::string SubstituteNames(std::string_view condition, const std::function<std::string(const std::string&)>& value) {
    std::string out;
    const std::vector<MacroToken> tokens = TokenizeMacro(condition);
    size_t copied = 0;
    for (size_t k = 0; k + 1 < tokens.size(); ++k) {
        if (tokens[k].kind != MacroToken::Kind::Colon || tokens[k + 1].kind != MacroToken::Kind::Word ||
            tokens[k + 1].begin != tokens[k].end)
            continue;
        out.append(condition.substr(copied, tokens[k].begin - copied));
        out += value(tokens[k + 1].text);
        copied = tokens[k + 1].end;
        ++k;
    }
    out.append(condition.substr(copied));
    return out;
}
