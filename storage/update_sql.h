#pragma once
// Statements for posting edited, new and deleted rows of a query, each list
// read as a macro ("update <table> * where <condition>", ...).
#include <string>

#include "storage/component.h"
#include "storage/query.h"

class TASQLite3UpdateSQL : public TComponent {
public:
    using TComponent::TComponent;
    ~TASQLite3UpdateSQL() override;

    TStringList InsertSQL;
    TStringList UpdateSQL;
    TStringList DeleteSQL;
};
