#include "app/loans/loans_export.h"

#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>
#include <stdexcept>

namespace {

QString CsvField(const QString& text) {
    const QString safe = SpreadsheetSafe(text);
    if (!safe.contains(u';') && !safe.contains(u'"') && !safe.contains(u'\n') && !safe.contains(u'\r')) return safe;
    QString quoted = safe;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

bool IsWholeNumber(const QString& text) {
    bool ok = false;
    text.toLongLong(&ok);
    return ok && !text.startsWith(u'+') && text == text.trimmed();
}

[[noreturn]] void CannotWrite(const QString& path, const QString& why) {
    const QString reason = why.isEmpty() ? QString() : QStringLiteral(": ") + why;
    throw std::runtime_error(QStringLiteral("Soubor „%1“ se nepodařilo zapsat%2.").arg(path, reason).toStdString());
}

}  // namespace

QString SpreadsheetSafe(const QString& text) {
    if (text.isEmpty() || IsWholeNumber(text)) return text;
    const QChar first = text.front();
    const bool formula =
        first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' || first == u'\r';
    return formula ? u'\'' + text : text;
}

QString LoansCsv(const QStringList& titles, const std::vector<ExportedLoan>& rows) {
    QString text;
    const auto line = [&text](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields) quoted << CsvField(f);
        text += quoted.join(u';') + QStringLiteral("\r\n");
    };
    line(titles);
    for (const ExportedLoan& row : rows) line(row.cells);
    return text;
}

QString LoansHtml(const QString& summary, const QStringList& titles, const std::vector<ExportedLoan>& rows) {
    QString html = QStringLiteral("<h2>Zápůjčky</h2><p>") + summary.toHtmlEscaped() +
                   QStringLiteral("</p><table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (const QString& title : titles)
        html += QStringLiteral("<th>") + title.toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    for (const ExportedLoan& row : rows) {
        html += row.overdue ? QStringLiteral("<tr style=\"color:#960000;background-color:#ffe2e2\">")
                            : QStringLiteral("<tr>");
        for (const QString& text : row.cells)
            html += QStringLiteral("<td>") + text.toHtmlEscaped() + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

void WriteLoansCsv(const QString& path, const QString& csv) {
    QSaveFile file(path);
    const QByteArray bytes = csv.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        CannotWrite(path, file.errorString());
}

void WriteLoansPdf(const QString& path, const QString& html) {
    // Printed beside the target first: a failed print must not leave half a
    // file where a good one was.
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setOutputFileName(part);
        QTextDocument document;
        document.setHtml(html);
        document.print(&printer);
    }
    if (QFileInfo(part).size() <= 0 || (QFile::exists(path) && !QFile::remove(path)) || !QFile::rename(part, path)) {
        QFile::remove(part);
        CannotWrite(path, QString());
    }
}
