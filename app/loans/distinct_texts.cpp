#include "app/loans/distinct_texts.h"

#include <functional>

namespace {

// A slot holds the text's id + 1 in its low half and the top of its hash in
// the high half, so a search reads one array and compares bytes only on a likely match.
constexpr uint64_t kIdBits = 0xFFFFFFFFu;

uint64_t Tag(size_t hash) { return static_cast<uint64_t>(hash) & ~kIdBits; }

}  // namespace

int DistinctTexts::Add(std::string_view bytes) {
    bytes_.append(bytes);
    starts_.push_back(bytes_.size());
    return static_cast<int>(Size() - 1);
}

void DistinctTexts::Clear() {
    bytes_.clear();
    starts_.assign(1, 0);
    hashes_.clear();
    slots_.assign(slots_.size(), 0);  // the next read is likely as large
}

// Kept at most half full, so a search ends after a few slots.
void DistinctTexts::Grow() {
    slots_.assign(slots_.empty() ? 1024 : slots_.size() * 2, 0);
    const size_t mask = slots_.size() - 1;
    for (size_t id = 0; id < hashes_.size(); ++id) {
        size_t slot = hashes_[id] & mask;
        while (slots_[slot] != 0) slot = (slot + 1) & mask;
        slots_[slot] = Tag(hashes_[id]) | (id + 1);
    }
}

int DistinctTexts::Id(std::string_view bytes) {
    if ((hashes_.size() + 1) * 2 > slots_.size()) Grow();
    const size_t hash = std::hash<std::string_view>{}(bytes);
    const size_t mask = slots_.size() - 1;
    const uint64_t tag = Tag(hash);
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint64_t taken = slots_[slot];
        if (taken == 0) {
            const size_t id = hashes_.size();
            bytes_.append(bytes);
            starts_.push_back(bytes_.size());
            hashes_.push_back(hash);
            slots_[slot] = tag | (id + 1);
            return static_cast<int>(id);
        }
        const int id = static_cast<int>(taken & kIdBits) - 1;
        if ((taken & ~kIdBits) == tag && Bytes(id) == bytes) return id;
    }
}
