// The record panel: a click in the tree looks the node up on the web and shows
// a title's record; the two buttons save and delete the shown record.
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include "app/loans/loan_history_notice.h"
#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/platform/rows_change.h"
#include "app/window/main_window.h"
#include "app/window/spin_edit.h"
#include "app/platform/ui_services.h"
#include "app/platform/web_browser.h"
#include "app/window/catalogue_tree.h"
#include "catalogue/row_identity.h"
#include "app/window/tree_node.h"
#include "app/platform/value_lists.h"
#include "ui_main_window.h"

namespace {

// The queries deliver at most this many bytes of a text column.
constexpr std::string::size_type kDeliveredTextBytes = 255;

const char* const kNoRecordShown =
    "Není zobrazen žádný záznam: nejprve klepněte na titul ve stromu.";

QString TextOf(const QComboBox* box) { return box->currentText(); }
QString TextOf(const QLineEdit* edit) { return edit->text(); }

void SetTextOf(QComboBox* box, const QString& text) { box->setEditText(text); }
void SetTextOf(QLineEdit* edit, const QString& text) { edit->setText(text); }

}  // namespace

void TForm1::ForgetShownRecord() {
    record_shown_ = false;
    for (QString& text : cut_texts_) text = QString();
}

void TForm1::RunChange(const std::string& sql) {
    query1.SQL().Clear();
    query1.SQL().Add(sql);
    try {
        query1.ExecSQL();
    } catch (...) {
        query1.SQL().Clear();
        throw;
    }
}

void TForm1::tv1Click() {
    Ui::TForm1& f = *form();
    QTreeWidgetItem* node = tree_->Selected();
    if (node == nullptr) return;

    // Blanks are a prefix too: only an empty text switches the lookup off.
    const QString prefix = f.wb1skriptle->text();
    if (!prefix.isEmpty()) browser().Navigate(prefix + node->text(0));

    QTreeWidgetItem* author = node->parent();
    if (author == nullptr) return;

    const std::optional<std::optional<int64_t>> known = tree_->KnownRow(*node);
    int position = 0;
    std::optional<int64_t> rowKey;
    if (known) {
        // The tree holds the row of every title as the catalogue stands: one read by its key.
        query1.SQL().Clear();
        query1.SQL().Add(*known ? "select * from svazkovna where rowid=" + std::to_string(**known)
                                : std::string("select * from svazkovna where 0"));
        query1.Open();
        rowKey = *known;
    } else {
        // The nodes' stored bytes, not a re-encoding of their shown texts.
        const std::string titleBytes = NodeBytes(*node);
        const std::string condition = "(autor='" + QuoteLiteralBody(NodeBytes(*author)) +
                                      "') and (titul='" + QuoteLiteralBody(titleBytes) + "')";
        query1.SQL().Clear();
        query1.SQL().Add("select * from svazkovna where " + condition);
        query1.Open();

        // Records sharing author and title get one node each, in the order the
        // select returns them; the node's rank among its namesakes picks its row.
        if (query1.RecordCount() >= 2) {
            int earlier = 0;
            for (int i = 0, at = author->indexOfChild(node); i < at; ++i)
                if (NodeBytes(*author->child(i)) == titleBytes) ++earlier;
            if (earlier > 0) position = query1.MoveBy(earlier);
        }
        // The same rows in the same order, by their engine keys: a save or a
        // delete must reach this row even where others share its id.
        if (query1.RecordCount() > 0) {
            const std::vector<int64_t> keys = rowidentity::RowKeys(con1, condition);
            if (position >= 0 && static_cast<size_t>(position) < keys.size()) rowKey = keys[position];
        }
    }
    const bool found = query1.RecordCount() > 0;
    f.idspin->SetValue(query1.Fields(0).AsInteger());
    // Column numbers of the text fields, in fill order, with their save slot.
    struct TextField {
        int column;
        int slot;
        std::function<void(const QString&)> set;
    };
    const TextField fields[] = {
        {1, 0, [&](const QString& t) { SetTextOf(f.autorcb, t); }},
        {2, 1, [&](const QString& t) { SetTextOf(f.titulle, t); }},
        {3, 2, [&](const QString& t) { SetTextOf(f.zanrcb, t); }},
        {4, 3, [&](const QString& t) { SetTextOf(f.vydalcb, t); }},
        {5, 4, [&](const QString& t) { SetTextOf(f.seriele, t); }},
        {6, 5, [&](const QString& t) { SetTextOf(f.umistenicb, t); }},
        {7, 6, [&](const QString& t) { SetTextOf(f.zapujcenokomucb, t); }},
        {8, 7, [&](const QString& t) { SetTextOf(f.zapujcenokdyle, t); }},
    };
    auto fillText = [&](int column, int slot, const std::function<void(const QString&)>& set) {
        const std::string bytes = query1.Fields(column).AsString();
        const QString shown = FromCodePage(bytes);
        set(shown);
        cut_texts_[slot] = bytes.size() == kDeliveredTextBytes ? shown : QString();
    };
    for (const TextField& field : fields) fillText(field.column, field.slot, field.set);
    f.hodnocenispin->SetValue(query1.Fields(9).AsInteger());
    fillText(10, 8, [&](const QString& t) { SetTextOf(f.poznamkale, t); });
    // An empty result fills the panel with empties; it shows no record that a
    // save or a delete could act on.
    record_shown_ = found && rowKey.has_value();
    shown_row_key_ = rowKey.value_or(0);

    // The five lists, each every distinct value of its column.
    ValueLists& lists = session().Lists();
    lists.Fill(ValueLists::Autor, *f.autorcb);
    lists.Fill(ValueLists::Zanr, *f.zanrcb);
    lists.Fill(ValueLists::Umisteni, *f.umistenicb);
    lists.Fill(ValueLists::Zapujcenokomu, *f.zapujcenokomucb);
    lists.Fill(ValueLists::Vydal, *f.vydalcb);
}

