// The provider operations: an interface for a data provider over the query.
#include <algorithm>

#include "storage/connection.h"
#include "storage/errors.h"
#include "storage/fields.h"
#include "storage/query.h"
#include "storage/sql_macro.h"

int TASQLite3BaseQuery::PSExecuteStatement(const std::string& sql, const std::vector<TParam>& params) {
    TASQLite3Query temporary;
    temporary.SetConnection(connection_);
    temporary.SQL().Add(sql);
    if (!params.empty()) temporary.PSSetParams(params);
    temporary.ExecSQL();
    return connection_ ? connection_->RowsAffected() : 0;
}

void TASQLite3BaseQuery::PSStartTransaction() {
    if (!connection_) throw AsgError("no database connection");
    connection_->StartTransaction(transactionType_);
}

void TASQLite3BaseQuery::PSEndTransaction(bool commit) {
    if (!connection_) throw AsgError("no database connection");
    if (commit)
        connection_->Commit();
    else
        connection_->RollBack();
}

std::string TASQLite3BaseQuery::PSGetTableName() const {
    const std::vector<MacroToken> tokens = TokenizeMacro(SQLText());
    for (size_t k = 0; k + 1 < tokens.size(); ++k) {
        std::string word = tokens[k].text;
        std::transform(word.begin(), word.end(), word.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        if (tokens[k].kind == MacroToken::Kind::Word && (word == "from" || word == "into" || word == "update") &&
            tokens[k + 1].kind == MacroToken::Kind::Word)
            return tokens[k + 1].text;
    }
    return {};
}

std::string TASQLite3BaseQuery::PSGetKeyFields() const {
    std::string keys;
    for (const auto& f : fields_) {
        if (!f->InKey) continue;
        if (!keys.empty()) keys += ";";
        keys += f->FieldName();
    }
    return keys;
}

void TASQLite3BaseQuery::PSReset() {
    if (!active_) return;
    Close();
    Open();
}

void TASQLite3BaseQuery::PSSetCommandText(const std::string&) {}

void TASQLite3BaseQuery::PSSetParams(const std::vector<TParam>& params) {
    if (!params.empty()) params_ = params;
    Close();
}
