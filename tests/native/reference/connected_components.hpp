#pragma once

// Serial reference: union-find over every list entry, the smaller root kept, so each root is the
// smallest vertex of its component.

#include <algorithm>
#include <numeric>
#include <vector>

#include "graph/graph.hpp"

namespace reference {

inline std::vector<int> connected_components(const veltrix::AdjacencyLists& adj) {
    std::vector<int> parent(adj.size());
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&](int x) {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    };
    for (int u = 0; u < static_cast<int>(adj.size()); ++u)
        for (int v : adj[u]) {
            const int a = find(u), b = find(v);
            parent[std::max(a, b)] = std::min(a, b);
        }
    for (int u = 0; u < static_cast<int>(adj.size()); ++u) parent[u] = find(u);
    return parent;
}

}  // namespace reference
