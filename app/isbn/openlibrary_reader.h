#pragma once
// The Open Library books API's answer ("/api/books?bibkeys=ISBN:…&format=json&jscmd=data")
// to catalogue fields.
#include <QByteArray>
#include <optional>
#include <vector>

#include "app/isbn/found_record.h"

// Every book of the answer (an object keyed by bibkey); an empty object is
// "not found". Nothing when the answer is not such JSON.
std::optional<std::vector<FoundRecord>> ReadOpenLibrary(const QByteArray& json);
