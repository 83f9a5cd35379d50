#include "app/transfer/catalogue_import.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "app/platform/codepage.h"
#include "app/platform/error_box.h"
#include "app/transfer/import_dialog.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/progress.h"
#include "app/platform/ui_services.h"
#include "storage/connection.h"
#include "catalogue/csv.h"

namespace {

const char* const kNothingImported = "Nic nebylo importováno.";

[[noreturn]] void Refuse(const QString& message) {
    throw std::runtime_error((message + u' ' + QString::fromUtf8(kNothingImported)).toStdString());
}

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
            {"author", 1},    {"title", 2},     {"genre", 3},   {"publisher", 4},
            {"series", 5},    {"location", 6},  {"lentto", 7},  {"lenton", 8},
            {"rating", 9},    {"notes", 10},    {"note", 10},   {"poznamkakomentar", 10},
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

int LineBreaksBefore(const QString& text, qsizetype end) {
    int lines = 0;
    for (qsizetype i = 0; i < end && i < text.size(); ++i) {
        if (text[i] == u'\n') ++lines;
        if (text[i] == u'\r' && !(i + 1 < text.size() && text[i + 1] == u'\n')) ++lines;
    }
    return lines;
}

class Reader {
public:
    explicit Reader(bool utf8) : utf8_(utf8) {}

    QString Shown(const std::string& bytes) const {
        return utf8_ ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
                     : FromCodePage(bytes);
    }

    // The field's text in the catalogue's code page.
    std::string Stored(const CsvField& field, const QString& column) const {
        const QString text = Shown(field.text);
        QString problem;
        qsizetype at = text.indexOf(QChar(0));
        if (at >= 0) {
            problem = QStringLiteral("Text obsahuje nulový znak (U+0000), který katalog neumí uložit.");
        } else if (!utf8_) {
            return field.text;  // already the code page's bytes
        } else {
            try {
                // Letters written as a base and a combining accent (as some systems
                // save them) fit the code page once composed.
                if (!FitsCodePage(text)) return ToCodePage(text.normalized(QString::NormalizationForm_C));
                return ToCodePage(text);
            } catch (const CodePageError& e) {
                problem = QString::fromUtf8(e.what());
                at = text.indexOf(e.Character());
            }
        }
        Refuse(QStringLiteral("Řádek %1, sloupec „%2“: %3")
                   .arg(field.line + LineBreaksBefore(text, at))
                   .arg(column, problem));
    }

private:
    bool utf8_;
};

}  // namespace

int ImportPlan::DuplicateCount() const {
    int n = 0;
    for (bool d : duplicate) n += d ? 1 : 0;
    return n;
}

std::vector<CatalogueRow> ImportPlan::RowsToStore(bool includeDuplicates) const {
    std::vector<CatalogueRow> out;
    out.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        if (includeDuplicates || i >= duplicate.size() || !duplicate[i]) out.push_back(rows[i]);
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
    ImportPlan plan;
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        Refuse(QStringLiteral("Soubor je v kódování UTF-16; uložte jej jako CSV v kódování UTF-8 "
                              "nebo Windows-1250."));
    bool bom = false;
    const std::string_view data = WithoutUtf8Bom(bytes, &bom);
    const bool utf8 = bom || IsUtf8(data);
    plan.encoding = utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1250");
    plan.separator = DetectCsvSeparator(data);

    std::vector<CsvRecord> records;
    try {
        records = ReadCsv(data, plan.separator);
    } catch (const CsvError& e) {
        Refuse(QString::fromUtf8(e.what()));
    }
    if (records.empty()) Refuse(QStringLiteral("Soubor je prázdný."));

    const Reader reader(utf8);
    const CsvRecord& header = records.front();
    const size_t width = header.fields.size();
    std::vector<int> target(width, -1);
    QStringList names;
    bool used[kCatalogueColumnCount] = {};
    plan.ownExport = width == kCatalogueColumnCount;
    for (size_t k = 0; k < width; ++k) {
        const QString name = reader.Shown(header.fields[k].text);
        names.append(name);
        if (plan.ownExport && header.fields[k].text != kCatalogueColumns[k]) plan.ownExport = false;
        const auto found = ColumnAliases().constFind(FoldName(name));
        if (found == ColumnAliases().constEnd() || used[*found]) {
            if (!name.trimmed().isEmpty()) plan.ignoredColumns.append(name);
            continue;
        }
        used[*found] = true;
        // The file's ids are not kept: imported rows get fresh ones.
        if (*found != kIdColumn) target[k] = *found;
    }
    if (!used[kAuthorColumn] && !used[kTitleColumn])
        Refuse(QStringLiteral("První řádek souboru musí nést názvy sloupců a mezi nimi alespoň "
                              "„Autor“ (Author) nebo „Titul“ (Title)."));

    for (size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& record = records[r];
        const auto& fields = record.fields;
        bool empty = true;
        for (const CsvField& f : fields) empty = empty && f.text.empty() && !f.quoted;
        if (empty) continue;  // ";;;;" lines that spreadsheets leave behind
        bool extraEmpty = true;
        for (size_t k = width; k < fields.size(); ++k) extraEmpty = extraEmpty && fields[k].text.empty();
        if (fields.size() < width || !extraEmpty)
            Refuse(QStringLiteral("Řádek %1: má %2 polí, záhlaví souboru jich má %3 "
                                  "(oddělovač: %4).")
                       .arg(record.line)
                       .arg(fields.size())
                       .arg(width)
                       .arg(SeparatorName(plan.separator)));

        CatalogueRow row;
        // Columns the file does not have get what the new-record dialog stores.
        for (int c = 1; c < kCatalogueColumnCount; ++c) row[static_cast<size_t>(c)] = std::string();
        row[kRatingColumn].emplace(1, '3');
        for (size_t k = 0; k < width; ++k) {
            const int c = target[k];
            if (c < 0) continue;
            const CsvField& f = fields[k];
            std::optional<std::string> value;
            if (!(plan.ownExport && !f.quoted && f.text.empty())) value = reader.Stored(f, names[k]);
            row[static_cast<size_t>(c)] = c == kRatingColumn ? std::optional(Rating(value)) : value;
        }
        plan.rows.push_back(std::move(row));
        plan.lines.push_back(record.line);
    }
    plan.duplicate.assign(plan.rows.size(), false);
    return plan;
}

