// Reachability: the vertices that the breadth-first search of hop_distances.cpp reaches.
//
// Not a depth-first walk: on a grid a walk jumps between rows and misses the cache on nearly every
// list it opens, where the search's frontier moves through memory in order (bench/RESULTS.md,
// "Design measurements").

#include "algorithms/reachability.hpp"

#include <cstddef>

#include "algorithms/hop_distances.hpp"

namespace veltrix {

namespace {

std::vector<bool> reached(const Buffer<int>& distance) {
    std::vector<bool> reached(distance.size());
    for (std::size_t v = 0; v < distance.size(); ++v) reached[v] = distance[v] >= 0;
    return reached;
}

}  // namespace

std::vector<bool> reachability(const ListsView& graph, int source, int workers,
                               Interrupt* interrupt) {
    return reached(hop_distances(graph, source, workers, interrupt));
}

std::vector<bool> reachability(const CsrView& graph, int source, int workers,
                               Interrupt* interrupt) {
    return reached(hop_distances(graph, source, workers, interrupt));
}

}  // namespace veltrix
