#pragma once
// The small macro language of the update-statement component:
//   update <table> * where <condition>
//   update <table> set <column>[=<value>], ... where <condition>
//   insert into <table> *
//   insert into <table> (<column>, ...) [values (<value>, ...)]
//   delete from <table> where <condition>
// where conditions and values name fields of the current row as ":name". A
// column of a "set" list without a value, and the columns of an insert
// without a values list, take the value of the field of the same name.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct MacroToken {
    enum class Kind { Word, Number, String, Colon, Assign, Compare, Symbol, End };
    Kind kind = Kind::End;
    std::string text;
    size_t begin = 0, end = 0;  // offsets in the macro text
};

// Words of letters, digits and "_"; numbers; quoted strings; ":" and ":=";
// the comparison signs; any other byte as a one-byte symbol.
std::vector<MacroToken> TokenizeMacro(std::string_view text);

struct MacroAssignment {
    std::string column;
    std::string value;  // the text after "="; empty: the field of the same name
};

struct MacroStatement {
    std::string table;
    std::vector<std::string> columns;          // insert with a bracketed list; empty for "*"
    std::string values;                        // insert: the text inside "values ( )", if given
    std::vector<MacroAssignment> assignments;  // update: the "set" list; empty for "*"
    std::string condition;                     // update and delete: the text after "where"
};

// Each raises AsgError "SQL macro syntax error on sql, expected <word>" on a
// wrong word (insert: "... on insertsql, expected ( or *" after the table).
MacroStatement ParseUpdateMacro(std::string_view text);
MacroStatement ParseInsertMacro(std::string_view text);
MacroStatement ParseDeleteMacro(std::string_view text);

// Replaces every ":name" outside quoted strings by what `value` gives for the name.
std::string SubstituteNames(std::string_view condition, const std::function<std::string(const std::string&)>& value);
