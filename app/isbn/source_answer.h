#pragma once
// What one source answered for one ISBN.
#include <QString>
#include <vector>

#include "app/isbn/found_record.h"

struct SourceAnswer {
    enum class Kind {
        Found,
        NotFound,
        NetworkError,  // no connection, refused, timed out
        BadAnswer,     // a server error, malformed MARC or JSON
    };
    Kind kind = Kind::NotFound;
    std::vector<FoundRecord> records;
    QString note;           // Czech, for the queue
    QString details;        // the server's own words, when it gave any
    bool timedOut = false;  // the server did not answer in time: it rests a while
};
