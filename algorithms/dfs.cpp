#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>

#include "algorithms/algorithms.hpp"
#include "graph/input.hpp"
#include "parallel/parallel_for.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

// Reachability by T workers sharing one stack. The exchange on a vertex's flag lets exactly one
// worker claim it, so every vertex is stacked at most once.
//
// Each worker expands its claims depth-first from a stack of its own and takes the shared lock
// only to fetch a vertex when it has none left, or to hand the older half of its stack over when
// the shared stack has run dry, so that idle workers find work. A worker leaves the first time it
// finds both stacks empty; nothing is lost, because every claimed vertex sits on a stack until it
// is expanded, and the worker holding it expands it.
std::vector<bool> parallel_dfs(const Graph& graph, int source, int threads) {
    const int n = graph.vertices();
    require_vertex(source, n);
    const AdjacencyLists& adj = graph.get_adj();

    std::vector<std::atomic<bool>> visited(n);
    std::deque<int> stack;
    std::mutex stack_mutex;
    std::atomic<std::size_t> shared_size{1};  // of `stack`, readable without the lock
    visited[source].store(true);
    stack.push_back(source);

    run_workers(get_thread_count(threads), [&](int) {
        std::vector<int> own;
        for (;;) {
            if (own.empty()) {
                std::lock_guard<std::mutex> lock(stack_mutex);
                if (stack.empty()) return;
                own.push_back(stack.back());
                stack.pop_back();
                shared_size.store(stack.size(), std::memory_order_relaxed);
            }
            const int v = own.back();
            own.pop_back();
            for (int w : adj[v])
                if (!visited[w].load(std::memory_order_relaxed) && !visited[w].exchange(true)) own.push_back(w);
            if (own.size() < 2 || shared_size.load(std::memory_order_relaxed) != 0) continue;
            std::lock_guard<std::mutex> lock(stack_mutex);
            const auto half = own.begin() + static_cast<std::ptrdiff_t>(own.size() / 2);
            stack.insert(stack.end(), own.begin(), half);
            own.erase(own.begin(), half);
            shared_size.store(stack.size(), std::memory_order_relaxed);
        }
    });

    std::vector<bool> reached(n);
    for (int v = 0; v < n; ++v) reached[v] = visited[v].load();
    return reached;
}

}  // namespace veltrix
