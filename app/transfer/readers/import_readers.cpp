// The list of import readers. A new format is one file with its reader and
// one name in this list; the most particular formats come first, the generic
// CSV reader, which takes any table with an author or title column, last.
#include "app/transfer/readers/import_reader.h"

#define SVAZKOVNA_IMPORT_FORMATS(X) X(Tellico) X(Goodreads) X(LibraryThing) X(Calibre) X(Csv)

#define SVAZKOVNA_DECLARE_READER(name) std::unique_ptr<ImportReader> Make##name##Reader();
SVAZKOVNA_IMPORT_FORMATS(SVAZKOVNA_DECLARE_READER)

const std::vector<std::unique_ptr<ImportReader>>& ImportReaders() {
    static const std::vector<std::unique_ptr<ImportReader>> readers = [] {
        std::vector<std::unique_ptr<ImportReader>> list;
#define SVAZKOVNA_ADD_READER(name) list.push_back(Make##name##Reader());
        SVAZKOVNA_IMPORT_FORMATS(SVAZKOVNA_ADD_READER)
        return list;
    }();
    return readers;
}
