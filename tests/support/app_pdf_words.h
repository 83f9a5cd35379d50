#pragma once
// The words of a PDF as a reader lays them out (pdftotext -bbox): each page's
// words with the height of their box in points, to check that text is
// readable, not only present.
#include <QString>
#include <QStringList>
#include <vector>

struct PdfWord {
    QString text;
    double height = 0;  // points
};
using PdfPage = std::vector<PdfWord>;

// Empty when pdftotext is missing or fails.
std::vector<PdfPage> PdfWords(const QString& pdf);
// A page's words joined by blanks, in reading order.
QString PageText(const PdfPage& page);
// The median height of the words on every page.
double MedianWordHeight(const std::vector<PdfPage>& pages);
