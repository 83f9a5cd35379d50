// The macros of the update-statement component: the tokenizer covers the
// text exactly, and every macro text either gives a statement or raises the
// macro syntax error, never anything else.
#include <cstddef>
#include <cstdint>
#include <string>
#include <typeinfo>

#include "fuzz/fuzz_check.h"
#include "storage/errors.h"
#include "storage/query.h"
#include "storage/sql_macro.h"

namespace {

constexpr std::string_view kSyntaxError = "SQL macro syntax error on sql, expected ";
constexpr std::string_view kInsertError = "SQL macro syntax error on insertsql, expected ( or *";

void CheckTokens(std::string_view text) {
    const std::vector<MacroToken> tokens = TokenizeMacro(text);
    FUZZ_CHECK(!tokens.empty() && tokens.back().kind == MacroToken::Kind::End, "no end token");
    FUZZ_CHECK(tokens.back().begin == text.size() && tokens.back().end == text.size(), "end token not at the end");
    size_t covered = 0;
    for (size_t k = 0; k + 1 < tokens.size(); ++k) {
        const MacroToken& t = tokens[k];
        FUZZ_CHECK(t.kind != MacroToken::Kind::End, "end token before the end");
        FUZZ_CHECK(covered <= t.begin && t.begin < t.end && t.end <= text.size(), "token outside the text");
        for (size_t i = covered; i < t.begin; ++i)
            FUZZ_CHECK(static_cast<unsigned char>(text[i]) <= ' ', "a byte skipped that is no blank");
        FUZZ_CHECK(t.text == text.substr(t.begin, t.end - t.begin), "token text differs from the source");
        covered = t.end;
    }
    for (size_t i = covered; i < text.size(); ++i)
        FUZZ_CHECK(static_cast<unsigned char>(text[i]) <= ' ', "a trailing byte skipped that is no blank");
}

bool IsWord(const std::string& s) {
    if (s.empty()) return false;
    const std::vector<MacroToken> tokens = TokenizeMacro(s);
    return tokens.size() == 2 && tokens[0].kind == MacroToken::Kind::Word && tokens[0].text == s;
}

// The condition with each ":name" replaced: naming the fields back gives the
// condition again, and quoting their values leaves no name in place.
void CheckCondition(const std::string& condition) {
    const std::string same = SubstituteNames(condition, [](const std::string& name) { return ":" + name; });
    FUZZ_CHECK(same == condition, "substitution by the names themselves changed the condition");
    size_t calls = 0;
    const std::string quoted = SubstituteNames(condition, [&](const std::string& name) {
        FUZZ_CHECK(IsWord(name), "substituted name is not a word: " + name);
        ++calls;
        return "'" + QuoteLiteralBody(name) + "'";
    });
    FUZZ_CHECK(quoted.size() == condition.size() + calls, "each name must grow by its two quotes only");
}

template <typename Parse>
void CheckMacro(std::string_view text, Parse parse, bool insert) {
    try {
        const MacroStatement m = parse(text);
        FUZZ_CHECK(IsWord(m.table), "table name is not a word: " + m.table);
        for (const std::string& c : m.columns) FUZZ_CHECK(IsWord(c), "column name is not a word: " + c);
        FUZZ_CHECK(insert || m.columns.empty(), "columns outside an insert macro");
        FUZZ_CHECK(text.find(m.condition) != std::string_view::npos, "condition is not part of the text");
        CheckCondition(m.condition);
        FUZZ_CHECK(insert || m.values.empty(), "a values list outside an insert macro");
        FUZZ_CHECK(!insert || m.assignments.empty(), "a set list in an insert macro");
        FUZZ_CHECK(text.find(m.values) != std::string_view::npos, "values list is not part of the text");
        CheckCondition(m.values);
        for (const MacroAssignment& a : m.assignments) {
            FUZZ_CHECK(IsWord(a.column), "set column is not a word: " + a.column);
            FUZZ_CHECK(text.find(a.value) != std::string_view::npos, "set value is not part of the text");
            CheckCondition(a.value);
        }
    } catch (const AsgError& e) {
        const std::string_view message = e.what();
        const bool known = (StartsWith(message, kSyntaxError) && message.size() > kSyntaxError.size()) ||
                           (insert && message == kInsertError);
        FUZZ_CHECK(known, "unexpected AsgError: " + std::string(message));
    } catch (const std::exception& e) {
        FUZZ_CHECK(false, std::string("unexpected ") + typeid(e).name() + ": " + e.what());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckTokens(text);
    CheckMacro(text, ParseUpdateMacro, false);
    CheckMacro(text, ParseInsertMacro, true);
    CheckMacro(text, ParseDeleteMacro, false);
    // The texts come from a string list, which ends every line with CR LF.
    const std::string line = text + "\r\n";
    CheckMacro(line, ParseUpdateMacro, false);
    CheckMacro(line, ParseInsertMacro, true);
    CheckMacro(line, ParseDeleteMacro, false);
    return 0;
}
