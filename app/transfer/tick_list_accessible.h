#pragma once
// What a screen reader is told of the preview's rows to decide on: each row is
// a check box saying whether it is ticked, and its toggle (or press) action
// ticks or unticks it as a click on its box does. Qt's own interface for a
// list row only selects the row on toggle, which would leave the tick alone.
class QListWidget;

// Makes `list` report its rows so. Call once, right after the list is made.
void MakeTicksAccessible(QListWidget* list);
// Tells a screen reader that the tick of `list`'s row `row` changed.
void AnnounceTick(QListWidget* list, int row);
