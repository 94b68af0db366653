#pragma once

// splitmix64's finaliser: a cheap 64-bit mixing of all input bits into all output bits. The
// generators draw their random words from it by position; the CSR builder sums it over edges, a
// hash that changes with any edge.

#include <cstdint>

namespace veltrix {

inline std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

}  // namespace veltrix
