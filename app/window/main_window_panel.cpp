// The record panel: a click in the tree looks the node up on the web and shows
// a title's record; the two buttons save and delete the shown record.
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <algorithm>
#include <functional>
#include <iterator>
#include <numeric>
#include <optional>
#include <string>

#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/platform/rows_change.h"
#include "app/window/main_window.h"
#include "app/window/spin_edit.h"
#include "app/platform/ui_services.h"
#include "app/platform/web_browser.h"
#include "app/window/catalogue_tree.h"
#include "app/window/record_conflict.h"
#include "catalogue/loans_store.h"
#include "catalogue/row_identity.h"
#include "app/window/tree_node.h"
#include "app/platform/value_lists.h"
#include "ui_main_window.h"

namespace {

// The queries deliver at most this many bytes of a text column.
constexpr std::string::size_type kDeliveredTextBytes = 255;

const char* const kNoRecordShown = "Není zobrazen žádný záznam: nejprve klepněte na titul ve stromu.";
const char* const kDeletedMeanwhile = "Knihu mezitím smazal jiný program, není co mazat.";

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

    ShowRecord(TitleRow(*node));
}

void TForm1::ShowRecord(std::optional<int64_t> rowKey) {
    Ui::TForm1& f = *form();
    // Read before the panel's own read: a change between them then makes the
    // next save ask rather than overwrite it.
    shown_stored_ = rowKey ? rowguard::ReadStoredRow(con1, *rowKey) : std::nullopt;
    query1.SQL().Clear();
    query1.SQL().Add(rowKey ? "select * from svazkovna where rowid=" + std::to_string(*rowKey)
                            : std::string("select * from svazkovna where 0"));
    query1.Open();
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
    record_shown_ = found && shown_stored_;
    shown_row_key_ = rowKey.value_or(0);

    // The five lists, each every distinct value of its column.
    ValueLists& lists = session().Lists();
    lists.Fill(ValueLists::Autor, *f.autorcb);
    lists.Fill(ValueLists::Zanr, *f.zanrcb);
    lists.Fill(ValueLists::Umisteni, *f.umistenicb);
    lists.Fill(ValueLists::Zapujcenokomu, *f.zapujcenokomucb);
    lists.Fill(ValueLists::Vydal, *f.vydalcb);
    // What the user then sees; a save compares the panel with it.
    const TypedRecord shown = Typed(false);
    std::copy(std::begin(shown.texts), std::end(shown.texts), std::begin(shown_texts_));
    shown_rating_ = shown.rating;
}

std::optional<int64_t> TForm1::TitleRow(QTreeWidgetItem& node) {
    // The tree holds the row of every title as the catalogue stands.
    if (const std::optional<std::optional<int64_t>> known = tree_->KnownRow(node)) return *known;
    QTreeWidgetItem* author = node.parent();
    if (!author) return std::nullopt;
    // Records sharing author and title get one node each, in the order the
    // select returns them; the node's rank among its namesakes picks its row
    // (the last one when the catalogue holds fewer now). By the engine's key:
    // a save or a delete must reach this row even where others share its id.
    const std::string titleBytes = NodeBytes(node);
    const std::vector<int64_t> keys =
        rowidentity::RowKeys(con1, "(autor='" + QuoteLiteralBody(NodeBytes(*author)) + "') and (titul='" +
                                       QuoteLiteralBody(titleBytes) + "')");
    if (keys.empty()) return std::nullopt;
    size_t earlier = 0;
    for (int i = 0, at = author->indexOfChild(&node); i < at; ++i)
        if (NodeBytes(*author->child(i)) == titleBytes) ++earlier;
    return keys[std::min(earlier, keys.size() - 1)];
}

