#pragma once

#include <cstdint>
#include <vector>

#include "graph/graph.hpp"
#include "graph/weighted_graph.hpp"

namespace veltrix {

// Every algorithm reads the graph without changing it, resolves `threads` by get_thread_count
// and has joined all of its worker threads before it returns or throws.

// Label of every vertex: the smallest vertex of its component, edge direction ignored.
std::vector<int> parallel_connected_components(const Graph& graph, int threads);

// Hop distance of every vertex from `source` along the lists; -1 where unreachable.
std::vector<int> parallel_bfs(const Graph& graph, int source, int threads);

// Whether each vertex is reachable from `source` along the lists.
std::vector<bool> parallel_dfs(const Graph& graph, int source, int threads);

// Vertex triples u < v < w with v, w in u's list and w in v's list, with multiplicities.
std::int64_t triangle_count_parallel(const Graph& graph, int threads);

}  // namespace veltrix
