#pragma once

#include <cstdint>

#include "graph/view.hpp"
#include "parallel/team.hpp"

namespace veltrix {

// Vertex triples u < v < w with v and w in u's list and w in v's list: every occurrence of v in
// u's list counts, and with it each w as often as the list holding w fewer times holds it. For
// undirected lists without repeats, the number of triangles. Does not depend on `workers`.
std::int64_t triangle_count(const ListsView& graph, int workers, Interrupt* interrupt = nullptr);
std::int64_t triangle_count(const CsrView& graph, int workers, Interrupt* interrupt = nullptr);

}  // namespace veltrix
