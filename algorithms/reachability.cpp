// Reachability as the vertices a breadth-first search reaches (see hop_distances.cpp). The
// direction-optimising search skips most edges of a large frontier and keeps each level of a
// high-diameter graph cheap, which beats a depth-first walk with a shared stack on both kinds.

#include "algorithms/reachability.hpp"

#include "algorithms/hop_distances.hpp"

namespace veltrix {

std::vector<bool> reachability(const Graph& graph, int source, int workers, Interrupt* interrupt) {
    const std::vector<int> distance = hop_distances(graph, source, workers, interrupt);
    std::vector<bool> reached(distance.size());
    for (std::size_t v = 0; v < distance.size(); ++v) reached[v] = distance[v] >= 0;
    return reached;
}

}  // namespace veltrix
