#include "app/transfer/catalogue_export.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <stdexcept>

#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/progress.h"
#include "app/platform/ui_services.h"
#include "app/platform/system_message.h"
#include "catalogue/backup_store.h"
#include "catalogue/catalogue_transfer.h"
#include "storage/connection.h"
#include "catalogue/csv.h"

namespace {

constexpr char kSeparator = ',';
// Rows between two progress reports, and the size at which the text is flushed to the file.
constexpr long long kRowsPerStep = 2000;
constexpr size_t kFlushBytes = 1 << 20;

void AppendRow(std::string& out, const CatalogueRow& row) {
    for (size_t c = 0; c < row.size(); ++c) {
        if (c) out += kSeparator;
        if (!row[c]) continue;  // NULL: nothing between the separators
        if (c == kIdColumn || c == kRatingColumn) {
            AppendCsvField(out, *row[c], kSeparator, true);
        } else {
            const QByteArray utf8 = FromCodePage(*row[c]).toUtf8();
            AppendCsvField(out, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), kSeparator, true);
        }
    }
    out += kCsvLineEnd;
}

// Qt's words and the system's own go behind "Podrobnosti"; the box says the cause in Czech.
struct WriteFailure {
    QFileDevice::FileError kind;
    QString words;  // Qt's
    int error;      // the system's, 0 when none
};

// Taken before the file is cancelled, which replaces Qt's words with its own.
WriteFailure FailureOf(const QSaveFile& file, int error) { return {file.error(), file.errorString(), error}; }

// Qt's words and the system's own go behind "Podrobnosti"; the box says the cause in Czech.
[[noreturn]] void WriteFailed(const QString& path, const WriteFailure& failure) {
    // Qt words a failed write "Unknown error"; the system's own reason says more.
    const bool vague = failure.words.isEmpty() || failure.words == QLatin1String("Unknown error");
    const QString details = failure.error != 0 && vague ? SystemErrorText(failure.error) : failure.words;
    throw DetailedFailure(
        QStringLiteral("Soubor „%1“ nelze zapsat: %2").arg(path, CzechFileError(failure.kind, failure.error)), details);
}

}  // namespace

long long ExportCatalogueCsv(TASQLite3DB& con, const QString& path, Progress& progress) {
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) WriteFailed(path, FailureOf(file, errno));

    std::string text;
    for (int c = 0; c < kCatalogueColumnCount; ++c) {
        if (c) text += kSeparator;
        text += kCatalogueColumns[c];
    }
    text += kCsvLineEnd;

    bool writeFailed = false;
    int writeError = 0;
    long long rows = 0;
    const auto flush = [&] {
        errno = 0;
        if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
            writeFailed = true;
            writeError = errno;
        }
        text.clear();
    };
    const bool complete = ForEachCatalogueRow(con, [&](const CatalogueRow& row) {
        AppendRow(text, row);
        ++rows;
        if (text.size() >= kFlushBytes) flush();
        if (writeFailed) return false;
        return rows % kRowsPerStep != 0 || progress.Step(rows);
    });
    if (complete) flush();
    if (writeFailed) {
        const WriteFailure failure = FailureOf(file, writeError);
        file.cancelWriting();
        WriteFailed(path, failure);
    }
    if (!complete) {
        file.cancelWriting();
        return -1;
    }
    progress.Step(rows);
    errno = 0;
    if (!file.commit()) WriteFailed(path, FailureOf(file, errno));
    return rows;
}

void ExportCatalogueCommand(CatalogueSession& session) {
    UiServices& ui = session.Ui();
    const QFileInfo catalogue(QFile::decodeName(QByteArray::fromStdString(session.Connection().FormPath())));
    const QString proposed = catalogue.absolutePath() + u'/' + catalogue.completeBaseName() + ".csv";
    const std::optional<QString> path =
        ui.ChooseSaveFile(QStringLiteral("Exportovat do CSV"), proposed, QStringLiteral("CSV (*.csv)"));
    if (!path) return;
    // A CSV text in the place of the catalogue or of one of its backups would destroy what it exports.
    const std::string open = session.Connection().LibraryLoaded() && session.Connection().Handle()
                                 ? OpenCataloguePath(session.Connection())
                                 : std::string();
    if (!open.empty() && WouldOverwriteCatalogue(open, QFile::encodeName(*path).toStdString())) {
        ui.ErrorBox(ProgramTitle(),
                    QStringLiteral("Do souboru „%1“ nelze exportovat: je to otevřený katalog nebo jeho záloha. "
                                   "Zvolte pro export jiný soubor.")
                        .arg(*path));
        return;
    }
    long long rows = 0;
    {
        // Gone before any box: a progress dialog left alive would show itself over it.
        const auto progress = ui.StartProgress(QStringLiteral("Export do CSV"), QStringLiteral("Zapisuji záznamy…"),
                                               CountCatalogueRows(session.Connection()));
        rows = ExportCatalogueCsv(session.Connection(), *path, *progress);
    }
    if (rows < 0) {
        ui.InformationBox(ProgramTitle(), QStringLiteral("Export byl zrušen, soubor nebyl zapsán."));
        return;
    }
    ui.InformationBox(ProgramTitle(),
                      QStringLiteral("Do souboru „%1“ bylo exportováno záznamů: %2.").arg(*path).arg(rows));
}
