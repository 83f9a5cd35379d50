#pragma once
// One ISBN looked up in a Z39.50 or SRU server through YAZ's ZOOM API. It
// blocks until the answer or the timeout: run it in a worker thread.
#include <QString>

#include "app/isbn/isbn_sources.h"
#include "app/isbn/source_answer.h"

// At most this many records of one answer are read.
inline constexpr int kMaxRecordsPerAnswer = 5;

// `isbn13` in the stored form; an ISBN-13 starting 978 is also searched as its ISBN-10.
SourceAnswer ZoomSearch(const IsbnSource& source, const QString& isbn13, int timeoutMs);
