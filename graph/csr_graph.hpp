#pragma once

// Graphs in compressed form, built in parallel: v's list is targets[offsets[v] .. offsets[v + 1]),
// with weights at the same positions when the graph has them. An undirected edge stands in the
// lists of both its ends (a self-loop twice in its vertex's list), as Graph stores it, so an
// undirected graph built from edges mirrors its lists; one copied from lists installed whole
// need not, and says so.

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
    bool mirrored = false;         // every entry u -> v matched by an entry v -> u
    Buffer<std::int64_t> offsets;  // vertices + 1 entries, from 0
    Buffer<int> targets;
    Buffer<double> weights;        // empty when unweighted
    bool ascending = false;        // every list known to be in ascending order

    CsrView view() const {
        return {vertices, offsets.data(), targets.data(), weighted ? weights.data() : nullptr,
                mirrored, ascending};
    }
};

// The edges src[i] -> dst[i] (with weights[i] when `weights` is not null), i < count, as Graph(n,
// edges, directed) would list them: every list in input order. With `simplify`, self-loops are
// dropped and each list is sorted and keeps one entry per neighbour, the lightest (NaN weighs
// most). Throws std::out_of_range when an id is not a vertex, and std::runtime_error when the
// arrays change while they are read. Compiled for int32, int64, uint32 and uint64 ids.
template <class Id>
CsrGraph csr_from_edges(const Id* src, const Id* dst, const double* weights, std::int64_t count,
                        int vertices, bool directed, bool simplify, Team& team);

// csr_from_edges placing entries through per-vertex cursors of type Cursor, which must hold every
// index into the graph; csr_from_edges picks the narrowest that does. Compiled for int32 ids with
// 64-bit cursors, so that the wide path is tested on graphs that do not need it.
template <class Id, class Cursor>
CsrGraph csr_from_edges_through(const Id* src, const Id* dst, const double* weights,
                                std::int64_t count, int vertices, bool directed, bool simplify,
                                Team& team);

// Builds a graph from edges that arrive in batches, so the whole edge list need not be in memory
// at once: every batch is counted first, then every batch is placed, in the same order and with
// the same edges (placing checks that by the hashes of what it reads). The lists are those of one
// csr_from_edges over all the batches in order.
class CsrBuilder {
public:
    CsrBuilder(int vertices, bool directed, bool weighted, bool simplify);
    template <class Id>
    void count(const Id* src, const Id* dst, std::int64_t count, Team& team);
    template <class Id>
    void place(const Id* src, const Id* dst, const double* weights, std::int64_t count, Team& team);
    // Throws std::runtime_error unless the batches placed were the batches counted.
    CsrGraph finish(Team& team);

private:
    void allocate(Team& team);

    CsrGraph graph_;  // offsets[v + 1] sums list v's length while batches are counted
    Buffer<std::int64_t> next_;  // where list v's next entry goes, while batches are placed
    std::uint64_t counted_hash_ = 0, placed_hash_ = 0;
    std::int64_t counted_edges_ = 0, placed_edges_ = 0;
    bool simplify_;
    bool allocated_ = false;
};

// The lists of a Graph (and the weights of a WeightedGraph) in their order.
CsrGraph csr_from_lists(const ListsView& graph, bool directed, Team& team);

// Why arrays read from outside cannot be a CSR graph of `vertices` vertices, or "" when they can:
// offsets from 0, never decreasing, ending at `entries`; every target a vertex; and, where they
// are said to be `mirrored`, lists that mirror each other (checked by a hash of every entry against the
// hash of its reverse, so a damaged file is caught, not proven whole). Sets `ascending`, when given,
// to whether every list is in ascending order.
std::string csr_problem(int vertices, const std::int64_t* offsets, const int* targets,
                        std::int64_t entries, bool mirrored, Team& team, bool* ascending = nullptr);

}  // namespace veltrix
