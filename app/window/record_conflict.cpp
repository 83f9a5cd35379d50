#include "app/window/record_conflict.h"

#include <QStringList>
#include <algorithm>

#include "app/core/codepage.h"
#include "app/platform/ui_services.h"

using rowguard::Column;

namespace {

// A long text is shown by its start: the question must fit on the screen.
constexpr int kShownCharacters = 60;

QString Label(Column column) {
    switch (column) {
    case rowguard::Id: return QStringLiteral("číslo");
    case rowguard::Autor: return QStringLiteral("autor");
    case rowguard::Titul: return QStringLiteral("titul");
    case rowguard::Zanr: return QStringLiteral("žánr");
    case rowguard::Vydal: return QStringLiteral("vydal");
    case rowguard::Serie: return QStringLiteral("série");
    case rowguard::Umisteni: return QStringLiteral("umístění");
    case rowguard::Komu: return QStringLiteral("zapůjčeno komu");
    case rowguard::Kdy: return QStringLiteral("zapůjčeno kdy");
    case rowguard::Hodnoceni: return QStringLiteral("hodnocení");
    case rowguard::Poznamka: return QStringLiteral("poznámka");
    case rowguard::kColumns: break;
    }
    return QString();
}

QString Shown(const rowguard::StoredValue& value) {
    QString text = FromCodePage(value.text);
    text.replace(u'\n', u' ').replace(u'\r', u' ').replace(u'\t', u' ');
    if (text.size() > kShownCharacters) text = text.left(kShownCharacters) + QStringLiteral("…");
    return QStringLiteral("„") + text + QStringLiteral("“");
}

}  // namespace

rowguard::Column FieldColumn(int field) {
    static constexpr Column kColumns[kPanelFields] = {
        rowguard::Autor,    rowguard::Titul, rowguard::Zanr, rowguard::Vydal,    rowguard::Serie,
        rowguard::Umisteni, rowguard::Komu,  rowguard::Kdy,  rowguard::Poznamka, rowguard::Hodnoceni};
    return kColumns[field];
}

std::vector<Column> FieldColumns(const std::vector<int>& fields) {
    std::vector<Column> columns;
    for (int field : fields) columns.push_back(FieldColumn(field));
    return columns;
}

QString ChangedMeanwhileText(const rowguard::StoredRow& shown, const rowguard::StoredRow& now,
                             const std::vector<Column>& edited, bool deleting) {
    QStringList lines;
    QStringList both;
    for (Column column : rowguard::ChangedColumns(shown, now)) {
        lines << Label(column) + QStringLiteral(": ") + Shown(shown[column]) + QStringLiteral(" → ") +
                     Shown(now[column]);
        if (std::find(edited.begin(), edited.end(), column) != edited.end()) both << Label(column);
    }
    QString text = QStringLiteral("Knihu mezitím změnil jiný program:\n") + lines.join(u'\n') + QStringLiteral("\n\n");
    if (deleting)
        return text + QStringLiteral(
                          "„přesto smazat“ knihu smaže, „zobrazit znovu“ ji ponechá a ukáže, jak je "
                          "uložena.");
    text += QStringLiteral("„ponechat obě změny“ uloží jen to, co jste změnili vy");
    if (!both.isEmpty())
        text += QStringLiteral(" (kromě polí, která změnil i jiný program a v nichž zůstane jeho hodnota: ") +
                both.join(QStringLiteral(", ")) + QStringLiteral(")");
    return text + QStringLiteral(
                      "; „přepsat“ uloží vše, jak je zobrazeno; „zobrazit znovu“ vaše úpravy zahodí a ukáže knihu, "
                      "jak je uložena.");
}

MeanwhileAnswer AskChangedMeanwhile(UiServices& ui, const QString& caption, const rowguard::StoredRow& shown,
                                    const rowguard::StoredRow& now, const std::vector<Column>& edited, bool deleting) {
    const QString text = ChangedMeanwhileText(shown, now, edited, deleting);
    if (deleting) {
        const std::optional<int> choice =
            ui.Choice(caption, text, {QStringLiteral("přesto &smazat"), QStringLiteral("&zobrazit znovu")});
        if (!choice) return MeanwhileAnswer::None;
        return *choice == 0 ? MeanwhileAnswer::Overwrite : MeanwhileAnswer::ShowAnew;
    }
    const std::optional<int> choice = ui.Choice(
        caption, text,
        {QStringLiteral("&ponechat obě změny"), QStringLiteral("pře&psat"), QStringLiteral("&zobrazit znovu")});
    if (!choice) return MeanwhileAnswer::None;
    constexpr MeanwhileAnswer kAnswers[] = {MeanwhileAnswer::Keep, MeanwhileAnswer::Overwrite,
                                            MeanwhileAnswer::ShowAnew};
    return *choice >= 0 && *choice < 3 ? kAnswers[*choice] : MeanwhileAnswer::None;
}
