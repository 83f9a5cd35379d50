// The list of import readers. A new format is one file with its reader and
// one line in this list; the most particular formats come first, the generic
// CSV reader, which takes any table with an author or title column, last.
#include "app/transfer/readers/import_reader.h"

const std::vector<std::unique_ptr<ImportReader>>& ImportReaders() {
    static const std::vector<std::unique_ptr<ImportReader>> readers = [] {
        std::vector<std::unique_ptr<ImportReader>> list;
        list.push_back(MakeTellicoReader());
        list.push_back(MakeGoodreadsReader());
        list.push_back(MakeLibraryThingReader());
        list.push_back(MakeCalibreReader());
        list.push_back(MakeCsvReader());
        return list;
    }();
    return readers;
}

QString ImportFileFilter() {
    QStringList every;
    QStringList formats;
    for (const auto& reader : ImportReaders()) {
        const QStringList patterns = reader->FilePatterns();
        for (const QString& pattern : patterns)
            if (!every.contains(pattern)) every.append(pattern);
        formats.append(QStringLiteral("%1 (%2)").arg(reader->Name(), patterns.join(u' ')));
    }
    formats.prepend(QStringLiteral("Soubory k importu (%1)").arg(every.join(u' ')));
    formats.append(QStringLiteral("Všechny soubory (*)"));
    return formats.join(QStringLiteral(";;"));
}
