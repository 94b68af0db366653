#pragma once

// One bit per vertex, 64 vertices to a word. A set of n vertices in n / 8 bytes stays in a cache
// where n ints would not, which is what a kernel testing membership at every list entry needs.
// Tasks whose ranges start at multiples of 64 own disjoint words and write them without atomics.

#include <bit>
#include <cstdint>
#include <vector>

namespace veltrix {

class Bitmap {
public:
    explicit Bitmap(int n) : words_((static_cast<std::size_t>(n) + 63) / 64, 0) {}

    bool has(unsigned v) const { return (words_[v / 64] >> (v % 64)) & 1; }
    void set(unsigned v) { words_[v / 64] |= std::uint64_t{1} << (v % 64); }
    void reset(unsigned v) { words_[v / 64] &= ~(std::uint64_t{1} << (v % 64)); }
    // Sets v's bit when `member`; fills a word cleared before, without a branch.
    void put(unsigned v, bool member) {
        words_[v / 64] |= static_cast<std::uint64_t>(member) << (v % 64);
    }
    // Empties the words of vertices [first, last); first must be a multiple of 64.
    void clear(int first, int last) {
        for (int w = first / 64; w < (last + 63) / 64; ++w) words_[w] = 0;
    }
    // Calls f(v) for every member v in [first, last), ascending; first must be a multiple of 64.
    template <class F>
    void each_member(int first, int last, F&& f) const {
        for (int w = first / 64; w < (last + 63) / 64; ++w)
            for (std::uint64_t bits = words_[w]; bits != 0; bits &= bits - 1)
                f(w * 64 + std::countr_zero(bits));
    }
    // Calls f(v) for every v in [first, last) that is not a member, ascending; first must be a
    // multiple of 64.
    template <class F>
    void each_non_member(int first, int last, F&& f) const {
        for (int w = first / 64; w < (last + 63) / 64; ++w) {
            std::uint64_t outside = ~words_[w];
            if (last < (w + 1) * 64) outside &= (std::uint64_t{1} << (last - w * 64)) - 1;
            for (; outside != 0; outside &= outside - 1) f(w * 64 + std::countr_zero(outside));
        }
    }
    void swap(Bitmap& other) noexcept { words_.swap(other.words_); }

private:
    std::vector<std::uint64_t> words_;
};

}  // namespace veltrix
