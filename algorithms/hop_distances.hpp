#pragma once

#include "graph/view.hpp"
#include "parallel/buffer.hpp"
#include "parallel/team.hpp"

namespace veltrix {

// Hop distance of every vertex from `source` along the lists; -1 where unreachable. The same for
// every worker count. Throws "Vertex index out of range" unless `source` is a vertex.
Buffer<int> hop_distances(const ListsView& graph, int source, int workers,
                          Interrupt* interrupt = nullptr);
Buffer<int> hop_distances(const CsrView& graph, int source, int workers,
                          Interrupt* interrupt = nullptr);

}  // namespace veltrix
