#pragma once
// Opens the ISBN window under test on `db`, with `sources` written to the settings.
#include <QString>
#include <QUrl>
#include <functional>
#include <string>
#include <utility>

#include "app/core/profile_file.h"
#include "app/isbn/isbn_window.h"

namespace isbntest {

inline IsbnWindow* OpenIsbnWindow(TASQLite3DB& db, UiServices& ui, ValueLists& lists, const QString& settings,
                                  const std::string& sources, RowsWriter change,
                                  std::function<void(const QUrl&)> showPage = {}) {
    ProfileFile(settings).WriteString("nastaveni", "zdrojeisbn", sources);
    IsbnWindowContext c;
    c.db = &db;
    c.ui = &ui;
    c.lists = &lists;
    c.settingsPath = settings;
    c.change = std::move(change);
    c.showPage = std::move(showPage);
    auto* w = new IsbnWindow(c);
    w->show();
    return w;
}

}  // namespace isbntest
