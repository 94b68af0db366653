#pragma once

#include <vector>

#include "graph/view.hpp"
#include "parallel/team.hpp"

namespace veltrix {

// PageRank after exactly `iterations` power iterations, each vertex summing its in-neighbours'
// shares in ascending source order: bit-for-bit the same for every worker count.
std::vector<double> pagerank_gather(const ListsView& graph, int iterations, double damping,
                                    int workers, Interrupt* interrupt = nullptr);
std::vector<double> pagerank_gather(const CsrView& graph, int iterations, double damping,
                                    int workers, Interrupt* interrupt = nullptr);

}  // namespace veltrix
