#pragma once
// MARC 21 records to catalogue fields. YAZ decodes the ISO 2709 transfer
// form (and the MARC-8 character set) into MARCXML; this file only picks the
// fields the catalogue uses out of MARCXML.
#include <QByteArray>
#include <optional>
#include <string_view>
#include <vector>

#include "app/isbn/found_record.h"

// One ISO 2709 record as MARCXML in UTF-8. The leader says the character
// set (position 9: 'a' UTF-8, otherwise MARC-8). Nothing for a record YAZ
// cannot decode.
std::optional<QByteArray> MarcToXml(std::string_view iso2709);

// Every <record> in MARCXML (a single record or a collection, with or
// without the MARC 21 namespace). Nothing when the XML is malformed; a
// record without title is skipped.
std::optional<std::vector<FoundRecord>> ReadMarcXml(const QByteArray& xml);
