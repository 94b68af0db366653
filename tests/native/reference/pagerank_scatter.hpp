#pragma once

// The scattering PageRank written as plainly as possible, one thread: T slot accumulators, slot t
// pushing the shares of its vertex block, each vertex adding the accumulators in slot order.

#include <cstddef>
#include <vector>

#include "pagerank_gather.hpp"

namespace reference {

inline std::vector<double> pagerank_scatter(const veltrix::AdjacencyLists& adj, int iterations,
                                            double damping, int slots) {
    const std::size_t n = adj.size();
    const std::size_t block = (n + slots - 1) / slots;
    std::vector<double> score(n, 1.0 / static_cast<double>(n));
    for (int iteration = 0; iteration < iterations; ++iteration) {
        const double mass = dangling_mass(adj, score);
        std::vector<std::vector<double>> accumulator(slots, std::vector<double>(n, 0.0));
        for (int t = 0; t < slots; ++t)
            for (std::size_t j = t * block; j < n && j < (t + 1) * block; ++j)
                for (int v : adj[j])
                    accumulator[t][v] =
                        accumulator[t][v] + score[j] / static_cast<double>(adj[j].size());
        for (std::size_t i = 0; i < n; ++i) {
            double gathered = 0.0;
            for (int t = 0; t < slots; ++t) gathered = gathered + accumulator[t][i];
            score[i] = pagerank_score(mass, gathered, damping, static_cast<double>(n));
        }
    }
    return score;
}

}  // namespace reference