void MarkStored(ImportPlan& plan, const std::unordered_set<std::string>& storedKeys, long long nextId) {
    plan.duplicate.assign(plan.rows.size(), false);
    for (size_t i = 0; i < plan.rows.size(); ++i) {
        CatalogueRow& row = plan.rows[i];
        if (row[kAuthorColumn] && row[kTitleColumn])
            plan.duplicate[i] = storedKeys.count(AuthorTitleKey(*row[kAuthorColumn], *row[kTitleColumn])) > 0;
    }
    plan.firstId = nextId;
}

void CsvImport::Run(CatalogueSession& session) {
    UiServices& ui = session.Ui();
    const QFileInfo catalogue(QFile::decodeName(QByteArray::fromStdString(session.Connection().FormPath())));
    const std::optional<QString> path =
        ui.ChooseOpenFile(QStringLiteral("Importovat z CSV"), catalogue.absolutePath(),
                          QStringLiteral("CSV (*.csv *.txt);;Všechny soubory (*)"));
    if (!path) return;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Soubor „%1“ nelze přečíst: %2").arg(*path, file.errorString()).toStdString());
    const QByteArray bytes = file.readAll();
    file.close();

    ImportPlan plan = ParseImport(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (plan.rows.empty()) {
        ui.InformationBox(ProgramTitle(),
                          QStringLiteral("Soubor „%1“ neobsahuje žádné záznamy.").arg(*path));
        return;
    }
    MarkStored(plan, StoredAuthorTitleKeys(session.Connection()), NextCatalogueId(session.Connection()));

    ImportDialog dialog(plan, *path, &session.Window());
    ui.ExecModal(dialog);
    if (dialog.result() != QDialog::Accepted) return;
    const std::vector<CatalogueRow> rows = plan.RowsToStore(dialog.IncludeDuplicates());
    if (rows.empty()) {
        ui.InformationBox(ProgramTitle(), QStringLiteral("Všechny záznamy souboru už v katalogu jsou; "
                                                         "nic nebylo importováno."));
        return;
    }
    if (!beforeChange()) return;

    bool complete = false;
    {
        const auto progress = ui.StartProgress(QStringLiteral("Import z CSV"),
                                               QStringLiteral("Ukládám záznamy…"),
                                               static_cast<long long>(rows.size()));
        complete = AppendCatalogueRows(session.Connection(), rows, [&](size_t written) {
            return progress->Step(static_cast<long long>(written));
        });
    }
    if (!complete) {
        ui.InformationBox(ProgramTitle(), QStringLiteral("Import byl zrušen, katalog zůstal beze změny."));
        return;
    }
    session.rebuildTree();
    ui.InformationBox(ProgramTitle(),
                      QStringLiteral("Importováno záznamů: %1.").arg(static_cast<qulonglong>(rows.size())));
}
