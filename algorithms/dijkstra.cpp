#include <atomic>
#include <utility>

#include "algorithms/algorithms.hpp"
#include "graph/input.hpp"
#include "parallel/atomics.hpp"
#include "parallel/parallel_for.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

constexpr double kUnreached = 1e18;

}  // namespace

// Relaxation passes over every vertex (the Bellman-Ford scheme) until a pass lowers nothing or
// n - 1 passes have run. Distances are only ever lowered, by a compare-exchange loop on each entry,
// and a lowered value is visible to the rest of the same pass.
//
// A vertex is relaxed only when its distance has been lowered since its previous relaxation (the
// source counts as lowered once). Relaxing any other vertex would offer every target the same
// candidate as before, which can no longer lower it, so skipping it changes neither the distances
// nor the number of passes.
Relaxation relax_distances(const WeightedGraph& graph, int source, int threads) {
    const int n = graph.vertices();
    require_vertex(source, n);
    const WeightedLists& lists = graph.get_adj();

    std::vector<double> distance(n, kUnreached);
    distance[source] = 0.0;
    const int workers = get_thread_count(threads);
    if (n - 1 <= 0) return {std::move(distance), 0};

    std::vector<unsigned char> lowered(n, 0);
    lowered[source] = 1;
    std::atomic<bool> changed{true};

    auto relax = [&](int u) {
        if (!std::atomic_ref<unsigned char>(lowered[u]).exchange(0, std::memory_order_acquire)) return;
        std::atomic_ref<double> from(distance[u]);
        for (const auto& [v, weight] : lists[u]) {
            // Read afresh for every edge: another worker, or a self-loop, may have lowered it.
            const double candidate = from.load(std::memory_order_relaxed) + weight;
            std::atomic_ref<double> to(distance[v]);
            double current = to.load(std::memory_order_relaxed);
            // Strictly lower only: NaN compares false, and a total of 1e18 or more never lands
            // because no stored distance exceeds 1e18.
            while (current > candidate) {
                if (!to.compare_exchange_weak(current, candidate, std::memory_order_relaxed)) continue;
                std::atomic_ref<unsigned char>(lowered[v]).store(1, std::memory_order_release);
                raise_flag(changed);
                break;
            }
        }
    };

    int passes = 0;
    while (passes < n - 1 && changed.load(std::memory_order_relaxed)) {
        changed.store(false, std::memory_order_relaxed);
        parallel_for(0, n, workers, relax);
        ++passes;
    }
    return {std::move(distance), passes};
}

std::vector<double> parallel_dijkstra(const WeightedGraph& graph, int source, int threads) {
    return relax_distances(graph, source, threads).distance;
}

}  // namespace veltrix
