#pragma once

#include <vector>

#include "graph/view.hpp"
#include "parallel/team.hpp"

namespace veltrix {

// Whether each vertex is reachable from `source` along the lists. The same for every worker
// count. Throws "Vertex index out of range" unless `source` is a vertex.
std::vector<bool> reachability(const ListsView& graph, int source, int workers,
                               Interrupt* interrupt = nullptr);
std::vector<bool> reachability(const CsrView& graph, int source, int workers,
                               Interrupt* interrupt = nullptr);

}  // namespace veltrix
