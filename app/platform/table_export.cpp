#include "app/platform/table_export.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <cerrno>
#include <stdexcept>

#include "app/platform/error_box.h"
#include "app/platform/system_message.h"

namespace {

QString CsvField(const QString& text) {
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r')) return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

}  // namespace

void WriteFileWhole(const QString& path, const std::function<bool(QSaveFile&)>& write) {
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly) || !write(file) || !file.commit()) {
        const int error = errno;
        throw DetailedFailure(
            QStringLiteral("Soubor „%1“ se nepodařilo zapsat: %2").arg(path, CzechFileError(file.error(), error)),
            file.errorString());
    }
}

void WriteTableCsv(const QString& path, const QStringList& header, const std::vector<QStringList>& rows) {
    QString text;
    const auto line = [&](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields) quoted << CsvField(f);
        text += quoted.join(u';') + QStringLiteral("\r\n");
    };
    line(header);
    for (const QStringList& row : rows) line(row);
    const QByteArray bytes = text.toUtf8();
    WriteFileWhole(path, [&](QSaveFile& file) { return file.write(bytes) == bytes.size(); });
}

void WriteTablePdf(const QString& path, const QString& title, const QString& summary, const QStringList& header,
                   const std::vector<QStringList>& rows) {
    QString html = QStringLiteral("<h2>") + title.toHtmlEscaped() + QStringLiteral("</h2><p>") +
                   summary.toHtmlEscaped() +
                   QStringLiteral("</p><table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (const QString& h : header) html += QStringLiteral("<th>") + h.toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    for (const QStringList& row : rows) {
        html += QStringLiteral("<tr>");
        for (const QString& text : row) html += QStringLiteral("<td>") + text.toHtmlEscaped() + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");
    WriteFileWhole(path, [&](QSaveFile& file) {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setTitle(title);
        QTextDocument document;
        document.setHtml(html);
        document.print(&pdf);
        return true;
    });
}
