#pragma once

// Graphs in compressed form, built in parallel: v's list is targets[offsets[v] .. offsets[v + 1]),
// with weights at the same positions when the graph has them. An undirected edge stands in the
// lists of both its ends (a self-loop twice in its vertex's list), as Graph stores it, so every
// undirected CSR graph mirrors its lists.

#include <cstdint>
#include <string>

#include "graph/view.hpp"
#include "parallel/buffer.hpp"
#include "parallel/team.hpp"

namespace veltrix {

struct CsrGraph {
    int vertices = 0;
    bool directed = false;
    bool weighted = false;
    Buffer<std::int64_t> offsets;  // vertices + 1 entries, from 0
    Buffer<int> targets;
    Buffer<double> weights;        // empty when unweighted

    CsrView view() const {
        return {vertices, offsets.data(), targets.data(), weighted ? weights.data() : nullptr, !directed};
    }
};

// The edges src[i] -> dst[i] (with weights[i] when `weights` is not null), i < count, as Graph(n,
// edges, directed) would list them: every list in input order. With `simplify`, self-loops are
// dropped and each list is sorted and keeps one entry per neighbour, the lightest (NaN weighs
// most). Throws std::out_of_range when an id is not a vertex, and std::runtime_error when the
// arrays change while they are read. Compiled for int32, int64, uint32 and uint64 ids.
template <class Id>
CsrGraph csr_from_edges(const Id* src, const Id* dst, const double* weights, std::int64_t count, int vertices,
                        bool directed, bool simplify, Team& team);

// The lists of a Graph (and the weights of a WeightedGraph) in their order.
CsrGraph csr_from_lists(const ListsView& graph, bool directed, Team& team);

// Why arrays read from outside cannot be a CSR graph of `vertices` vertices, or "" when they can:
// offsets from 0, never decreasing, ending at `entries`; every target a vertex; and, unless the
// graph is directed, lists that mirror each other (checked by a hash of every entry against the
// hash of its reverse, so a damaged file is caught, not proven whole).
std::string csr_problem(int vertices, const std::int64_t* offsets, const int* targets, std::int64_t entries,
                        bool directed, Team& team);

}  // namespace veltrix
