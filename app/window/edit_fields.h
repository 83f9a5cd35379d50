#pragma once
// What every field of a window needs beyond its layout: the name its label
// gives it, for screen readers (a drop-down would otherwise be announced by
// its current text), and no length limit of the toolkit's own (a field would
// otherwise stop at 32,767 characters, and a pasted long note be cut silently).
class QComboBox;
class QWidget;

// Names each field after the label that is its buddy, and lifts the length
// limit of every edit field inside `window` (drop-downs' edits included).
void PrepareEditFields(QWidget& window);

// Empties a drop-down's list but keeps the text typed in its edit field
// (QComboBox::clear() would empty both).
void ClearComboItems(QComboBox& box);
