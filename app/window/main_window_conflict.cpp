// The record panel's save and delete when the shown row changed meanwhile
// elsewhere: the guarded statement run through the session, the row shown
// anew, a book deleted elsewhere stored anew.
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

#include "app/core/codepage.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/platform/rows_change.h"
#include "app/platform/ui_services.h"
#include "app/window/main_window.h"
#include "app/window/record_conflict.h"
#include "app/window/spin_edit.h"
#include "catalogue/in_transaction.h"
#include "catalogue/new_record.h"
#include "catalogue/row_identity.h"
#include "ui_main_window.h"

namespace {

const char* const kGoneMeanwhile =
    "Knihu mezitím smazal jiný program, změny proto nebyly uloženy.\n\nUložit zobrazené údaje jako novou knihu?";

// A change that wrote nothing: it ends the session's change without its notice.
struct NothingWritten {};

}  // namespace

TForm1::TypedRecord TForm1::Typed(bool convert) const {
    const Ui::TForm1& f = *form();
    TypedRecord typed{{f.autorcb->currentText(), f.titulle->text(), f.zanrcb->currentText(), f.vydalcb->currentText(),
                       f.seriele->text(), f.umistenicb->currentText(), f.zapujcenokomucb->currentText(),
                       f.zapujcenokdyle->text(), f.poznamkale->text()},
                      {},
                      f.hodnocenispin->Value()};
    if (!convert) return typed;
    for (int i = 0; i < kPanelTexts; ++i) {
        const bool keptWhole = !cut_texts_[i].isNull() && typed.texts[i] == cut_texts_[i] && shown_stored_;
        typed.bytes[i] = keptWhole ? (*shown_stored_)[FieldColumn(i)].text : ToCodePage(typed.texts[i]);
    }
    return typed;
}

std::vector<int> TForm1::EditedFields(const TypedRecord& typed) const {
    std::vector<int> edited;
    for (int i = 0; i < kPanelTexts; ++i)
        if (typed.texts[i] != shown_texts_[i]) edited.push_back(i);
    if (typed.rating != shown_rating_) edited.push_back(kPanelTexts);
    return edited;
}

std::string TForm1::Assignments(const TypedRecord& typed, const std::vector<int>& fields) const {
    std::string sql;
    for (int field : fields) {
        if (!sql.empty()) sql += ',';
        const std::string column = rowguard::ColumnName(FieldColumn(field));
        if (field == kPanelTexts) {
            sql += column + "=" + std::to_string(typed.rating);
        } else if (!cut_texts_[field].isNull() && typed.texts[field] == cut_texts_[field]) {
            // Shown cut and untouched: writing it back would shorten the stored text.
            sql += column + "=" + column;
        } else {
            sql += column + "='" + QuoteLiteralBody(typed.bytes[field]) + "'";
        }
    }
    return sql;
}

std::string TForm1::ShownKeyCondition() {
    return rowidentity::KeyCondition(con1, form()->idspin->Value(), shown_row_key_);
}

TForm1::ShownRowChange TForm1::RunShownRowChange(const std::string& sql, bool deleting) {
    std::optional<rowguard::StoredRow> written;
    // A save that empties or replaces the borrower finishes the loan: the
    // session's participants keep it in the same transaction.
    panel_saving_ = !deleting;
    try {
        const bool done = session().Change(
            {shown_row_key_},
            [&] {
                RunChange(sql);
                if (con1.RowsAffected() == 0) throw NothingWritten{};
                RowsChange change;
                change.changed = 1;
                if (deleting) {
                    change.deleted = true;
                } else {
                    // One row changed: the tree follows it in place, as a rebuild would show it.
                    change.historyLines = 1;
                    // Read in the save's transaction: what this copy wrote, nobody else.
                    written = rowguard::ReadStoredRow(con1, shown_row_key_);
                }
                return change;
            },
            deleting ? CatalogueSession::Edit::Fields : CatalogueSession::Edit::Record);
        panel_saving_ = false;
        if (!done) return ShownRowChange::Declined;
    } catch (const NothingWritten&) {
        panel_saving_ = false;
        // Not to be run again behind the user's back, as a failed change.
        query1.SQL().Clear();
        return ShownRowChange::NothingWritten;
    } catch (...) {
        panel_saving_ = false;
        throw;
    }
    if (written) shown_stored_ = written;
    return ShownRowChange::Done;
}

void TForm1::ShowStoredAnew() {
    const int64_t key = shown_row_key_;
    RefreshTree();
    ShowRecord(key);
}

void TForm1::OfferToStoreAnew(const TypedRecord& typed) {
    if (!uiServices().Question(ProgramTitle(), QString::fromUtf8(kGoneMeanwhile))) {
        vymazokna();
        RefreshTree();
        return;
    }
    NewBook book;
    book.autor = typed.bytes[0];
    book.titul = typed.bytes[1];
    book.zanr = typed.bytes[2];
    book.vydal = typed.bytes[3];
    book.serie = typed.bytes[4];
    book.umisteni = typed.bytes[5];
    book.poznamka = typed.bytes[8];
    book.hodnoceni = typed.rating;
    const std::string& komu = typed.bytes[6];
    const std::string& kdy = typed.bytes[7];
    int64_t added = 0;
    const bool done = session().Change({}, [&] {
        // As the new-record dialog stores a book, with the loan the panel showed.
        InTransaction(con1, [&] {
            RunChange(NewBookSql(NextBookId(con1), book));
            added = con1.Api().last_insert_rowid(con1.Handle());
            if (!komu.empty() || !kdy.empty())
                RunChange("update svazkovna set zapujcenokomu='" + QuoteLiteralBody(komu) + "',zapujcenokdy='" +
                          QuoteLiteralBody(kdy) + "' where rowid=" + std::to_string(added));
        });
        RowsChange change;
        change.changed = 1;
        change.added = {added};
        return change;
    });
    if (done) ShowRecord(added);
}
