// Two sources' records of one ISBN merged into one candidate.
#include "app/isbn/merged_sources.h"

#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <string>

#include "app/core/codepage.h"
#include "catalogue/book_match.h"

namespace {

using Field = FoundRecord::Field;
using Same = std::function<bool(const QString&, const QString&)>;

// The catalogue's bytes, so that the catalogue's own folding compares them;
// a character the code page cannot hold separates words like punctuation.
std::string Bytes(const QString& text) {
    QString fitted;
    for (const QChar c : text) fitted += FitsCodePage(QString(c)) ? c : QChar(u' ');
    return ToCodePage(fitted);
}

bool SameAuthor(const QString& a, const QString& b) {
    const std::string x = Bytes(a), y = Bytes(b);
    return match::AuthorKey(x) == match::AuthorKey(y) || match::InitialsMatch(x, y);
}

bool SameTitle(const QString& a, const QString& b) { return match::TitleKey(Bytes(a)) == match::TitleKey(Bytes(b)); }

// One text the beginning of the other, word for word: "Albatros" and
// "Albatros Media", "Spisy" and "Spisy 7" name one publisher, one series.
bool Begins(const std::string& a, const std::string& b) {
    const std::string& shorter = a.size() < b.size() ? a : b;
    const std::string& longer = a.size() < b.size() ? b : a;
    return shorter == longer || (!shorter.empty() && longer.starts_with(shorter + ' '));
}

bool SameName(const QString& a, const QString& b) { return Begins(match::Fold(Bytes(a)), match::Fold(Bytes(b))); }

// "2010", "c2010", "March 2010" and "[2010?]" are one year.
QString YearOf(const QString& text) {
    static const QRegularExpression year(QStringLiteral("(?<!\\d)(1[4-9]|20)\\d\\d(?!\\d)"));
    const auto m = year.match(text);
    return m.hasMatch() ? m.captured(0) : text.trimmed();
}

bool SameYear(const QString& a, const QString& b) { return YearOf(a) == YearOf(b); }

// The same book: the authors agree (or one is not known) and the titles
// agree or one is the other's beginning (a subtitle left out).
bool SameBook(const FoundRecord& a, const FoundRecord& b) {
    if (!a.autor.isEmpty() && !b.autor.isEmpty() && !SameAuthor(a.autor, b.autor)) return false;
    return SameTitle(a.titul, b.titul) || Begins(match::TitleKey(Bytes(a.titul)), match::TitleKey(Bytes(b.titul)));
}

void Take(FoundRecord& into, const FoundRecord& later, Field field, QString& mine, const QString& theirs,
          const Same& same) {
    if (theirs.trimmed().isEmpty()) return;
    if (mine.trimmed().isEmpty()) {
        mine = theirs;
        into.notes.push_back({field, false, later.source, theirs});
    } else if (!same(mine, theirs)) {
        into.notes.push_back({field, true, later.source, theirs});
    }
}

void Merge(FoundRecord& into, const FoundRecord& later) {
    Take(into, later, Field::Autor, into.autor, later.autor, SameAuthor);
    Take(into, later, Field::Titul, into.titul, later.titul, SameTitle);
    Take(into, later, Field::Vydal, into.vydal, later.vydal, SameName);
    Take(into, later, Field::Rok, into.rok, YearOf(later.rok), SameYear);
    Take(into, later, Field::Serie, into.serie, later.serie, SameName);
    // Subject headings differ in language and wording from source to source:
    // a genre is taken where there was none, never set against another.
    Take(into, later, Field::Zanr, into.zanr, later.zanr, [](const QString&, const QString&) { return true; });
    if (into.stran.isEmpty()) into.stran = later.stran;
    if (into.vydani.isEmpty()) into.vydani = later.vydani;
    if (into.page.isEmpty()) into.page = later.page;
    for (const QString& isbn : later.isbns)
        if (!into.isbns.contains(isbn)) into.isbns.append(isbn);
    if (!into.source.split(QStringLiteral(" + ")).contains(later.source))
        into.source += QStringLiteral(" + ") + later.source;
}

}  // namespace

std::vector<FoundRecord> MergeSources(const std::vector<std::vector<FoundRecord>>& found) {
    if (found.empty()) return {};
    std::vector<FoundRecord> out = found.front();
    const size_t first = out.size();
    for (size_t s = 1; s < found.size(); ++s) {
        for (const FoundRecord& later : found[s]) {
            size_t into = 0;
            while (into < first && !SameBook(out[into], later)) ++into;
            // The ISBN is the same, so its gaps are filled all the same; another
            // author or title stays to be picked instead.
            const bool another = into == first;
            Merge(out[another ? 0 : into], later);
            if (!another) continue;
            bool kept = false;
            for (size_t i = first; i < out.size() && !kept; ++i) kept = SameBook(out[i], later);
            if (!kept) out.push_back(later);
        }
    }
    return out;
}

QString SourceNoteText(const FoundRecord& record, FoundRecord::Field field) {
    QStringList lines;
    for (const FoundRecord::SourceNote& n : record.notes) {
        if (n.field != field) continue;
        lines.append(n.differs ? QStringLiteral("jiný zdroj (%1): %2").arg(n.source, n.value)
                               : QStringLiteral("doplněno ze zdroje %1").arg(n.source));
    }
    return lines.join(u'\n');
}

bool SourcesDiffer(const FoundRecord& record, FoundRecord::Field field) {
    for (const FoundRecord::SourceNote& n : record.notes)
        if (n.field == field && n.differs) return true;
    return false;
}
