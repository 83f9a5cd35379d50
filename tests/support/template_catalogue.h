#pragma once
// A fresh empty catalogue (the program's template) in a temporary folder, with
// a connection open on it.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/template_db.h"
#include "storage/connection.h"
#include "support/temp_dir.h"

namespace testsupport {

class TemplateCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("k.db");
        ASSERT_TRUE(WriteTemplateCatalogue(path));
        con.SetDatabase(path);
        con.SetConnected(true);
    }
    TempDir dir;
    std::string path;
    TASQLite3DB con;
};

}  // namespace testsupport
