#pragma once

// Shortest distances by plain relaxation passes on one thread: every reached vertex, in ascending
// order, relaxes all of its edges in place, until a pass lowers nothing or n - 1 passes have run.

#include <vector>

#include "graph/weighted_graph.hpp"

namespace reference {

struct Distances {
    std::vector<double> distance;
    bool converged;  // a pass lowered nothing: no negative cycle held the passes up
};

inline Distances shortest_distances(const veltrix::WeightedLists& lists, int source) {
    const int n = static_cast<int>(lists.size());
    Distances result{std::vector<double>(n, 1e18), true};
    result.distance[source] = 0.0;
    std::vector<double>& d = result.distance;
    for (int pass = 0; pass < n - 1; ++pass) {
        bool lowered = false;
        for (int u = 0; u < n; ++u) {
            if (d[u] == 1e18) continue;
            for (const auto& [v, weight] : lists[u])
                if (d[u] + weight < d[v]) d[v] = d[u] + weight, lowered = true;
        }
        if (!lowered) return result;
    }
    result.converged = n <= 1;
    return result;
}

}  // namespace reference
