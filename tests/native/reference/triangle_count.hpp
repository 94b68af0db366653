#pragma once

// Serial reference, straight from the definition: triples u < v < w with v and w in u's list and
// w in v's list, every occurrence of v counted and each w counted as often as the list holding it
// fewer times.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "graph/graph.hpp"

namespace reference {

inline std::int64_t triangle_count(const veltrix::AdjacencyLists& adj) {
    std::int64_t count = 0;
    for (int u = 0; u < static_cast<int>(adj.size()); ++u) {
        std::vector<int> above(adj[u].begin(), adj[u].end());
        std::sort(above.begin(), above.end());
        above.erase(std::unique(above.begin(), above.end()), above.end());
        for (int v : adj[u]) {
            if (v <= u) continue;
            for (int w : above)
                if (w > v)
                    count += std::min(std::count(adj[u].begin(), adj[u].end(), w),
                                      std::count(adj[v].begin(), adj[v].end(), w));
        }
    }
    return count;
}

}  // namespace reference
