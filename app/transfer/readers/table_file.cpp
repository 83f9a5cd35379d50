#include "app/transfer/readers/table_file.h"

#include <algorithm>
#include <climits>

#include "app/core/codepage.h"
#include "app/transfer/readers/foreign_book.h"
#include "app/transfer/readers/nearest_form.h"

namespace {

bool LooksLikeTable(std::string_view data) {
    if (data.empty()) return false;
    if (data.substr(0, 2) == "\xFF\xFE" || data.substr(0, 2) == "\xFE\xFF") return false;
    if (data.substr(0, 4) == std::string_view("PK\x03\x04", 4)) return false;
    const size_t start = data.find_first_not_of(" \t\r\n");
    return start == std::string_view::npos || data[start] != '<';
}

QString Decode(const std::string& bytes, bool utf8) {
    return utf8 ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())) : FromCodePage(bytes);
}

// Bytes of `data` that start no UTF-8 sequence, and how many multi-byte
// sequences are well formed.
struct Utf8Scan {
    size_t sequences = 0;
    std::vector<size_t> stray;
};

Utf8Scan ScanUtf8(std::string_view data) {
    Utf8Scan scan;
    for (size_t i = 0; i < data.size();) {
        const size_t length = Utf8SequenceLength(data, i);
        if (length == 0) scan.stray.push_back(i);
        if (length > 1) ++scan.sequences;
        i += std::max<size_t>(length, 1);
    }
    return scan;
}

// A Windows-1250 text almost never forms a UTF-8 sequence (an accented
// capital followed by š or „), while a UTF-8 export with one Latin-1 review
// has far more good sequences than stray bytes.
bool MostlyUtf8(const Utf8Scan& scan) { return scan.sequences > 0 && scan.stray.size() <= scan.sequences; }

