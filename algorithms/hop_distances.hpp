#pragma once

#include <vector>

#include "graph/graph.hpp"
#include "parallel/team.hpp"

namespace veltrix {

// Hop distance of every vertex from `source` along the lists; -1 where unreachable. The same for
// every worker count. Throws "Vertex index out of range" unless `source` is a vertex.
std::vector<int> hop_distances(const Graph& graph, int source, int workers, Interrupt* interrupt = nullptr);

// Carries a search on from `frontier`, whose vertices hold `level` in `distance`: each vertex
// holding -1 that the frontier reaches gets `level` plus its hops from the frontier. Every other
// vertex counts as visited and must have no out-neighbour holding -1.
void search_levels(const Graph& graph, std::vector<int>& distance, std::vector<int> frontier, int level, int workers,
                   Interrupt* interrupt);

}  // namespace veltrix
