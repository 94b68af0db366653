#pragma once

// The gathering PageRank written as plainly as possible, one thread, straight from its definition:
// in-neighbour lists filled in source order, the dangling mass summed in vertex order.

#include <cstddef>
#include <vector>

#include "graph/graph.hpp"

namespace reference {

// d * (D / n + gathered) + (1 - d) / n, in exactly this order.
inline double pagerank_score(double dangling_mass, double gathered, double damping, double n) {
    double q = dangling_mass / n;
    q = q + gathered;
    q = q * damping;
    q = q + (1.0 - damping) / n;
    return q;
}

inline double dangling_mass(const veltrix::AdjacencyLists& adj, const std::vector<double>& score) {
    double mass = 0.0;
    for (std::size_t u = 0; u < adj.size(); ++u)
        if (adj[u].empty()) mass += score[u];
    return mass;
}

inline std::vector<double> pagerank_gather(const veltrix::AdjacencyLists& adj, int iterations,
                                           double damping) {
    const std::size_t n = adj.size();
    std::vector<std::vector<int>> in(n);
    for (std::size_t u = 0; u < n; ++u)
        for (int v : adj[u]) in[v].push_back(static_cast<int>(u));
    std::vector<double> score(n, 1.0 / static_cast<double>(n));
    for (int iteration = 0; iteration < iterations; ++iteration) {
        const double mass = dangling_mass(adj, score);
        std::vector<double> next(n);
        for (std::size_t i = 0; i < n; ++i) {
            double gathered = 0.0;
            for (int u : in[i]) gathered = gathered + score[u] / static_cast<double>(adj[u].size());
            next[i] = pagerank_score(mass, gathered, damping, static_cast<double>(n));
        }
        score = next;
    }
    return score;
}

}  // namespace reference
