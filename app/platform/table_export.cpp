#include "app/platform/table_export.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <cerrno>
#include <stdexcept>

#include "app/platform/error_box.h"
#include "app/platform/system_message.h"

namespace {

bool IsWholeNumber(const QString& text) {
    bool ok = false;
    text.toLongLong(&ok);
    return ok && !text.startsWith(u'+') && text == text.trimmed();
}

QString CsvField(const QString& text) {
    const QString safe = SpreadsheetSafe(text);
    if (!safe.contains(u';') && !safe.contains(u'"') && !safe.contains(u'\n') && !safe.contains(u'\r')) return safe;
    QString quoted = safe;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QFont PointFont(const QFont& base, qreal points, bool bold = false) {
    QFont font = base;
    font.setPointSizeF(points);  // a pixel size would follow the printer's dots, not the page
    font.setBold(bold);
    return font;
}

QString TableHtml(const QString& summary, const QStringList& header, const std::vector<QStringList>& rows,
                  const std::vector<bool>& marked) {
    // <thead> makes the document repeat the header row on each page.
    QString html = QStringLiteral("<p>") + summary.toHtmlEscaped() +
                   QStringLiteral(
                       "</p><table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">"
                       "<thead><tr>");
    for (const QString& h : header) html += QStringLiteral("<th>") + h.toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr></thead>");
    for (size_t i = 0; i < rows.size(); ++i) {
        html += i < marked.size() && marked[i] ? QStringLiteral("<tr style=\"color:#960000;background-color:#ffe2e2\">")
                                               : QStringLiteral("<tr>");
        for (const QString& text : rows[i])
            html += QStringLiteral("<td>") + text.toHtmlEscaped() + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

}  // namespace

QString SpreadsheetSafe(const QString& text) {
    if (text.isEmpty() || IsWholeNumber(text)) return text;
    const QChar first = text.front();
    const bool formula =
        first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' || first == u'\r';
    return formula ? u'\'' + text : text;
}

QString TableCsv(const QStringList& header, const std::vector<QStringList>& rows) {
    QString text;
    const auto line = [&](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields) quoted << CsvField(f);
        text += quoted.join(u';') + QStringLiteral("\r\n");
    };
    line(header);
    for (const QStringList& row : rows) line(row);
    return text;
}

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
    const QByteArray bytes = TableCsv(header, rows).toUtf8();
    WriteFileWhole(path, [&](QSaveFile& file) { return file.write(bytes) == bytes.size(); });
}

PageFrameHeights PageFrameOn(QPaintDevice& device) {
    const QFont base;
    return {QFontMetrics(PointFont(base, kPdfTitlePoints, true), &device).height() * 3 / 2,
            QFontMetrics(PointFont(base, kPdfBodyPoints), &device).height() * 2};
}

void DrawPageFrame(QPainter& painter, const QRect& page, const QString& title, int number, int pages) {
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(PointFont(painter.font(), kPdfTitlePoints, true));
    painter.drawText(page, Qt::AlignLeft | Qt::AlignTop, title);
    painter.setFont(PointFont(painter.font(), kPdfBodyPoints));
    painter.drawText(page, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("strana %1 z %2").arg(number).arg(pages));
    painter.restore();
}

void WriteTablePdf(const QString& path, const QString& title, const QString& summary, const QStringList& header,
                   const std::vector<QStringList>& rows, const std::vector<bool>& marked) {
    WriteFileWhole(path, [&](QSaveFile& file) {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setResolution(300);
        pdf.setTitle(title);
        QPainter painter(&pdf);
        if (!painter.isActive()) return false;
        const QRect page(0, 0, pdf.width(), pdf.height());
        const PageFrameHeights frame = PageFrameOn(pdf);
        const int head = frame.head;
        QTextDocument document;
        document.documentLayout()->setPaintDevice(&pdf);
        document.setDefaultFont(PointFont(painter.font(), kPdfBodyPoints));
        document.setHtml(TableHtml(summary, header, rows, marked));
        const QSizeF body(page.width(), page.height() - head - frame.foot);
        document.setPageSize(body);
        const int pages = document.pageCount();
        for (int i = 0; i < pages; ++i) {
            if (i > 0 && !pdf.newPage()) return false;
            DrawPageFrame(painter, page, title, i + 1, pages);
            painter.save();
            painter.translate(0, head - i * body.height());
            const QRectF shown(0, i * body.height(), body.width(), body.height());
            painter.setClipRect(shown);
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = shown;
            document.documentLayout()->draw(&painter, context);
            painter.restore();
        }
        return painter.end();
    });
}
