#include <algorithm>
#include <cstddef>
#include <utility>

#include "algorithms/algorithms.hpp"
#include "algorithms/pagerank.hpp"
#include "parallel/parallel_for.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

// Scattering PageRank: worker slot t pushes score[j] / out-degree(j) of each vertex j of its block
// into a private accumulator, so no two threads write the same double. Vertex i then gathers the
// accumulators in slot order 0..T-1, from 0.0. The bits depend on T (the partial sums follow the
// blocks), never on the run.
std::vector<double> parallel_pagerank_bfs(const Graph& graph, int iterations, double damping, int threads) {
    const int n = graph.vertices();
    if (n == 0) return {};
    pagerank::require_valid_arguments(iterations, damping);
    const pagerank::Setup setup(graph);
    const AdjacencyLists& adj = setup.adj;
    const int slots = get_thread_count(threads);

    std::vector<double> score = setup.initial_scores();
    std::vector<double> next(n, 0.0);
    // Accumulator t is accumulators[t * n .. (t + 1) * n), zeroed by its own slot every iteration.
    std::vector<double> accumulators(static_cast<std::size_t>(slots) * n);

    for (int iteration = 0; iteration < iterations; ++iteration) {
        const pagerank::Step step = setup.step(damping, score);
        parallel_for(0, slots, slots, [&](int t) {
            double* acc = accumulators.data() + static_cast<std::size_t>(t) * n;
            std::fill(acc, acc + n, 0.0);
            const Block block = slot_block(n, slots, t);
            for (int j = block.first; j < block.last; ++j) {
                if (adj[j].empty()) continue;
                const double x = score[j] / setup.degree[j];
                for (int v : adj[j]) acc[v] = acc[v] + x;
            }
        });
        parallel_for(0, n, slots, [&](int i) {
            double gathered = 0.0;
            for (int t = 0; t < slots; ++t) gathered = gathered + accumulators[static_cast<std::size_t>(t) * n + i];
            next[i] = step.score(gathered);
        });
        std::swap(score, next);
    }
    return score;
}

}  // namespace veltrix
