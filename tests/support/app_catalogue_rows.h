#pragma once
// The catalogue table read and written with the system's SQLite library, value
// by value as stored: NULL, integer or text bytes. Independent of the
// program's own storage layer, so the tests see what is really in the file.
#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "support/sql_rows.h"

struct sqlite3;

namespace testsupport {

using Row = std::array<Value, 14>;

std::string Describe(const Value& v);
std::string Describe(const Row& row);

// Every row in storage order; throws std::runtime_error with the engine's message.
std::vector<Row> ReadAllRows(const std::string& path);
// Creates the table as the program's template holds it and appends `rows`.
void WriteCatalogue(const std::string& path, const std::vector<Row>& rows);
// "ok" for a sound file, else the engine's report or its error message.
std::string IntegrityCheck(const std::string& path);

// Another program holding the catalogue's write lock while this object lives.
class WriteLock {
public:
    explicit WriteLock(const std::string& path);
    ~WriteLock();
    // Lets go of the lock before the end of the scope.
    void Release();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    ::sqlite3* db_ = nullptr;
};

}  // namespace testsupport
