#pragma once

#include <vector>

#include "graph/view.hpp"
#include "parallel/team.hpp"

namespace veltrix {

// PageRank after exactly `iterations` power iterations with the sums of the scattering scheme:
// `workers` slots each push the shares of one contiguous block of vertices (slot_block) into an
// accumulator of their own, and vertex i adds the accumulators up in slot order from 0.0. The bits
// depend on `workers`, used exactly as given, and on nothing else.
std::vector<double> pagerank_scatter(const ListsView& graph, int iterations, double damping,
                                     int workers, Interrupt* interrupt = nullptr);
std::vector<double> pagerank_scatter(const CsrView& graph, int iterations, double damping,
                                     int workers, Interrupt* interrupt = nullptr);

}  // namespace veltrix
