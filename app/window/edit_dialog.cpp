// The new-record dialog: the only way to add a book.
#include "app/window/edit_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/window/edit_fields.h"
#include "app/platform/error_box.h"
#include "app/platform/rows_change.h"
#include "app/window/main_window.h"
#include "app/window/spin_edit.h"
#include "app/platform/value_lists.h"
#include "storage/engine_api.h"
#include "app/platform/ui_services.h"
#include "catalogue/row_identity.h"
#include "ui_edit_dialog.h"

Teditf* editf = nullptr;

namespace {

void EmptyList(QComboBox* list) {
    list->clear();
    list->clearEditText();
}

}  // namespace

Teditf::Teditf(TForm1& form, UiServices& ui, QWidget* parent)
    : QDialog(parent), main_(form), ui_services_(ui), ui_(std::make_unique<Ui::Teditf>()) {
    ui_->setupUi(this);
    PrepareEditFields(*this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(475, 219);
    setSizeGripEnabled(false);

    ui_->hodnocenispin->SetMinValue(1);
    ui_->hodnocenispin->SetMaxValue(5);
    ui_->hodnocenispin->SetValue(3);
    // Both limits 0: no range, the id is held exactly as set.
    ui_->idspin->SetMinValue(0);
    ui_->idspin->SetMaxValue(0);
    ui_->idspin->SetValue(0);

    for (QComboBox* list : {ui_->autorcb, ui_->zanrcb, ui_->vydalcb, ui_->umistenicb}) {
        // The lists are fixed in size; measuring thousands of entries for a size hint buys nothing.
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setInsertPolicy(QComboBox::NoInsert);
        // Texts are kept as typed: leaving the field must not swap in an entry
        // that differs only in case (the completer's case rules decide).
        if (list->completer()) list->completer()->setCaseSensitivity(Qt::CaseSensitive);
    }

    editquery.SetConnection(&main_.con1);
    editquery.SetAutoCommit(false);
    editquery.SetRawSQL(false);
    editquery.SetReadOnly(false);
    editquery.SetSQLCursor(true);
    editquery.SetSQLiteDateFormat(true);
    editquery.SetTypeLess(false);
    editquery.SetMaxResults(0);
    editquery.SetStartResult(0);

    connect(ui_->ulozitb, &QPushButton::clicked, this,
            [this] { RunGuarded(ui_services_, [this] { ulozitbClick(); }); });
    connect(ui_->stornob, &QPushButton::clicked, this,
            [this] { RunGuarded(ui_services_, [this] { stornobClick(); }); });
}

Teditf::~Teditf() = default;

void Teditf::TakeNextId() {
    id_taken_ = false;
    ui_->idspin->SetValue(NextBookId(main_.con1));
    id_taken_ = true;
}

void Teditf::FormActivate() {
    stored_.reset();
    // The lists keep their items until refilled: the same items need no refill.
    QComboBox* const lists[] = {ui_->autorcb, ui_->zanrcb, ui_->umistenicb, ui_->vydalcb};
    for (QComboBox* list : lists) {
        list->setCurrentIndex(-1);
        list->clearEditText();
    }
    ui_->titulle->clear();
    ui_->seriele->clear();
    ui_->poznamkale->clear();
    ui_->hodnocenispin->SetValue(3);

    // Every distinct value of the column, in the engine's order; a NULL gives an empty entry.
    const ValueLists::Column columns[] = {ValueLists::Autor, ValueLists::Zanr, ValueLists::Umisteni, ValueLists::Vydal};
    size_t filled = 0;
    try {
        TakeNextId();
        for (; filled < std::size(lists); ++filled) main_.session().Lists().FillEmpty(columns[filled], *lists[filled]);
    } catch (...) {
        // What failed left its list and those after it empty.
        for (; filled < std::size(lists); ++filled) EmptyList(lists[filled]);
        throw;
    }

    ui_->autorcb->setFocus(Qt::OtherFocusReason);
}

Teditf::Book Teditf::TypedBook() const {
    // Every text is converted before anything runs, so a refused character stores nothing.
    Book b;
    b.autor = ToCodePage(ui_->autorcb->currentText());
    b.titul = ToCodePage(ui_->titulle->text());
    b.zanr = ToCodePage(ui_->zanrcb->currentText());
    b.vydal = ToCodePage(ui_->vydalcb->currentText());
    b.serie = ToCodePage(ui_->seriele->text());
    b.umisteni = ToCodePage(ui_->umistenicb->currentText());
    b.poznamka = ToCodePage(ui_->poznamkale->text());
    b.hodnoceni = ui_->hodnocenispin->Value();
    return b;
}

void Teditf::ulozitbClick() {
    // Once this showing has stored its book, "uložit" does not store it a second
    // time when an earlier close was called off; what was edited since is kept.
    if (stored_) {
        const Book book = TypedBook();
        if (book != *stored_) KeepLaterEdits(book);
    } else if (!ui_->autorcb->currentText().isEmpty() && !ui_->titulle->text().isEmpty()) {
        const Book b = TypedBook();

        // Without an id from this showing the previous showing's id would be stored again,
        // so it is taken now.
        if (!id_taken_) TakeNextId();

        const std::string sql = NewBookSql(ui_->idspin->Value(), b);
        // The tree and the lists take the new row in place. A failure there is
        // left to the rebuild when the dialog closes, which reports it.
        try {
            const bool done = main_.session().Change({}, [&] {
                editquery.SQL().Clear();
                editquery.SQL().Add(sql);
                editquery.ExecSQL();
                stored_ = b;
                const TASQLite3DB& db = main_.con1;
                RowsChange change;
                change.changed = 1;
                change.added = {db.Api().last_insert_rowid(db.Handle())};
                return change;
            });
            // Declined, the dialog stays open with everything entered.
            if (!done) return;
        } catch (...) {
            if (!stored_) throw;
        }

        // The book is stored: a failing refresh is reported, but the dialog still closes.
        // query1 holds no text after a failed change of the main window, which must not
        // run again behind the user's back.
        if (main_.query1.SQL().Count() > 0) RunGuarded(ui_services_, [this] { main_.query1.Open(); });
    }
    reject();
}

void Teditf::KeepLaterEdits(const Book& b) {
    if (b.autor.empty() || b.titul.empty())
        throw std::runtime_error(
            "Kniha už je uložena; autor a titul nesmí zůstat prázdné, změny proto nebyly uloženy.");
    // The stored row is the one with this showing's id and what was stored;
    // identical copies are as good as one another.
    const Book& s = *stored_;
    const int32_t id = ui_->idspin->Value();
    const std::vector<int64_t> keys = rowidentity::RowKeys(
        main_.con1, "(id=" + std::to_string(id) + ") and (autor='" + QuoteLiteralBody(s.autor) + "') and (titul='" +
                        QuoteLiteralBody(s.titul) + "') and (zanr='" + QuoteLiteralBody(s.zanr) + "') and (vydal='" +
                        QuoteLiteralBody(s.vydal) + "') and (serie='" + QuoteLiteralBody(s.serie) +
                        "') and (umisteni='" + QuoteLiteralBody(s.umisteni) + "') and (poznamka='" +
                        QuoteLiteralBody(s.poznamka) + "') and (hodnoceni=" + std::to_string(s.hodnoceni) + ")");
    if (keys.empty())
        throw std::runtime_error(
            "Kniha byla uložena, ale v katalogu už není, jak byla uložena; pozdější změny "
            "proto nebyly uloženy.");
    const std::string sql = "update svazkovna set autor='" + QuoteLiteralBody(b.autor) + "',titul='" +
                            QuoteLiteralBody(b.titul) + "',zanr='" + QuoteLiteralBody(b.zanr) + "',vydal='" +
                            QuoteLiteralBody(b.vydal) + "',serie='" + QuoteLiteralBody(b.serie) + "',umisteni='" +
                            QuoteLiteralBody(b.umisteni) + "',poznamka='" + QuoteLiteralBody(b.poznamka) +
                            "',hodnoceni=" + std::to_string(b.hodnoceni) + " where " +
                            rowidentity::KeyCondition(main_.con1, id, keys.back());
    main_.session().Change({keys.back()}, [&] {
        editquery.SQL().Clear();
        editquery.SQL().Add(sql);
        editquery.ExecSQL();
        stored_ = b;
        RowsChange change;
        change.changed = 1;
        return change;
    });
}

void Teditf::stornobClick() { reject(); }

bool Teditf::FormClose() {
    return RunGuarded(ui_services_, [this] { main_.RefreshTree(); });
}

void Teditf::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
    RunGuarded(ui_services_, [this] { FormActivate(); });
}

// The close box, the system menu and the window manager end here; QDialog turns
// them into reject(), which ends in done().
void Teditf::closeEvent(QCloseEvent* event) { QDialog::closeEvent(event); }

void Teditf::keyPressEvent(QKeyEvent* event) {
    // Neither button is a default or cancel button: Enter and Esc do nothing.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter: event->accept(); return;
    default: QDialog::keyPressEvent(event);
    }
}

// Every way of closing passes here: the tree is rebuilt, and a failed rebuild keeps
// the dialog shown so that closing again retries it.
void Teditf::done(int result) {
    if (!FormClose()) return;
    QDialog::done(result);
}