void TForm1::ulozitbClick() {
    Ui::TForm1& f = *form();
    if (TextOf(f.autorcb).isEmpty() || TextOf(f.titulle).isEmpty()) return;
    if (!record_shown_ || !shown_stored_) {
        uiServices().InformationBox(ProgramTitle(), QString::fromUtf8(kNoRecordShown));
        return;
    }
    // Every conversion happens here, before any statement: a character the
    // code page cannot hold stops the save with nothing written.
    const TypedRecord typed = Typed(true);
    std::vector<int> all(kPanelTexts + 1);
    std::iota(all.begin(), all.end(), 0);
    std::string assignments = Assignments(typed, all);
    // Written only while the row holds what the panel showed; else the user chooses.
    std::optional<rowguard::StoredRow> guard = shown_stored_;
    bool showAfter = false;
    for (;;) {
        const std::string key = ShownKeyCondition();
        const ShownRowChange run = RunShownRowChange(guard ? rowguard::GuardedUpdateSql(assignments, key, *guard)
                                                           : "update svazkovna set " + assignments + " where " + key,
                                                     false);
        if (run == ShownRowChange::Declined) return;
        if (run == ShownRowChange::Done) break;
        const std::optional<rowguard::StoredRow> now = rowguard::ReadStoredRow(con1, shown_row_key_);
        if (!now) {
            OfferToStoreAnew(typed);
            return;
        }
        const std::vector<int> edited = EditedFields(typed);
        switch (AskChangedMeanwhile(uiServices(), ProgramTitle(), *shown_stored_, *now, FieldColumns(edited), false)) {
        case MeanwhileAnswer::None: return;
        case MeanwhileAnswer::ShowAnew: ShowStoredAnew(); return;
        case MeanwhileAnswer::Overwrite: guard.reset(); continue;
        case MeanwhileAnswer::Keep: break;
        }
        // Only the user's own edits, and of those none the other program changed too.
        const std::vector<rowguard::Column> meanwhile = rowguard::ChangedColumns(*shown_stored_, *now);
        std::vector<int> mine;
        for (int field : edited)
            if (std::find(meanwhile.begin(), meanwhile.end(), FieldColumn(field)) == meanwhile.end())
                mine.push_back(field);
        if (mine.empty()) {
            ShowStoredAnew();
            return;
        }
        assignments = Assignments(typed, mine);
        guard = now;
        showAfter = true;
    }
    if (showAfter) {
        ShowStoredAnew();
        return;
    }
    // The stored texts now equal what was typed, except the kept ones, whose
    // shown text did not change; a cut text typed back later is then an edit.
    for (int i = 0; i < kPanelTexts; ++i) {
        if (!cut_texts_[i].isNull() && typed.texts[i] != cut_texts_[i]) cut_texts_[i] = QString();
        shown_texts_[i] = typed.texts[i];
    }
    shown_rating_ = typed.rating;
}

void TForm1::smazatbClick() {
    Ui::TForm1& f = *form();
    if (!TextOf(f.autorcb).isEmpty() && !TextOf(f.titulle).isEmpty()) {
        if (record_shown_ && shown_stored_) {
            // Declined, nothing happened: the panel and the tree stay as they
            // are. Done, the panel follows the notice and is emptied.
            std::optional<rowguard::StoredRow> guard = shown_stored_;
            for (;;) {
                const std::string key = ShownKeyCondition();
                if (RunShownRowChange(
                        guard ? rowguard::GuardedDeleteSql(key, *guard) : "delete from svazkovna where " + key, true) !=
                    ShownRowChange::NothingWritten)
                    return;
                const std::optional<rowguard::StoredRow> now = rowguard::ReadStoredRow(con1, shown_row_key_);
                if (!now) {
                    uiServices().InformationBox(ProgramTitle(), QString::fromUtf8(kDeletedMeanwhile));
                    vymazokna();
                    RefreshTree();
                    return;
                }
                switch (AskChangedMeanwhile(uiServices(), ProgramTitle(), *shown_stored_, *now, {}, true)) {
                case MeanwhileAnswer::None: return;
                case MeanwhileAnswer::Overwrite: guard.reset(); continue;
                case MeanwhileAnswer::Keep:
                case MeanwhileAnswer::ShowAnew: ShowStoredAnew(); return;
                }
            }
        }
        uiServices().InformationBox(ProgramTitle(), QString::fromUtf8(kNoRecordShown));
    }
    // Nothing was deleted: the panel is emptied and the tree looks as after a rebuild.
    BeforeOwnChange({});
    vymazokna();
    RowsChange nothing;
    nothing.deleted = true;
    AfterOwnChange(nothing);
}

void TForm1::PanelFollows(const RowsChange& change) {
    if (!record_shown_ || panel_saving_ || change.changed == 0 ||
        std::find(change.rows.begin(), change.rows.end(), shown_row_key_) == change.rows.end())
        return;
    if (change.deleted) {
        vymazokna();
        return;
    }
    // The panel's save slots of the two loan fields (see cut_texts_).
    constexpr int kKomuSlot = 6;
    constexpr int kKdySlot = 7;
    // The row with the shown row's key is the one the panel's save writes to.
    const std::optional<LoanRow> row = ReadLoanRow(con1, shown_row_key_);
    if (!row) return;
    Ui::TForm1& f = *form();
    const QString komu = FromCodePage(row->komu);
    const QString kdy = FromCodePage(row->kdy);
    f.zapujcenokomucb->setEditText(komu);
    f.zapujcenokdyle->setText(kdy);
    cut_texts_[kKomuSlot] = row->komu.size() == kDeliveredTextBytes ? komu : QString();
    cut_texts_[kKdySlot] = row->kdy.size() == kDeliveredTextBytes ? kdy : QString();
    shown_texts_[kKomuSlot] = komu;
    shown_texts_[kKdySlot] = kdy;
    // Our own change of the loan fields is no change made elsewhere; any other
    // field the row holds now is still to be asked about at the next save.
    if (const std::optional<rowguard::StoredRow> now = rowguard::ReadStoredRow(con1, shown_row_key_);
        now && shown_stored_) {
        (*shown_stored_)[rowguard::Komu] = (*now)[rowguard::Komu];
        (*shown_stored_)[rowguard::Kdy] = (*now)[rowguard::Kdy];
    }
}