// `data` with each stray byte replaced by "?", and a warning per line that had any.
std::string Repaired(std::string_view data, const std::vector<size_t>& stray, QStringList& warnings) {
    std::string out(data);
    int line = 1;
    size_t scanned = 0;
    int warnedLine = 0;
    QStringList bytes;
    const auto flush = [&] {
        if (!bytes.isEmpty())
            warnings.append(QStringLiteral("Řádek %1: bajty %2 nejsou platné UTF-8, nahrazeny otazníkem.")
                                .arg(warnedLine)
                                .arg(bytes.join(u' ')));
        bytes.clear();
    };
    for (const size_t at : stray) {
        for (; scanned < at; ++scanned)
            if (data[scanned] == '\n' ||
                (data[scanned] == '\r' && (scanned + 1 >= data.size() || data[scanned + 1] != '\n')))
                ++line;
        if (line != warnedLine) flush();
        warnedLine = line;
        const auto byte = static_cast<unsigned char>(data[at]);
        bytes.append(QStringLiteral("0x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0'));
        out[at] = '?';
    }
    flush();
    return out;
}

}  // namespace

QStringList FirstRowNames(std::string_view bytes) {
    bool bom = false;
    const std::string_view data = WithoutUtf8Bom(bytes, &bom);
    if (!LooksLikeTable(data)) return {};
    // The header ends at the first line end outside quotes.
    bool quoted = false;
    size_t end = 0;
    while (end < data.size() && (quoted || (data[end] != '\n' && data[end] != '\r'))) {
        if (data[end] == '"') quoted = !quoted;
        ++end;
    }
    const std::string_view first = data.substr(0, end);
    const bool utf8 = bom || IsUtf8(first);
    QStringList names;
    try {
        const std::vector<CsvRecord> records = ReadCsv(first, DetectCsvSeparator(first));
        if (records.empty()) return {};
        for (const CsvField& f : records.front().fields) names.append(Decode(f.text, utf8).trimmed());
    } catch (const CsvError&) {
        return {};
    }
    return names;
}

QString TableFile::Encoding() const { return utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1250"); }

QString TableFile::Text(const CsvField& field) const { return Decode(field.text, utf8); }

int TableFile::Column(std::initializer_list<const char*> names) const {
    for (const char* name : names)
        for (int k = 0; k < header.size(); ++k)
            if (header[k].compare(QString::fromUtf8(name), Qt::CaseInsensitive) == 0) return k;
    return -1;
}

TableFile ReadTableFile(std::string_view bytes, ImportProblems& problems) {
    TableFile table;
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        problems.Fail(
            QStringLiteral("Soubor je v kódování UTF-16; uložte jej jako CSV v kódování UTF-8 "
                           "nebo Windows-1250."));
    bool bom = false;
    std::string_view data = WithoutUtf8Bom(bytes, &bom);
    table.utf8 = IsUtf8(data);
    std::string repaired;
    if (!table.utf8) {
        const Utf8Scan scan = ScanUtf8(data);
        if (bom || MostlyUtf8(scan)) {
            table.utf8 = true;
            repaired = Repaired(data, scan.stray, table.warnings);
            data = repaired;
        }
    }
    table.separator = DetectCsvSeparator(data);

    std::vector<CsvError> malformed;
    std::vector<CsvRecord> records = ReadCsv(data, table.separator, &malformed);
    if (records.empty() && malformed.empty()) problems.Fail(QStringLiteral("Soubor je prázdný."));
    size_t next = 0;  // the next malformed line to report, in line order with the rest
    const auto reportUpTo = [&](int line) {
        for (; next < malformed.size() && malformed[next].Line() <= line; ++next)
            problems.Add(QString::fromUtf8(malformed[next].what()), malformed[next].Line());
    };
    if (!records.empty()) {
        for (const CsvField& f : records.front().fields) table.header.append(table.Text(f));
    }
    const size_t width = static_cast<size_t>(table.header.size());
    for (size_t r = 1; r < records.size(); ++r) {
        CsvRecord& record = records[r];
        reportUpTo(record.line);
        const auto& fields = record.fields;
        bool empty = true;
        for (const CsvField& f : fields) empty = empty && f.text.empty() && !f.quoted;
        if (empty) continue;  // ";;;;" lines that spreadsheets leave behind
        bool extraEmpty = true;
        for (size_t k = width; k < fields.size(); ++k) extraEmpty = extraEmpty && fields[k].text.empty();
        if (fields.size() < width || !extraEmpty) {
            problems.Add(QStringLiteral("Řádek %1: má %2 polí, záhlaví souboru jich má %3 (oddělovač: %4).")
                             .arg(record.line)
                             .arg(fields.size())
                             .arg(width)
                             .arg(SeparatorName(table.separator)),
                         record.line);
            continue;
        }
        record.fields.resize(width);
        table.records.push_back(std::move(record));
    }
    reportUpTo(INT_MAX);
    return table;
}

int LineBreaksBefore(const QString& text, qsizetype end) {
    int lines = 0;
    for (qsizetype i = 0; i < end && i < text.size(); ++i) {
        if (text[i] == u'\n') ++lines;
        if (text[i] == u'\r' && !(i + 1 < text.size() && text[i + 1] == u'\n')) ++lines;
    }
    return lines;
}

std::string CutStored(std::string bytes, const std::function<QString(qsizetype at)>& where, QStringList& warnings) {
    if (bytes.size() <= kMaxStoredField) return bytes;
    warnings.append(QStringLiteral("%1: text o %2 kB zkrácen na %3 kB.")
                        .arg(where(-1))
                        .arg(static_cast<qulonglong>((bytes.size() + 1023) / 1024))
                        .arg(kMaxStoredField / 1024));
    bytes.resize(kMaxStoredField);
    return bytes;
}

std::string ToStored(const QString& text, ImportProblems& problems, int line,
                     const std::function<QString(qsizetype at)>& where, QStringList& warnings) {
    QString problem;
    qsizetype at = text.indexOf(QChar(0));
    if (at >= 0) {
        problem = QStringLiteral("Text obsahuje nulový znak (U+0000), který katalog neumí uložit.");
    } else {
        try {
            if (FitsCodePage(text)) return CutStored(ToCodePage(text), where, warnings);
            // Letters written as a base and a combining accent (as some systems
            // save them) fit the code page once composed.
            const QString composed = text.normalized(QString::NormalizationForm_C);
            QStringList changes;
            const QString nearest = NearestStorableForm(composed, &changes);
            if (!changes.isEmpty())
                warnings.append(where(-1) + QStringLiteral(": ") + changes.join(QStringLiteral(", ")));
            return CutStored(ToCodePage(nearest), where, warnings);
        } catch (const CodePageError& e) {
            problem = QString::fromUtf8(e.what());
            at = text.indexOf(e.Character());
        }
    }
    problems.Add(where(at) + QStringLiteral(": ") + problem, line);
    return std::string();
}

std::vector<int> MapColumns(const TableFile& table, const std::vector<SourceColumn>& columns, ImportPlan& plan) {
    std::vector<int> index;
    std::vector<bool> used(static_cast<size_t>(table.header.size()), false);
    for (const SourceColumn& column : columns) {
        const int k = table.Column({column.name});
        index.push_back(k);
        if (k < 0) continue;
        used[static_cast<size_t>(k)] = true;
        plan.mapping.append(QStringLiteral("%1 → %2").arg(table.header[k], QString::fromUtf8(column.meaning)));
    }
    for (int k = 0; k < table.header.size(); ++k)
        if (!used[static_cast<size_t>(k)] && !table.header[k].trimmed().isEmpty())
            plan.ignoredColumns.append(table.header[k]);
    return index;
}

TableImport::TableImport(std::string_view bytes, const QString& format, const std::vector<SourceColumn>& columns)
    : table(ReadTableFile(bytes, problems)) {
    plan.format = format;
    plan.encoding = table.Encoding();
    plan.separator = table.separator;
    plan.warnings = table.warnings;
    at_ = MapColumns(table, columns, plan);
}

QString TableImport::Cell(const CsvRecord& record, int column) const {
    const int k = at_[static_cast<size_t>(column)];
    return k < 0 ? QString() : table.Text(record.fields[static_cast<size_t>(k)]);
}

void TableImport::Add(const ForeignBook& book, int line) {
    unowned_ += book.owned ? 0 : 1;
    AddBook(plan, problems, book, line);
}

ImportPlan TableImport::Finish(const char* unownedWarning) {
    problems.ThrowIfAny();
    if (unowned_ > 0) plan.warnings.prepend(QString::fromUtf8(unownedWarning).arg(unowned_));
    return std::move(plan);
}

bool HeaderHas(const QStringList& header, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (!header.contains(QString::fromUtf8(name), Qt::CaseInsensitive)) return false;
    return true;
}
