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
    veltrix::AdjacencyLists sorted = adj;
    for (auto& list : sorted) std::sort(list.begin(), list.end());
    auto occurrences = [](const std::vector<int>& list, int w) {
        const auto [first, last] = std::equal_range(list.begin(), list.end(), w);
        return static_cast<std::int64_t>(last - first);
    };
    std::int64_t count = 0;
    for (int u = 0; u < static_cast<int>(adj.size()); ++u) {
        std::vector<int> distinct = sorted[u];
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        for (int v : adj[u]) {
            if (v <= u) continue;
            for (int w : distinct)
                if (w > v) count += std::min(occurrences(sorted[u], w), occurrences(sorted[v], w));
        }
    }
    return count;
}

}  // namespace reference
