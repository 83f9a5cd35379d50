#include "app/transfer/readers/import_reader.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "catalogue/isbn.h"
#include "app/transfer/readers/table_file.h"

namespace {

const char* const kNothingImported = "Nic nebylo importováno.";

std::string Message(const QStringList& problems, int total) {
    QString text;
    if (total == 1) {
        text = problems.value(0) + u' ';
    } else {
        text = QStringLiteral("Soubor nelze importovat, chyb: %1.\n").arg(total);
        for (const QString& p : problems) text += p + u'\n';
        if (total > problems.size())
            text += QStringLiteral("… a dalších %1 chyb.\n").arg(total - problems.size());
    }
    // Names taken from the file may hold control characters; a zero one would
    // even cut the message short.
    for (QChar& ch : text)
        if (ch.unicode() < 0x20 && ch != u'\n') ch = QChar::ReplacementCharacter;
    return (text + QString::fromUtf8(kNothingImported)).toStdString();
}

}  // namespace

ImportError::ImportError(const QStringList& problems, int total)
    : std::runtime_error(Message(problems, total)), total_(total) {}

void ImportProblems::Add(const QString& problem, int line) {
    if (static_cast<int>(kept_.size()) < kKept) kept_.emplace_back(line, problem);
    ++total_;
}

void ImportProblems::ThrowIfAny() const {
    if (total_ == 0) return;
    std::vector<std::pair<int, QString>> sorted = kept_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList named;
    for (const auto& [line, text] : sorted) {
        if (named.size() == ImportError::kNamedProblems) break;
        named.append(text);
    }
    throw ImportError(named, total_);
}

void ImportProblems::Fail(const QString& problem) {
    Add(problem);
    ThrowIfAny();
    std::abort();  // not reached: a problem was just added
}

int ImportPlan::DuplicateCount() const {
    int n = 0;
    for (bool d : duplicate) n += d ? 1 : 0;
    return n;
}

int ImportPlan::RepeatCount() const {
    int n = 0;
    for (int r : repeats) n += r >= 0 ? 1 : 0;
    return n;
}

std::vector<bool> ImportPlan::Offered() const {
    std::vector<bool> offered(rows.size(), true);
    for (size_t i = 0; i < rows.size(); ++i)
        offered[i] = !(i < duplicate.size() && duplicate[i]) && !(i < owned.size() && !owned[i]);
    return offered;
}

std::vector<CatalogueRow> ImportPlan::RowsToStore(const std::vector<bool>& chosen) const {
    std::vector<CatalogueRow> out;
    out.reserve(rows.size());
    for (size_t i = 0; i < rows.size() && i < chosen.size(); ++i)
        if (chosen[i]) out.push_back(rows[i]);
    return out;
}

QString SeparatorName(char separator) {
    switch (separator) {
        case ';':
            return QStringLiteral("středník (;)");
        case '\t':
            return QStringLiteral("tabulátor");
        default:
            return QStringLiteral("čárka (,)");
    }
}

ImportPlan ParseImport(std::string_view bytes) {
    ImportSource source{bytes, FirstRowNames(bytes)};
    for (const auto& reader : ImportReaders())
        if (reader->Recognises(source)) {
            ImportPlan plan = reader->Read(source);
            plan.owned.resize(plan.rows.size(), true);
            plan.duplicate.assign(plan.rows.size(), false);
            plan.repeats.assign(plan.rows.size(), -1);
            return plan;
        }
    ImportProblems().Fail(QStringLiteral("Formát souboru se nepodařilo rozpoznat."));
}

void MarkStored(ImportPlan& plan, const std::unordered_set<std::string>& storedKeys,
                const std::unordered_set<std::string>& storedUdaj1, long long nextId) {
    // A stored ISBN typed with hyphens, or as an ISBN-10, is the same book.
    std::unordered_set<std::string> storedIsbns;
    for (const std::string& text : storedUdaj1)
        if (const auto stored = isbn::Normalize(text)) storedIsbns.insert(*stored);
    plan.duplicate.assign(plan.rows.size(), false);
    plan.repeats.assign(plan.rows.size(), -1);
    std::unordered_map<std::string, int> seenKeys;
    std::unordered_map<std::string, int> seenIsbns;
    for (size_t i = 0; i < plan.rows.size(); ++i) {
        const CatalogueRow& row = plan.rows[i];
        const int index = static_cast<int>(i);
        const std::string* isbn = row[kUdaj1Column] && !row[kUdaj1Column]->empty() ? &*row[kUdaj1Column] : nullptr;
        bool stored = isbn && storedIsbns.count(*isbn) > 0;
        int earlier = -1;
        if (isbn) earlier = seenIsbns.try_emplace(*isbn, index).first->second;
        if (row[kAuthorColumn] && row[kTitleColumn]) {
            const std::string key = AuthorTitleKey(*row[kAuthorColumn], *row[kTitleColumn]);
            stored = stored || storedKeys.count(key) > 0;
            const int first = seenKeys.try_emplace(key, index).first->second;
            if (earlier == index || earlier < 0) earlier = first;
        }
        plan.duplicate[i] = stored;
        if (earlier >= 0 && earlier != index) plan.repeats[i] = earlier;
    }
    plan.firstId = nextId;
}
