#pragma once
// Numbers the distinct byte strings of a large read in the order first met,
// so that each is decoded, folded and ranked once. The bytes are kept end to
// end in one buffer and found again by open addressing: no allocation per
// text and no node per text to chase, as a map of strings would make.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class DistinctTexts {
public:
    // The number of `bytes`: the count so far when they are met first.
    int Id(std::string_view bytes);
    // The next number for `bytes`, not looked for: for texts that seldom repeat
    // (a book's title). A set is fed either by Id or by Add, never by both.
    int Add(std::string_view bytes);
    std::string_view Bytes(int id) const {
        const auto at = static_cast<size_t>(id);
        return std::string_view(bytes_).substr(starts_[at], starts_[at + 1] - starts_[at]);
    }
    size_t Size() const { return starts_.size() - 1; }
    void Clear();

private:
    void Grow();

    std::string bytes_;
    std::vector<size_t> starts_{0};  // text `id` lies from starts_[id] to starts_[id + 1]
    std::vector<size_t> hashes_;
    std::vector<uint64_t> slots_;  // 0 when free; a power of two long
};
