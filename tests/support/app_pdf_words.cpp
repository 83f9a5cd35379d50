#include "support/app_pdf_words.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextDocumentFragment>
#include <algorithm>

std::vector<PdfPage> PdfWords(const QString& pdf) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) return {};
    QProcess extract;
    extract.start(tool, {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!extract.waitForFinished(30000) || extract.exitCode() != 0) return {};
    const QString html = QString::fromUtf8(extract.readAllStandardOutput());
    std::vector<PdfPage> pages;
    static const QRegularExpression tag(QString::fromLatin1(
        R"re(<page |<word xMin="[\d.]+" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0) == QStringLiteral("<page ")) {
            pages.emplace_back();
            continue;
        }
        if (pages.empty()) continue;
        pages.back().push_back({QTextDocumentFragment::fromHtml(m.captured(3)).toPlainText(),
                                m.captured(2).toDouble() - m.captured(1).toDouble()});
    }
    return pages;
}

QString PageText(const PdfPage& page) {
    QStringList words;
    for (const PdfWord& word : page) words << word.text;
    return words.join(u' ');
}

double MedianWordHeight(const std::vector<PdfPage>& pages) {
    std::vector<double> heights;
    for (const PdfPage& page : pages)
        for (const PdfWord& word : page) heights.push_back(word.height);
    if (heights.empty()) return 0;
    std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2), heights.end());
    return heights[heights.size() / 2];
}
