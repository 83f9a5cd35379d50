// The import's generic CSV reader on arbitrary bytes (see fuzz_import.h).
#include "fuzz/app/fuzz_import.h"

SVAZKOVNA_FUZZ_READER(Csv)
