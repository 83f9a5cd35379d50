// Moving through an open result: first, last, by a distance, to a row
// number, a bookmark or the first row whose fields match.
#include <algorithm>

#include "storage/errors.h"
#include "storage/query.h"
#include "storage/query_text.h"
#include "storage/result_store.h"

using querytext::SameText;
using querytext::Trim;

// A move never leaves a pending change behind on the row it leaves: a
// modified row is posted first, an untouched one dropped.
void TASQLite3BaseQuery::CheckBrowseMode() {
    CheckActive();
    if (editState_ == TDataSetState::dsBrowse) return;
    if (modified_)
        Post();
    else
        Cancel();
}

int TASQLite3BaseQuery::RecordCount() const {
    CheckActive();
    return result_->Count();
}

void TASQLite3BaseQuery::First() {
    CheckActive();
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    current_ = result_->Count() > 0 ? 0 : -1;
    bof_ = true;
    eof_ = result_->Count() == 0;
    AfterMove();
}

void TASQLite3BaseQuery::Last() {
    CheckActive();
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    current_ = result_->Count() - 1;
    eof_ = true;
    bof_ = result_->Count() == 0;
    AfterMove();
}

void TASQLite3BaseQuery::Next() { MoveBy(1); }

int TASQLite3BaseQuery::MoveBy(int distance) {
    CheckActive();
    CheckBrowseMode();
    if (distance == 0 || (distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
    if (BeforeScroll) BeforeScroll(*this);
    bof_ = eof_ = false;
    int moved = 0;
    const int count = result_->Count();
    while (distance > 0) {
        if (current_ >= count - 1) {
            eof_ = true;
            break;
        }
        ++current_, ++moved, --distance;
    }
    while (distance < 0) {
        if (current_ <= 0) {
            bof_ = true;
            break;
        }
        --current_, ++moved, ++distance;
    }
    AfterMove();
    return moved;
}

void TASQLite3BaseQuery::AfterMove() {
    if (AfterScroll) AfterScroll(*this);
    RefreshDetails();
}

bool TASQLite3BaseQuery::Bof() const { return bof_; }
bool TASQLite3BaseQuery::Eof() const { return eof_; }

int TASQLite3BaseQuery::RecNo() const {
    CheckActive();
    const int recNo = current_ < 0 ? (result_->Count() > 0 ? 1 : 0) : current_ + 1;
    RefreshDetails();
    return recNo;
}

void TASQLite3BaseQuery::SetRecNo(int value) {
    CheckActive();
    CheckBrowseMode();
    if (value < 0 || value > result_->Count() + 1) return;
    current_ = value - 1;
    bof_ = eof_ = false;
    AfterMove();
}

int32_t TASQLite3BaseQuery::GetBookmark() const {
    CheckActive();
    return result_->GetBookmark(current_);
}

void TASQLite3BaseQuery::GotoBookmark(int32_t bookmark) {
    CheckActive();
    CheckBrowseMode();
    const int index = result_->IndexOfBookmark(bookmark);
    if (index < 0) throw EDatabaseError("Bookmark not found");
    current_ = index;
    bof_ = eof_ = false;
    AfterMove();
}

bool TASQLite3BaseQuery::Locate(const std::string& keyFields, const std::vector<std::string>& values,
                                std::initializer_list<TLocateOption> options) {
    CheckActive();
    CheckBrowseMode();
    const bool noCase = std::find(options.begin(), options.end(), TLocateOption::loCaseInsensitive) != options.end();
    const bool partial = std::find(options.begin(), options.end(), TLocateOption::loPartialKey) != options.end();
    std::vector<TField*> keys;
    for (size_t start = 0; start <= keyFields.size();) {
        size_t end = keyFields.find(';', start);
        if (end == std::string::npos) end = keyFields.size();
        keys.push_back(&FieldByName(std::string(Trim(std::string_view(keyFields).substr(start, end - start)))));
        start = end + 1;
    }
    if (keys.size() != values.size()) throw EDatabaseError("Locate: number of fields and values differ");
    const int saved = current_;
    for (current_ = 0; current_ < result_->Count(); ++current_) {
        bool all = true;
        for (size_t k = 0; k < keys.size() && all; ++k) {
            std::string have = keys[k]->AsString();
            const std::string& want = values[k];
            if (partial && have.size() > want.size()) have.resize(want.size());
            all = noCase ? SameText(have, want) : have == want;
        }
        if (all) {
            bof_ = eof_ = false;
            AfterMove();
            return true;
        }
    }
    current_ = saved;
    return false;
}
