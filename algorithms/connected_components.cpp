#include <algorithm>
#include <atomic>
#include <numeric>

#include "algorithms/algorithms.hpp"
#include "parallel/atomics.hpp"
#include "parallel/parallel_for.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

// Hook and compress over a parent array. Labels are read and written with relaxed atomic word
// accesses and no read-modify-write: a hook lost to a concurrent one is redone by a later
// iteration, because every hook stores a smaller label of the same component and sets `changed`.
std::vector<int> parallel_connected_components(const Graph& graph, int threads) {
    const int n = graph.vertices();
    const AdjacencyLists& adj = graph.get_adj();
    const int workers = get_thread_count(threads);

    std::vector<int> labels(n);
    std::iota(labels.begin(), labels.end(), 0);
    auto load = [&](int x) { return std::atomic_ref<int>(labels[x]).load(std::memory_order_relaxed); };
    auto store = [&](int x, int label) {
        std::atomic_ref<int>(labels[x]).store(label, std::memory_order_relaxed);
    };
    std::atomic<bool> changed{false};

    // Across each edge whose ends carry different labels, point the larger label, if it is still a
    // root, at the smaller one.
    auto hook = [&](int i) {
        for (int v : adj[i]) {
            const int a = load(i);
            const int b = load(v);
            if (a == b) continue;
            const int hi = std::max(a, b);
            if (load(hi) != hi) continue;
            store(hi, std::min(a, b));
            raise_flag(changed);
        }
    };
    // Point every vertex straight at its root. Only this index's worker writes its label.
    auto compress = [&](int i) {
        for (int parent = load(i), grandparent = load(parent); parent != grandparent;
             parent = grandparent, grandparent = load(parent))
            store(i, grandparent);
    };

    do {
        changed.store(false, std::memory_order_relaxed);
        parallel_for(0, n, workers, hook);
        parallel_for(0, n, workers, compress);
    } while (changed.load(std::memory_order_relaxed));
    parallel_for(0, n, workers, compress);
    return labels;
}

}  // namespace veltrix
