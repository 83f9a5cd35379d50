// The generic CSV reader: the program's own export, and files whose header
// row names the usual columns in Czech or English. Fields are stored as they
// stand, nothing is turned round or split.
#include <QHash>

#include <algorithm>
#include <climits>

#include "app/core/codepage.h"
#include "app/transfer/readers/import_reader.h"
#include "app/transfer/readers/table_file.h"

namespace {

const char* const kShownColumns[kCatalogueColumnCount] = {
    "id",        "autor",    "titul",  "žánr",   "vydal", "série", "umístění", "zapůjčeno komu", "zapůjčeno kdy",
    "hodnocení", "poznámka", "údaj 1", "údaj 2", "údaj 3"};

// Letters and digits only, without accents, case folded: "Umístění", "UMISTENI"
// and "umisteni" name the same column.
QString FoldName(const QString& name) {
    const QString decomposed = name.normalized(QString::NormalizationForm_D);
    QString out;
    for (const QChar ch : decomposed)
        if (ch.isLetterOrNumber()) out += ch.toCaseFolded();
    return out;
}

// Folded header names and the column each names; the columns' own names count too.
const QHash<QString, int>& ColumnAliases() {
    static const QHash<QString, int> aliases = [] {
        QHash<QString, int> map;
        for (int c = 0; c < kCatalogueColumnCount; ++c) map.insert(QString::fromLatin1(kCatalogueColumns[c]), c);
        const std::pair<const char*, int> english[] = {
            {"author", 1}, {"title", 2},  {"genre", 3},  {"publisher", 4}, {"series", 5}, {"location", 6},
            {"lentto", 7}, {"lenton", 8}, {"rating", 9}, {"notes", 10},    {"note", 10},  {"poznamkakomentar", 10},
        };
        for (const auto& [name, column] : english) map.insert(QString::fromLatin1(name), column);
        return map;
    }();
    return aliases;
}

// A rating read as the record panel reads its spin edit: a whole decimal
// number (blanks and a sign allowed) brought into 1 to 5; anything else is 1.
std::string Rating(const std::optional<std::string>& value) {
    if (!value) return "1";
    const QString text = QString::fromLatin1(value->data(), static_cast<qsizetype>(value->size())).trimmed();
    bool ok = false;
    const long long v = text.toLongLong(&ok);
    if (!ok || v < INT_MIN || v > INT_MAX) return "1";
    return std::to_string(std::clamp<long long>(v, 1, 5));
}

class CsvReader : public ImportReader {
public:
    QString Name() const override { return QStringLiteral("CSV"); }
    QStringList FilePatterns() const override {
        return {QStringLiteral("*.csv"), QStringLiteral("*.txt"), QStringLiteral("*.tsv")};
    }
    // The last reader asked takes whatever is left, to say what is wrong with it.
    bool Recognises(const ImportSource&) const override { return true; }

    ImportPlan Read(const ImportSource& source) const override {
        ImportProblems problems;
        const TableFile table = ReadTableFile(source.bytes, problems);
        ImportPlan plan;
        plan.format = Name();
        plan.encoding = table.Encoding();
        plan.separator = table.separator;
        plan.warnings = table.warnings;

        const int width = static_cast<int>(table.header.size());
        std::vector<int> target(static_cast<size_t>(width), -1);
        bool used[kCatalogueColumnCount] = {};
        plan.ownExport = width == kCatalogueColumnCount;
        for (int k = 0; k < width; ++k) {
            const QString& name = table.header[k];
            if (plan.ownExport && name != QLatin1String(kCatalogueColumns[k])) plan.ownExport = false;
            const auto found = ColumnAliases().constFind(FoldName(name));
            if (found == ColumnAliases().constEnd() || used[*found]) {
                if (!name.trimmed().isEmpty()) plan.ignoredColumns.append(name);
                continue;
            }
            used[*found] = true;
            // The file's ids are not kept: imported rows get fresh ones.
            if (*found == kIdColumn) continue;
            target[static_cast<size_t>(k)] = *found;
            plan.mapping.append(QStringLiteral("%1 → %2").arg(name, QString::fromUtf8(kShownColumns[*found])));
        }
        if (!used[kAuthorColumn] && !used[kTitleColumn])
            problems.Fail(
                QStringLiteral("První řádek souboru musí nést názvy sloupců a mezi nimi alespoň "
                               "„Autor“ (Author) nebo „Titul“ (Title)."));

        for (const CsvRecord& record : table.records) {
            CatalogueRow row;
            // Columns the file does not have get what the new-record dialog stores.
            for (int c = 1; c < kCatalogueColumnCount; ++c) row[static_cast<size_t>(c)] = std::string();
            row[kRatingColumn].emplace(1, '3');
            for (int k = 0; k < width; ++k) {
                const int c = target[static_cast<size_t>(k)];
                if (c < 0) continue;
                const CsvField& f = record.fields[static_cast<size_t>(k)];
                std::optional<std::string> value;
                if (!(plan.ownExport && !f.quoted && f.text.empty()))
                    value = Stored(table, f, table.header[k], problems, plan.warnings);
                row[static_cast<size_t>(c)] = c == kRatingColumn ? std::optional(Rating(value)) : value;
            }
            plan.rows.push_back({std::move(row), record.line});
        }
        problems.ThrowIfAny();
        return plan;
    }

private:
    // The field's text in the catalogue's code page.
    static std::string Stored(const TableFile& table, const CsvField& field, const QString& column,
                              ImportProblems& problems, QStringList& warnings) {
        const auto where = [&](const QString& text, qsizetype at) {
            return QStringLiteral("Řádek %1, sloupec „%2“").arg(field.line + LineBreaksBefore(text, at)).arg(column);
        };
        // A Windows-1250 file already holds the code page's bytes.
        if (!table.utf8 && field.text.find('\0') == std::string::npos)
            return CutStored(
                field.text, [&](qsizetype) { return where(QString(), -1); }, warnings);
        const QString text = table.Text(field);
        return ToStored(
            text, problems, field.line, [&](qsizetype at) { return where(text, at); }, warnings);
    }
};

}  // namespace

std::unique_ptr<ImportReader> MakeCsvReader() { return std::make_unique<CsvReader>(); }
