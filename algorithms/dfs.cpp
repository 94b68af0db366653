#include <atomic>
#include <deque>
#include <mutex>

#include "algorithms/algorithms.hpp"
#include "graph/input.hpp"
#include "parallel/parallel_for.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

// Reachability by T workers sharing one stack. The exchange on a vertex's flag lets exactly one
// worker claim it, so every vertex is pushed at most once. A worker leaves the first time it finds
// the stack empty; nothing is lost, because a worker that pushes comes back for more.
std::vector<bool> parallel_dfs(const Graph& graph, int source, int threads) {
    const int n = graph.vertices();
    require_vertex(source, n);
    const AdjacencyLists& adj = graph.get_adj();

    std::vector<std::atomic<bool>> visited(n);
    std::deque<int> stack;
    std::mutex stack_mutex;
    visited[source].store(true);
    stack.push_back(source);

    run_workers(get_thread_count(threads), [&](int) {
        std::vector<int> claimed;
        for (;;) {
            int v;
            {
                std::lock_guard<std::mutex> lock(stack_mutex);
                if (stack.empty()) return;
                v = stack.back();
                stack.pop_back();
            }
            claimed.clear();
            for (int w : adj[v])
                if (!visited[w].load(std::memory_order_relaxed) && !visited[w].exchange(true)) claimed.push_back(w);
            if (claimed.empty()) continue;
            // The claims go on in list order, so the last neighbour claimed is expanded next.
            std::lock_guard<std::mutex> lock(stack_mutex);
            stack.insert(stack.end(), claimed.begin(), claimed.end());
        }
    });

    std::vector<bool> reached(n);
    for (int v = 0; v < n; ++v) reached[v] = visited[v].load();
    return reached;
}

}  // namespace veltrix
