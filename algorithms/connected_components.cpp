// Connected components by Afforest: union-find over a parent array with lock-free linking,
// started on a sample of the edges.
//
// M. Sutton, T. Ben-Nun, A. Barak, "Optimizing Parallel Graph Connectivity Computation via
// Subgraph Sampling", IPDPS 2018.
//
// A link always hangs the larger of two roots under the smaller, so every parent is at most its
// child and the root of each tree is the smallest vertex in it: once every vertex points straight
// at its root, the parent array is the answer and needs no relabelling.
//
// The paper's final sweep skips the vertices of the largest component found by the sample. That
// is sound only when every edge stands in the lists of both its ends, which a directed graph, or
// undirected lists installed whole, need not satisfy. Here every vertex sweeps its whole list
// instead, but a neighbour already under the same root costs a single read, and after the sampled
// rounds that is nearly every neighbour.

#include "algorithms/connected_components.hpp"

#include <algorithm>
#include <cstddef>

#include "parallel/atomics.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

// Neighbours linked per vertex before the full sweep: list positions 0 .. kSampledRounds - 1.
constexpr std::size_t kSampledRounds = 2;
// Vertices per task of a pass; hubs make a vertex's cost uneven, so tasks stay small.
constexpr int kGrain = 1024;

// Joins the trees of u and v: hangs the larger root under the smaller one. A claim that fails
// because another worker moved that root retries from the roots' new parents.
void link(std::vector<int>& parent, int u, int v) {
    int a = load(parent[u]);
    int b = load(parent[v]);
    while (a != b) {
        const int high = std::max(a, b);
        const int low = std::min(a, b);
        const int above = load(parent[high]);
        if (above == low) return;
        if (above == high && claim(parent[high], high, low)) return;
        a = load(parent[above]);
        b = load(parent[low]);
    }
}

// Points u straight at its root. Only u's own task writes parent[u] during a compress pass.
void compress(std::vector<int>& parent, int u) {
    for (int up = load(parent[u]), upper = load(parent[up]); up != upper; up = upper, upper = load(parent[up]))
        store(parent[u], upper);
}

}  // namespace

std::vector<int> connected_components(const Graph& graph, int workers, Interrupt* interrupt) {
    const int n = graph.vertices();
    const AdjacencyLists& adj = graph.get_adj();
    std::size_t entries = 0;
    for (const auto& list : adj) entries += list.size();
    Team team(workers_for(static_cast<long long>(n) + static_cast<long long>(entries), workers), interrupt);
    auto each_vertex = [&](auto&& body) {
        team.for_chunks(0, n, kGrain, [&](int first, int last, int) {
            for (int u = first; u < last; ++u) body(u);
        });
    };

    std::vector<int> parent(n);
    each_vertex([&](int u) { parent[u] = u; });

    for (std::size_t round = 0; round < kSampledRounds; ++round) {
        each_vertex([&](int u) {
            if (round < adj[u].size()) link(parent, u, adj[u][round]);
        });
        each_vertex([&](int u) { compress(parent, u); });
    }

    // A neighbour whose parent is u's parent as read before the list is already joined to u.
    each_vertex([&](int u) {
        const std::vector<int>& list = adj[u];
        const int root = load(parent[u]);
        for (std::size_t i = kSampledRounds; i < list.size(); ++i)
            if (load(parent[list[i]]) != root) link(parent, u, list[i]);
    });
    each_vertex([&](int u) { compress(parent, u); });
    return parent;
}

}  // namespace veltrix
