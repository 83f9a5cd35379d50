#include "app/transfer/catalogue_import.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <stdexcept>

#include "app/platform/error_box.h"
#include "app/platform/system_message.h"
#include "app/transfer/import_dialog.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/progress.h"
#include "app/platform/ui_services.h"
#include "storage/connection.h"

void CatalogueImport::Run(CatalogueSession& session) {
    UiServices& ui = session.Ui();
    const QFileInfo catalogue(QFile::decodeName(QByteArray::fromStdString(session.Connection().FormPath())));
    const std::optional<QString> path =
        ui.ChooseOpenFile(QStringLiteral("Importovat z CSV"), catalogue.absolutePath(), ImportFileFilter());
    if (!path) return;
    QFile file(*path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        const int error = errno;
        throw DetailedFailure(
            QStringLiteral("Soubor „%1“ nelze přečíst: %2").arg(*path, CzechFileError(file.error(), error)),
            file.errorString());
    }
    const QByteArray bytes = file.readAll();
    file.close();

    ImportPlan plan = ParseImport(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (plan.rows.empty()) {
        ui.InformationBox(ProgramTitle(), QStringLiteral("Soubor „%1“ neobsahuje žádné záznamy.").arg(*path));
        return;
    }
    TASQLite3DB& con = session.Connection();
    AdoptStoredAuthors(plan, StoredAuthorForms(con));
    MarkStored(plan, StoredAuthorTitleKeys(con), StoredUdaj1Texts(con), NextCatalogueId(con));

    ImportDialog dialog(plan, *path, &session.Window());
    ui.ExecModal(dialog);
    if (dialog.result() != QDialog::Accepted) return;
    const std::vector<CatalogueRow> rows = plan.RowsToStore(dialog.Chosen());
    if (rows.empty()) {
        ui.InformationBox(ProgramTitle(), QStringLiteral("Žádný záznam nebyl vybrán; nic nebylo importováno."));
        return;
    }
    bool complete = false;
    const bool asked = session.Change({}, [&] {
        const auto progress = ui.StartProgress(QStringLiteral("Import"), QStringLiteral("Ukládám záznamy…"),
                                               static_cast<long long>(rows.size()));
        complete = AppendCatalogueRows(session.Connection(), rows,
                                       [&](size_t written) { return progress->Step(static_cast<long long>(written)); });
        RowsChange change;
        change.changed = complete ? static_cast<int64_t>(rows.size()) : 0;
        change.readAnew = complete;
        return change;
    });
    if (!asked) return;
    if (!complete) {
        ui.InformationBox(ProgramTitle(), QStringLiteral("Import byl zrušen, katalog zůstal beze změny."));
        return;
    }
    ui.InformationBox(ProgramTitle(),
                      QStringLiteral("Importováno záznamů: %1.").arg(static_cast<qulonglong>(rows.size())));
}
