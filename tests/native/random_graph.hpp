#pragma once

// Seeded random graphs for the native kernel tests: directed or undirected, with repeated edges,
// self-loops and isolated vertices, and weights drawn from a chosen mix.

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "graph/weighted_graph.hpp"

namespace testing {

struct Case {
    int n;
    int m;
    bool directed;

    std::string name() const {
        return "n=" + std::to_string(n) + " m=" + std::to_string(m) +
               (directed ? " directed" : " undirected");
    }
};

// The shapes every kernel test runs through: tiny, sparse, dense, and big enough for every worker
// of a team to take many tasks.
inline const Case kCases[] = {{1, 0, false},         {2, 3, true},         {50, 120, false},
                              {300, 900, true},      {2000, 8000, false},  {2000, 3000, true},
                              {20000, 60000, false}, {20000, 200000, true}};

// The worker counts every kernel is driven with, past the hardware count on purpose.
inline const int kWorkers[] = {1, 2, 3, 5, 7, 8};

enum class Weights {
    small_integers,  // 0..9
    signed_values,   // -5..9, so negative edges and negative cycles appear
    awkward,         // mostly 0..9, with NaN, +inf, -0.0 and huge values mixed in
};

inline double draw_weight(std::mt19937& random, Weights kind) {
    std::uniform_int_distribution<int> small(0, 9), percent(0, 99);
    switch (kind) {
        case Weights::small_integers: return small(random);
        case Weights::signed_values: return small(random) - (percent(random) < 20 ? 5 : 0);
        case Weights::awkward:
            switch (percent(random)) {
                case 0: return std::numeric_limits<double>::quiet_NaN();
                case 1: return std::numeric_limits<double>::infinity();
                case 2: return -0.0;
                case 3: return 6e17;
                default: return small(random) + 0.1 * small(random);
            }
    }
    return 0.0;
}

inline veltrix::WeightedGraph random_graph(const Case& c, unsigned seed,
                                           Weights kind = Weights::small_integers) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> vertex(0, c.n - 1), percent(0, 99);
    veltrix::WeightedEdgeList edges;
    for (int i = 0; i < c.m; ++i) {
        const int u = vertex(random);
        const int v = percent(random) < 3 ? u : vertex(random);
        edges.emplace_back(u, v, draw_weight(random, kind));
        if (percent(random) < 5) edges.emplace_back(u, v, draw_weight(random, kind));
    }
    veltrix::WeightedGraph graph(c.n, c.directed);
    graph.add_edges(edges);
    return graph;
}

}  // namespace testing
