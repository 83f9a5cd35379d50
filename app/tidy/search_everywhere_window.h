#pragma once
// "hledat všude": a search box over every searched field of every book, its
// results listed while the user types. The index is read from the catalogue
// on the first search and then follows the session's change notice; Enter or
// a double click shows the book in the tree and the record panel by its row key.
#include <QWidget>
#include <memory>

#include "catalogue/book_search.h"

class CatalogueSession;
struct RowsChange;
namespace Ui {
class SearchEverywhereWindow;
}

class SearchEverywhereWindow : public QWidget {
    Q_OBJECT
public:
    SearchEverywhereWindow(CatalogueSession& session, QWidget* parent);
    ~SearchEverywhereWindow() override;

    // Lists the books that hold every word typed (throws what the engine throws).
    void Search();
    // Shows the chosen result's book, or the first one when none is chosen.
    void ShowChosen();
    // The index follows the rows a change named; a change it cannot follow,
    // or another catalogue, makes the next search read it anew.
    void Follow(const RowsChange& change);
    void CatalogueChanged();

    Ui::SearchEverywhereWindow& form() const { return *ui_; }
    const BookSearch& Index() const { return index_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SearchLater();

    CatalogueSession& session_;
    std::unique_ptr<Ui::SearchEverywhereWindow> ui_;
    BookSearch index_;
    bool search_pending_ = false;
};
