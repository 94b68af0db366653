#pragma once

// Pieces shared by the gathering and the scattering PageRank.

#include <cstddef>
#include <stdexcept>
#include <vector>

#include "graph/graph.hpp"

namespace veltrix::pagerank {

// Both checks run before any storage is allocated; iterations are checked first. A NaN damping
// is refused too: it would turn every score into NaN.
inline void require_valid_arguments(int iterations, double damping) {
    if (iterations <= 0) throw std::invalid_argument("iterations must be positive");
    if (!(damping > 0.0 && damping < 1.0)) throw std::invalid_argument("damping must be in (0,1)");
}

// The constants of one iteration: the damping, the dangling mass spread over every vertex (D / n)
// and the teleport share ((1 - d) / n).
struct Step {
    double damping;
    double dangling_share;
    double teleport;

    // d * (D / n + gathered) + (1 - d) / n, evaluated in exactly this order so that both variants
    // and every thread count round alike.
    double score(double gathered) const {
        double q = dangling_share;
        q = q + gathered;
        q = q * damping;
        q = q + teleport;
        return q;
    }
};

// What both variants read off the graph once per call.
struct Setup {
    const AdjacencyLists& adj;
    double count;                 // n as a double
    std::vector<double> degree;   // out-degree of every vertex, repeats and self-loops counted
    std::vector<int> dangling;    // the vertices without out-edges, ascending

    explicit Setup(const Graph& graph)
        : adj(graph.get_adj()), count(static_cast<double>(graph.vertices())), degree(adj.size()) {
        for (std::size_t u = 0; u < adj.size(); ++u) {
            degree[u] = static_cast<double>(adj[u].size());
            if (adj[u].empty()) dangling.push_back(static_cast<int>(u));
        }
    }

    std::vector<double> initial_scores() const { return std::vector<double>(adj.size(), 1.0 / count); }

    // The constants of the iteration that starts from `scores`; the dangling mass D is summed in
    // ascending vertex order from 0.0.
    Step step(double damping, const std::vector<double>& scores) const {
        double mass = 0.0;
        for (int u : dangling) mass += scores[u];
        return {damping, mass / count, (1.0 - damping) / count};
    }
};

}  // namespace veltrix::pagerank
