#pragma once

#include <cstdint>
#include <vector>

#include "graph/graph.hpp"
#include "graph/weighted_graph.hpp"

namespace veltrix {

// Every algorithm reads the graph without changing it, resolves `threads` by get_thread_count
// and has joined all of its worker threads before it returns or throws.


// Hop distance of every vertex from `source` along the lists; -1 where unreachable.
std::vector<int> parallel_bfs(const Graph& graph, int source, int threads);

// Whether each vertex is reachable from `source` along the lists.
std::vector<bool> parallel_dfs(const Graph& graph, int source, int threads);


}  // namespace veltrix
