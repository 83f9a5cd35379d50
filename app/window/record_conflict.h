#pragma once
// The one question asked when the record panel's save or delete finds its row
// changed meanwhile by another program (another copy of this one, say): what
// changed, from what the panel showed to what is stored now, and the choices.
#include <QString>
#include <vector>

#include "catalogue/row_guard.h"

class UiServices;

// The record panel's fields: its texts in the order its save writes them,
// then the rating; and the column each one writes.
inline constexpr int kPanelFields = 10;
rowguard::Column FieldColumn(int field);
std::vector<rowguard::Column> FieldColumns(const std::vector<int>& fields);

enum class MeanwhileAnswer {
    None,       // the box was closed: nothing happens
    Keep,       // keep the other change: write only the user's edits over the row as it is now
    Overwrite,  // write (or delete) anyway, by the row's key
    ShowAnew,   // drop the panel's edits and show the stored row
};

// The question's text. `edited` are the columns the user changed in the panel;
// a save lists those the other program changed too, whose value it keeps.
QString ChangedMeanwhileText(const rowguard::StoredRow& shown, const rowguard::StoredRow& now,
                             const std::vector<rowguard::Column>& edited, bool deleting);

// Asks it. A delete offers no "keep": not deleting is showing the row anew.
MeanwhileAnswer AskChangedMeanwhile(UiServices& ui, const QString& caption, const rowguard::StoredRow& shown,
                                    const rowguard::StoredRow& now, const std::vector<rowguard::Column>& edited,
                                    bool deleting);
