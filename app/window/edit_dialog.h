#pragma once
// The new-record dialog: the only way to add a book.
#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/new_record.h"
#include "storage/query.h"

namespace Ui {
class Teditf;
}
class TForm1;
class UiServices;

class Teditf : public QDialog {
    Q_OBJECT
public:
    Teditf(TForm1& form, UiServices& ui, QWidget* parent = nullptr);
    ~Teditf() override;

    // The dialog's own query, on the main window's connection.
    TASQLite3Query editquery{"editquery"};

    Ui::Teditf* form() const { return ui_.get(); }

    // Handlers; they throw, the connections run them guarded.
    void FormActivate();
    void ulozitbClick();
    void stornobClick();
    // Returns false when closing is called off (the rebuild failed).
    bool FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    // Sets idspin from the catalogue's highest id + 1 (1 on an empty table).
    void TakeNextId();

    TForm1& main_;
    UiServices& ui_services_;
    std::unique_ptr<Ui::Teditf> ui_;
    // Whether idspin holds an id taken in this showing.
    bool id_taken_ = false;
    // The book as the fields give it, in the code page.
    using Book = NewBook;
    Book TypedBook() const;
    // What this showing stored; none before the store.
    std::optional<Book> stored_;
    // Writes edits made after the store (while a failed close kept the dialog) over the stored row.
    void KeepLaterEdits(const Book& book);
};

extern Teditf* editf;
