#pragma once

// Pieces shared by the gathering and the scattering PageRank: the argument checks, the per-vertex
// formula, the compressed in-edge view and the power iteration that runs on it.
//
// Both variants are one loop of synchronous power iterations. Every iteration sums, for each
// vertex i, the shares score[u] / out-degree(u) of its in-neighbours u; the variants differ only in
// how that sum is grouped, so each passes its own `Sum` to power_iteration. The sums read the
// in-edges sorted by source, so each is made by one worker in a fixed order and the bits do not
// depend on which worker, or how many, made it.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "graph/view.hpp"
#include "parallel/buffer.hpp"
#include "parallel/team.hpp"
#include "parallel/threads.hpp"

namespace veltrix::pagerank {

// Both checks run before any storage is allocated; iterations are checked first. A NaN damping
// is refused too: it would turn every score into NaN.
inline void require_valid_arguments(int iterations, double damping) {
    if (iterations <= 0) throw std::invalid_argument("iterations must be positive");
    if (!(damping > 0.0 && damping < 1.0)) throw std::invalid_argument("damping must be in (0,1)");
}

// The constants of one iteration: the damping, the dangling mass spread over every vertex (D / n)
// and the teleport share ((1 - d) / n).
struct Step {
    double damping;
    double dangling_share;
    double teleport;

    // d * (D / n + gathered) + (1 - d) / n, evaluated in exactly this order so that both variants
    // and every worker count round alike.
    double score(double gathered) const {
        double q = dangling_share;
        q = q + gathered;
        q = q * damping;
        q = q + teleport;
        return q;
    }
};

// The graph's edges seen from their targets: the sources of v's in-edges are
// sources[offsets[v] .. offsets[v + 1]), ascending, one entry per occurrence of v in a list.
// Built once per call into `transposed`, unless the graph's own arrays already say it: a mirrored
// CSR graph whose lists are sorted lists each vertex's in-edges as its own list.
struct InEdges {
    const std::int64_t* offsets = nullptr;
    const int* sources = nullptr;
    Buffer<double> degree;      // out-degree of every vertex, repeats and self-loops counted
    std::vector<int> dangling;  // the vertices without out-edges, ascending
    struct {
        Buffer<std::int64_t> offsets;
        Buffer<int> sources;
    } transposed;
    // Set when the shares are packed (see pack_shares): vertex v's share is kept at share[slot[v]],
    // and `sources` holds the sources' slots, in `packed_sources` unless rewritten in place. Empty
    // otherwise, and v's share is share[v].
    Buffer<int> slot;
    Buffer<int> packed_sources;
};

// In-edges staged at once by the transpose, 2 bytes each: past this many, it works in groups of
// targets (a graph of 2^31 entries stages 1 GiB at a time instead of 4).
inline constexpr std::int64_t kStagingLimit = std::int64_t{1} << 29;

// `work` is the work of one iteration: every vertex plus every list entry. Compiled for both views.
template <class View>
InEdges in_edges(const View& graph, long long work, Team& team,
                 std::int64_t staging_limit = kStagingLimit);

// The shares of the sources at in-edge positions [first, last), added in that order from 0.0.
inline double sum_shares(const InEdges& in, const Buffer<double>& share, std::int64_t first,
                         std::int64_t last) {
    double sum = 0.0;
    for (std::int64_t k = first; k < last; ++k) sum = sum + share[in.sources[k]];
    return sum;
}

// Vertex ranges [bounds[r], bounds[r + 1]) of about equal work (vertices plus in-edges), enough of
// them for the team to balance hub vertices, and one when the team is a single worker.
std::vector<int> balanced_ranges(const InEdges& in, int team_size);

// Keeps the shares grouped by out-degree, hottest first, where that pays over `iterations`; the
// sums' sources become the shares' slots. `bounds` are the balanced ranges.
void pack_shares(InEdges& in, const std::vector<int>& bounds, int iterations, Team& team);

// Runs `iterations` power iterations from 1 / n everywhere. sum(in, share, i) must return the
// gathered S_i of vertex i from the current shares, reading each source's share at
// share[in.sources[k]]; `may_pack` lets the shares be packed, which a sum that reads the sources as
// vertex numbers forbids. The dangling mass D is summed in ascending vertex order from 0.0 between
// the passes.
template <class View, class Sum>
std::vector<double> power_iteration(const View& graph, int iterations, double damping, int workers,
                                    Interrupt* interrupt, bool may_pack, Sum sum) {
    const int n = graph.vertices();
    if (n == 0) return {};
    require_valid_arguments(iterations, damping);
    const long long work = n + graph.entry_count();
    Team team(workers_for(work, workers), interrupt);
    InEdges in = in_edges(graph, work, team);
    const std::vector<int> bounds = balanced_ranges(in, team.size());
    const int ranges = static_cast<int>(bounds.size()) - 1;
    if (may_pack) pack_shares(in, bounds, iterations, team);
    const bool packed = in.slot.size() != 0;
    const auto place = [&in, packed](int v) { return packed ? in.slot[v] : v; };
    const double count = static_cast<double>(n);

    // An iteration reads only the shares and the dangling mass, both taken before it starts; the
    // shares are read at random and get the buffers' large pages. Two passes over n values are
    // spared each iteration. A vertex without out-edges is no in-edge's source, so no sum reads
    // its share: its slot holds its score instead, which is all the dangling mass needs, and the
    // other scores are written out by the last iteration alone. And where the lists mirror each
    // other, a vertex's out-degree is its in-edge count, read with its in-edges' bounds.
    const bool mirrored = graph.is_mirrored();
    const auto share_of = [&](int v, double q) {
        const double degree =
            mirrored ? static_cast<double>(in.offsets[v + 1] - in.offsets[v]) : in.degree[v];
        return degree > 0.0 ? q / degree : q;
    };
    Buffer<double> share(n), next_share(n);
    team.for_each(0, n, [&](int u) { share[place(u)] = share_of(u, 1.0 / count); });

    std::vector<double> score;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        double mass = 0.0;
        for (int u : in.dangling) mass += share[place(u)];
        const Step step{damping, mass / count, (1.0 - damping) / count};
        const bool last = iteration + 1 == iterations;
        if (last) score.resize(n);
        team.run(ranges, [&](int r, int) {
            for (int i = bounds[r]; i < bounds[r + 1]; ++i) {
                const double q = step.score(sum(in, share, i));
                if (last) score[i] = q;
                next_share[place(i)] = share_of(i, q);
            }
        });
        share.swap(next_share);
    }
    return score;
}

}  // namespace veltrix::pagerank
