#include <atomic>
#include <mutex>

#include "algorithms/algorithms.hpp"
#include "graph/input.hpp"
#include "parallel/parallel_for.hpp"

namespace veltrix {

// Level-synchronous search. A compare-and-swap from -1 claims each vertex for exactly one worker,
// so every vertex is written once, at the level that first reaches it, whatever the interleaving.
std::vector<int> parallel_bfs(const Graph& graph, int source, int threads) {
    const int n = graph.vertices();
    require_vertex(source, n);
    const AdjacencyLists& adj = graph.get_adj();

    std::vector<int> distance(n, -1);
    distance[source] = 0;
    std::vector<int> frontier{source};
    for (int level = 0; !frontier.empty(); ++level) {
        std::vector<int> next;
        std::mutex next_mutex;
        parallel_for_chunks(0, static_cast<int>(frontier.size()), threads, [&](int first, int last) {
            // A worker gathers its claims and appends them under the lock once per chunk.
            std::vector<int> claimed;
            for (int i = first; i < last; ++i)
                for (int v : adj[frontier[i]]) {
                    std::atomic_ref<int> entry(distance[v]);
                    int unseen = -1;
                    if (entry.load(std::memory_order_relaxed) == -1 && entry.compare_exchange_strong(unseen, level + 1))
                        claimed.push_back(v);
                }
            std::lock_guard<std::mutex> lock(next_mutex);
            next.insert(next.end(), claimed.begin(), claimed.end());
        });
        frontier = std::move(next);
    }
    return distance;
}

}  // namespace veltrix
