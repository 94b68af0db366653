#pragma once

// A frontier strides across the neighbour lists in no order, and each list lies elsewhere in
// memory: a kernel walking vertices[first, last) calls this at every i to ask for the list header
// 16 places ahead and, by then in cache, for the list itself 8 places ahead.

#include <cstddef>

namespace veltrix {

// Inlined by force: g++ 12 deems a call whose only effect is a prefetch to have none, and deletes it.
template <class Lists>
[[gnu::always_inline]] inline void prefetch_lists_ahead(const Lists& lists, const int* vertices, std::size_t i,
                                                        std::size_t last) {
    if (i + 16 < last) __builtin_prefetch(&lists[vertices[i + 16]]);
    if (i + 8 < last) __builtin_prefetch(lists[vertices[i + 8]].data());
}

}  // namespace veltrix
