// Master/detail: a detail query re-reads its rows whenever its master moves,
// filtered by the master's current field values.
#include <algorithm>

#include "storage/errors.h"
#include "storage/query.h"
#include "storage/query_text.h"

using querytext::Trim;

namespace {

void Unlist(std::vector<TASQLite3BaseQuery*>& list, TASQLite3BaseQuery* query) {
    list.erase(std::remove(list.begin(), list.end(), query), list.end());
}

}  // namespace

// The master knows every detail linked to it, opened or not, so that either
// side going away leaves no pointer to it behind.
void TASQLite3BaseQuery::SetMasterSource(TASQLite3BaseQuery* master) {
    for (TASQLite3BaseQuery* q = master; q; q = q->masterSource_)
        if (q == this) throw EDatabaseError("circular references are not allowed");
    if (master == masterSource_) return;
    if (masterSource_) {
        Unlist(masterSource_->details_, this);
        Unlist(masterSource_->linkedDetails_, this);
    }
    masterSource_ = master;
    if (masterSource_) masterSource_->linkedDetails_.push_back(this);
}

void TASQLite3BaseQuery::DetachMasterDetail() {
    if (masterSource_) {
        Unlist(masterSource_->details_, this);
        Unlist(masterSource_->linkedDetails_, this);
        masterSource_ = nullptr;
    }
    for (TASQLite3BaseQuery* detail : linkedDetails_) detail->masterSource_ = nullptr;
    linkedDetails_.clear();
    details_.clear();
}

std::vector<std::pair<std::string, std::string>> TASQLite3BaseQuery::MasterPairs() const {
    std::vector<std::pair<std::string, std::string>> pairs;
    const std::string_view all = masterFields_;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find(';', start);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view pair = all.substr(start, end - start);
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos || Trim(pair.substr(0, eq)).empty() || Trim(pair.substr(eq + 1)).empty())
            throw AsgError("Syntax error: Masterfields not build of a=b;... pairs");
        pairs.emplace_back(Trim(pair.substr(0, eq)), Trim(pair.substr(eq + 1)));
        start = end + 1;
    }
    return pairs;
}

void TASQLite3BaseQuery::RefreshDetails() const {
    for (TASQLite3BaseQuery* detail : std::vector<TASQLite3BaseQuery*>(details_)) detail->RefreshFromMaster();
}

void TASQLite3BaseQuery::RefreshFromMaster() {
    if (!masterSource_) throw AsgError("master dataset undefined");
    const bool wasOpen = active_;
    Close();
    std::string filter;
    for (const auto& [detailField, masterField] : MasterPairs()) {
        if (!filter.empty()) filter += " and ";
        const std::string value = masterSource_->active_ ? masterSource_->FieldByName(masterField).AsString() : "";
        filter += detailField + "=" + value;
    }
    filter_ = filter;
    filtered_ = true;
    // A detail that was showing rows shows those of the new master row.
    if (wasOpen) Open();
}
