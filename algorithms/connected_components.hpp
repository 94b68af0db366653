#pragma once

#include "graph/view.hpp"
#include "parallel/buffer.hpp"
#include "parallel/team.hpp"

namespace veltrix {

// Label of every vertex: the smallest vertex of its component, edge direction ignored (weakly
// connected components of a directed graph). The labels do not depend on `workers`.
Buffer<int> connected_components(const ListsView& graph, int workers,
                                 Interrupt* interrupt = nullptr);
Buffer<int> connected_components(const CsrView& graph, int workers, Interrupt* interrupt = nullptr);

}  // namespace veltrix
