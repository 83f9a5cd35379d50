#include "app/transfer/catalogue_import.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#include "app/platform/error_box.h"
#include "app/transfer/import_dialog.h"
#include "app/window/main_window.h"
#include "app/platform/progress.h"
#include "app/platform/ui_services.h"
#include "storage/connection.h"

void CsvImport::Run(TForm1& form) {
    UiServices& ui = form.uiServices();
    const QFileInfo catalogue(QFile::decodeName(QByteArray::fromStdString(form.con1.FormPath())));
    const std::optional<QString> path =
        ui.ChooseOpenFile(QStringLiteral("Importovat z CSV"), catalogue.absolutePath(),
                          QStringLiteral("Soubory k importu (*.csv *.txt *.tsv *.tc *.xml);;"
                                         "CSV a tabulky (*.csv *.txt *.tsv);;Tellico (*.tc *.xml);;"
                                         "Všechny soubory (*)"));
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
    MarkStored(plan, StoredAuthorTitleKeys(form.con1), StoredUdaj1Texts(form.con1), NextCatalogueId(form.con1));

    ImportDialog dialog(plan, *path, &form);
    ui.ExecModal(dialog);
    if (dialog.result() != QDialog::Accepted) return;
    const std::vector<CatalogueRow> rows = plan.RowsToStore(dialog.Chosen());
    if (rows.empty()) {
        ui.InformationBox(ProgramTitle(), QStringLiteral("Žádný záznam nebyl vybrán; nic nebylo importováno."));
        return;
    }
    if (!beforeChange()) return;

    bool complete = false;
    {
        const auto progress = ui.StartProgress(QStringLiteral("Import"),
                                               QStringLiteral("Ukládám záznamy…"),
                                               static_cast<long long>(rows.size()));
        complete = AppendCatalogueRows(form.con1, rows, [&](size_t written) {
            return progress->Step(static_cast<long long>(written));
        });
    }
    if (!complete) {
        ui.InformationBox(ProgramTitle(), QStringLiteral("Import byl zrušen, katalog zůstal beze změny."));
        return;
    }
    form.tv1update();
    ui.InformationBox(ProgramTitle(),
                      QStringLiteral("Importováno záznamů: %1.").arg(static_cast<qulonglong>(rows.size())));
}
