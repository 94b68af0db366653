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

// PageRank after exactly `iterations` power iterations. The gathering variant is bit-for-bit the
// same for every thread count; the scattering variant's bits depend only on the thread count.
std::vector<double> parallel_pagerank(const Graph& graph, int iterations, double damping, int threads);
std::vector<double> parallel_pagerank_bfs(const Graph& graph, int iterations, double damping, int threads);

// Weighted distance of every vertex from `source` by repeated relaxation passes; 1e18 where
// unreached. relax_distances also tells how many passes ran.
struct Relaxation {
    std::vector<double> distance;
    int passes;
};
Relaxation relax_distances(const WeightedGraph& graph, int source, int threads);
std::vector<double> parallel_dijkstra(const WeightedGraph& graph, int source, int threads);

// Vertex triples u < v < w with v, w in u's list and w in v's list, with multiplicities.
std::int64_t triangle_count_parallel(const Graph& graph, int threads);

}  // namespace veltrix
