#pragma once

#include "graph/view.hpp"
#include "parallel/buffer.hpp"
#include "parallel/team.hpp"

namespace veltrix {

// Weighted distance of every vertex from `source`: the lightest path, its weights added along the
// path in double arithmetic; 1e18 where unreached, and no total of 1e18 or more is ever stored. NaN
// and +inf weights never relax. Throws "Vertex index out of range" for a source outside the graph.
// The view must carry weights.
Buffer<double> shortest_distances(const ListsView& graph, int source, int workers,
                                  Interrupt* interrupt = nullptr);
Buffer<double> shortest_distances(const CsrView& graph, int source, int workers,
                                  Interrupt* interrupt = nullptr);

}  // namespace veltrix
