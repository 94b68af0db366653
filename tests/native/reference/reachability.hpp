#pragma once

// Reachability by a plain depth-first walk with an explicit stack.

#include <vector>

#include "graph/graph.hpp"

namespace reference {

inline std::vector<bool> reachability(const veltrix::AdjacencyLists& adj, int source) {
    std::vector<bool> reached(adj.size(), false);
    std::vector<int> stack{source};
    reached[source] = true;
    while (!stack.empty()) {
        const int u = stack.back();
        stack.pop_back();
        for (int v : adj[u])
            if (!reached[v]) {
                reached[v] = true;
                stack.push_back(v);
            }
    }
    return reached;
}

}  // namespace reference
