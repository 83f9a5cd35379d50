#include "app/loans/distinct_texts.h"

#include <functional>

std::string_view DistinctTexts::Bytes(int id) const {
    const auto at = static_cast<size_t>(id);
    return std::string_view(bytes_).substr(starts_[at], starts_[at + 1] - starts_[at]);
}

void DistinctTexts::Clear() {
    bytes_.clear();
    starts_.assign(1, 0);
    hashes_.clear();
    slots_.clear();
}

// Kept at most half full, so a search ends after a few slots.
void DistinctTexts::Grow() {
    slots_.assign(slots_.empty() ? 1024 : slots_.size() * 2, 0);
    for (size_t id = 0; id < hashes_.size(); ++id) {
        const size_t mask = slots_.size() - 1;
        size_t slot = hashes_[id] & mask;
        while (slots_[slot] != 0) slot = (slot + 1) & mask;
        slots_[slot] = static_cast<int>(id + 1);
    }
}

int DistinctTexts::Id(std::string_view bytes) {
    if ((hashes_.size() + 1) * 2 > slots_.size()) Grow();
    const size_t hash = std::hash<std::string_view>{}(bytes);
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const int taken = slots_[slot];
        if (taken == 0) {
            const int id = static_cast<int>(hashes_.size());
            bytes_.append(bytes);
            starts_.push_back(bytes_.size());
            hashes_.push_back(hash);
            slots_[slot] = id + 1;
            return id;
        }
        if (hashes_[static_cast<size_t>(taken - 1)] == hash && Bytes(taken - 1) == bytes) return taken - 1;
    }
}
