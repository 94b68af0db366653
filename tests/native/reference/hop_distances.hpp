#pragma once

// Hop distances by a plain first-in first-out queue: a vertex's distance is its parent's plus one,
// set the first time the vertex is seen.

#include <queue>
#include <vector>

#include "graph/graph.hpp"

namespace reference {

inline std::vector<int> hop_distances(const veltrix::AdjacencyLists& adj, int source) {
    std::vector<int> distance(adj.size(), -1);
    std::queue<int> queue;
    distance[source] = 0;
    for (queue.push(source); !queue.empty(); queue.pop()) {
        const int u = queue.front();
        for (int v : adj[u])
            if (distance[v] < 0) {
                distance[v] = distance[u] + 1;
                queue.push(v);
            }
    }
    return distance;
}

}  // namespace reference
