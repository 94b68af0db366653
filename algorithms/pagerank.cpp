#include <cstddef>
#include <utility>

#include "algorithms/algorithms.hpp"
#include "algorithms/pagerank.hpp"
#include "parallel/parallel_for.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

// In-neighbour lists in compressed form: the sources of v's in-edges are
// sources[offsets[v] .. offsets[v + 1]), ascending, one entry per occurrence of v in a list.
struct InNeighbours {
    std::vector<std::size_t> offsets;
    std::vector<int> sources;
};

InNeighbours in_neighbours(const AdjacencyLists& adj) {
    const std::size_t n = adj.size();
    InNeighbours in{std::vector<std::size_t>(n + 1, 0), {}};
    for (const auto& list : adj)
        for (int v : list) ++in.offsets[v + 1];
    for (std::size_t v = 0; v < n; ++v) in.offsets[v + 1] += in.offsets[v];
    in.sources.resize(in.offsets[n]);
    std::vector<std::size_t> cursor(in.offsets.begin(), in.offsets.end() - 1);
    for (std::size_t j = 0; j < n; ++j)
        for (int v : adj[j]) in.sources[cursor[v]++] = static_cast<int>(j);
    return in;
}

}  // namespace

// Gathering PageRank: vertex i sums score[u] / out-degree(u) over its in-neighbours u in
// ascending order. Each sum is made by one thread in a fixed order, so the bits do not depend on
// the thread count. The shares score[u] / out-degree(u) are computed once per vertex and
// iteration, by the thread that computes the score.
std::vector<double> parallel_pagerank(const Graph& graph, int iterations, double damping, int threads) {
    const int n = graph.vertices();
    if (n == 0) return {};
    pagerank::require_valid_arguments(iterations, damping);
    const pagerank::Setup setup(graph);
    const std::vector<double>& degree = setup.degree;
    const InNeighbours in = in_neighbours(setup.adj);
    const int workers = get_thread_count(threads);

    std::vector<double> score = setup.initial_scores();
    std::vector<double> next(n, 0.0);
    std::vector<double> share(n, 0.0);
    std::vector<double> next_share(n, 0.0);
    for (int u = 0; u < n; ++u)
        if (degree[u] > 0.0) share[u] = score[u] / degree[u];

    for (int iteration = 0; iteration < iterations; ++iteration) {
        const pagerank::Step step = setup.step(damping, score);
        parallel_for(0, n, workers, [&](int i) {
            double gathered = 0.0;
            for (std::size_t k = in.offsets[i]; k < in.offsets[i + 1]; ++k) gathered = gathered + share[in.sources[k]];
            const double q = step.score(gathered);
            next[i] = q;
            next_share[i] = degree[i] > 0.0 ? q / degree[i] : 0.0;
        });
        std::swap(score, next);
        std::swap(share, next_share);
    }
    return score;
}

}  // namespace veltrix
