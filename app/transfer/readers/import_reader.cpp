#include "app/transfer/readers/import_reader.h"

#include <algorithm>
#include <cstdlib>

#include "app/core/codepage.h"
#include "app/transfer/readers/table_file.h"
#include "catalogue/book_match.h"

namespace {

const char* const kNothingImported = "Nic nebylo importováno.";

std::string Message(const QStringList& problems, int total) {
    QString text;
    if (total == 1) {
        text = problems.value(0) + u' ';
    } else {
        text = QStringLiteral("Soubor nelze importovat, chyb: %1.\n").arg(total);
        for (const QString& p : problems) text += p + u'\n';
        if (total > problems.size()) text += QStringLiteral("… a dalších %1 chyb.\n").arg(total - problems.size());
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
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const ImportRow& r) { return r.duplicate; }));
}

int ImportPlan::RepeatCount() const {
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const ImportRow& r) { return r.repeats >= 0; }));
}

std::vector<bool> ImportPlan::Offered() const {
    std::vector<bool> offered;
    offered.reserve(rows.size());
    for (const ImportRow& r : rows) offered.push_back(!r.duplicate && r.owned);
    return offered;
}

std::vector<CatalogueRow> ImportPlan::RowsToStore(const std::vector<bool>& chosen) const {
    std::vector<CatalogueRow> out;
    out.reserve(rows.size());
    for (size_t i = 0; i < rows.size() && i < chosen.size(); ++i)
        if (chosen[i]) out.push_back(rows[i].row);
    return out;
}

QString SeparatorName(char separator) {
    switch (separator) {
    case ';': return QStringLiteral("středník (;)");
    case '\t': return QStringLiteral("tabulátor");
    default: return QStringLiteral("čárka (,)");
    }
}

// A UTF-16 file (LibraryThing offers one) as UTF-8 with its byte-order mark,
// so that every reader takes it; other bytes stay as they are.
std::string FromUtf16(std::string_view bytes) {
    const bool little = bytes.substr(0, 2) == "\xFF\xFE";
    if (!little && bytes.substr(0, 2) != "\xFE\xFF") return {};
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() / 2));
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        text.append(QChar(static_cast<char16_t>(little ? a | (b << 8) : (a << 8) | b)));
    }
    return "\xEF\xBB\xBF" + text.toStdString();
}

ImportPlan ParseImport(std::string_view bytes) {
    const std::string utf8 = FromUtf16(bytes);
    if (!utf8.empty()) bytes = utf8;
    ImportSource source{bytes, FirstRowNames(bytes)};
    for (const auto& reader : ImportReaders())
        if (reader->Recognises(source)) return reader->Read(source);
    ImportProblems().Fail(QStringLiteral("Formát souboru se nepodařilo rozpoznat."));
}

void MarkStored(ImportPlan& plan, const std::unordered_set<std::string>& storedKeys,
                const std::unordered_set<std::string>& storedUdaj1, long long nextId) {
    MarkStored(plan.rows, storedKeys, storedUdaj1);
    plan.firstId = nextId;
}

void AdoptStoredAuthors(ImportPlan& plan, const std::unordered_map<std::string, std::string>& storedForms) {
    QString unit = plan.unit;
    unit[0] = unit[0].toUpper();
    for (ImportRow& r : plan.rows) {
        std::optional<std::string>& author = r.row[kAuthorColumn];
        if (!author || author->empty()) continue;
        const auto stored = storedForms.find(match::AuthorKey(*author));
        if (stored == storedForms.end() || stored->second == *author) continue;
        plan.warnings.append(QStringLiteral("%1 %2: autor „%3“ zapsán jako v katalogu: „%4“.")
                                 .arg(unit)
                                 .arg(r.line)
                                 .arg(FromCodePage(*author), FromCodePage(stored->second)));
        author = stored->second;
    }
}