void TForm1::ulozitbClick() {
    Ui::TForm1& f = *form();
    if (TextOf(f.autorcb).isEmpty() || TextOf(f.titulle).isEmpty()) return;
    if (!record_shown_) {
        uiServices().InformationBox(ProgramTitle(), QString::fromUtf8(kNoRecordShown));
        return;
    }

    struct SavedText {
        const char* column;
        QString text;
    };
    const SavedText texts[] = {
        {"autor", TextOf(f.autorcb)},
        {"titul", TextOf(f.titulle)},
        {"zanr", TextOf(f.zanrcb)},
        {"vydal", TextOf(f.vydalcb)},
        {"serie", TextOf(f.seriele)},
        {"umisteni", TextOf(f.umistenicb)},
        {"zapujcenokomu", TextOf(f.zapujcenokomucb)},
        {"zapujcenokdy", TextOf(f.zapujcenokdyle)},
        {"poznamka", TextOf(f.poznamkale)},
    };
    static_assert(std::size(texts) == kPanelTexts);
    // Every conversion happens here, before any statement: a character the
    // code page cannot hold stops the save with nothing written.
    std::string sql = "update svazkovna set ";
    int slot = 0;
    for (const SavedText& t : texts) {
        if (slot > 0) sql += ',';
        sql += t.column;
        const QString& cut = cut_texts_[slot];
        if (!cut.isNull() && t.text == cut) {
            // Shown cut and untouched: writing it back would shorten the stored text.
            sql += '=';
            sql += t.column;
        } else {
            sql += "='" + QuoteLiteralBody(ToCodePage(t.text)) + "'";
        }
        ++slot;
    }
    sql += ",hodnoceni=" + std::to_string(f.hodnocenispin->Value()) + " where " +
           rowidentity::KeyCondition(con1, f.idspin->Value(), shown_row_key_);

    if (!beforeCatalogueChange()) return;
    BeforeOwnChange({shown_row_key_});
    // A save that empties or replaces the borrower finishes the loan: it is kept in the book's history.
    SaveKeepingLoanHistory(con1, shown_row_key_, uiServices(), ProgramTitle(), [&] { RunChange(sql); });
    // The stored texts now equal what was typed, except the kept ones, whose
    // shown text did not change; a cut text typed back later is then an edit.
    for (int i = 0; i < kPanelTexts; ++i)
        if (!cut_texts_[i].isNull() && texts[i].text != cut_texts_[i]) cut_texts_[i] = QString();

    // One row changed: the tree follows it in place, as a rebuild would show it.
    AfterOwnChange(RowsChange{.rows = {shown_row_key_}, .changed = 1, .added = {}, .historyLines = 1});
}

void TForm1::smazatbClick() {
    Ui::TForm1& f = *form();
    int64_t changes = 0;
    if (!TextOf(f.autorcb).isEmpty() && !TextOf(f.titulle).isEmpty()) {
        if (record_shown_) {
            // Declined, nothing happened: the panel and the tree stay as they are.
            if (!beforeCatalogueChange()) return;
            const std::string sql =
                "delete from svazkovna where " + rowidentity::KeyCondition(con1, f.idspin->Value(), shown_row_key_);
            BeforeOwnChange({shown_row_key_});
            RunChange(sql);
            changes = 1;
        } else {
            uiServices().InformationBox(ProgramTitle(), QString::fromUtf8(kNoRecordShown));
        }
    }
    if (changes == 0) BeforeOwnChange({});
    vymazokna();
    AfterOwnChange(RowsChange{.rows = changes ? std::vector<int64_t>{shown_row_key_} : std::vector<int64_t>{},
                              .changed = changes,
                              .added = {},
                              .deleted = true});
}

void TForm1::LoansChanged(const std::vector<LoanRow>& rows, const QString& komu, const QString& kdy) {
    // The panel's save slots of the two loan fields (see cut_texts_).
    constexpr int kKomuSlot = 6;
    constexpr int kKdySlot = 7;
    Ui::TForm1& f = *form();
    // The panel's row is the one its save writes to: the row with the shown
    // row's key. Its id may be shared with other rows, NULL, or beyond what
    // the id field holds, so it tells nothing here.
    const std::string shownKey = std::to_string(shown_row_key_);
    for (const LoanRow& row : rows) {
        if (!record_shown_ || row.rowid != shownKey) continue;
        f.zapujcenokomucb->setEditText(komu);
        f.zapujcenokdyle->setText(kdy);
        cut_texts_[kKomuSlot] = QString();
        cut_texts_[kKdySlot] = QString();
        break;
    }
}
