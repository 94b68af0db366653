#pragma once

// Pieces shared by the gathering and the scattering PageRank.

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

// Out-degree of every vertex as a double, repeats and self-loops counted.
inline std::vector<double> out_degrees(const AdjacencyLists& adj) {
    std::vector<double> degrees(adj.size());
    for (std::size_t u = 0; u < adj.size(); ++u) degrees[u] = static_cast<double>(adj[u].size());
    return degrees;
}

// The vertices without out-edges, ascending.
inline std::vector<int> dangling_vertices(const AdjacencyLists& adj) {
    std::vector<int> dangling;
    for (std::size_t u = 0; u < adj.size(); ++u)
        if (adj[u].empty()) dangling.push_back(static_cast<int>(u));
    return dangling;
}

// The scores of the dangling vertices summed in ascending vertex order, from 0.0.
inline double dangling_mass(const std::vector<int>& dangling, const std::vector<double>& scores) {
    double mass = 0.0;
    for (int u : dangling) mass += scores[u];
    return mass;
}

}  // namespace veltrix::pagerank
