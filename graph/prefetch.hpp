#pragma once

// Neighbour lists lie each elsewhere in memory, so a kernel asks for a list some vertices before it
// reads it. The helpers are inlined by force: g++ 12 deems a call whose only effect is a prefetch
// to have none, and deletes it.

#include <cstddef>

namespace veltrix {

// How far ahead a sweep over the vertices in order asks for their lists.
constexpr int kSweepAhead = 8;

template <class View>
[[gnu::always_inline]] inline void prefetch_list(const View& graph, int v) {
    __builtin_prefetch(graph.list(v));
}

// A frontier strides across the lists in no order: a kernel walking vertices[first, last) calls
// this at every i to ask for where the list lies 16 places ahead and, by then in cache, for the
// list itself 8 places ahead.
template <class View>
[[gnu::always_inline]] inline void prefetch_lists_ahead(const View& graph, const int* vertices,
                                                        std::size_t i, std::size_t last) {
    if (i + 16 < last) __builtin_prefetch(graph.header(vertices[i + 16]));
    if (i + 8 < last) prefetch_list(graph, vertices[i + 8]);
}

}  // namespace veltrix
