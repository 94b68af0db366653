// Scattering PageRank, computed from the target side. Slot t's accumulator entry for vertex i is
// the sum, from 0.0, of the shares i receives from the sources of block t, in ascending source
// order; since i's in-edges are sorted by source, those sources form one run of i's in-edge list.
// So each vertex sums its in-edges run by run and adds the run totals in slot order, which is
// exactly what the slots' private accumulators and their slot-order combination produce, with no
// accumulator arrays, no zeroing, and the work balanced over the team however the edges fall into
// the blocks. A slot without sources for i contributes 0.0, and adding 0.0 to a non-negative sum
// changes no bit, so empty runs are skipped.
//
// Where the runs begin is found once per call, not in every iteration: a test of each source
// against its block's end would cost a mispredicted branch per run in every iteration.

#include "algorithms/pagerank_scatter.hpp"

#include <algorithm>
#include <cstddef>

#include "algorithms/pagerank_common.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

// Where each vertex's in-edges move on to a later block of sources: cuts[first[i] .. first[i + 1])
// are the in-edge positions, ascending, at which i's second, third, ... run begins.
struct RunStarts {
    std::vector<std::size_t> first;
    std::vector<std::size_t> cuts;
};

RunStarts run_starts(const pagerank::InEdges& in, int block, Team& team) {
    const int n = static_cast<int>(in.degree.size());
    RunStarts runs{std::vector<std::size_t>(static_cast<std::size_t>(n) + 1, 0), {}};
    if (block >= n) return runs;  // one block: every vertex has one run
    // Each run's end is searched for, so a vertex costs a few probes per run, not a look at
    // every in-edge.
    const auto each_cut = [&](int i, auto&& cut) {
        const int* const end = in.sources.get() + in.offsets[i + 1];
        for (const int* run = in.sources.get() + in.offsets[i]; run != end;) {
            const long long run_end = (static_cast<long long>(*run) / block + 1) * block;
            run = std::lower_bound(run, end, run_end);
            if (run != end) cut(static_cast<std::size_t>(run - in.sources.get()));
        }
    };
    team.for_each(0, n, [&](int i) { each_cut(i, [&](std::size_t) { ++runs.first[i + 1]; }); });
    for (int i = 0; i < n; ++i) runs.first[i + 1] += runs.first[i];
    runs.cuts.resize(runs.first[n]);
    team.for_each(0, n, [&](int i) {
        std::size_t* out = runs.cuts.data() + runs.first[i];
        each_cut(i, [&](std::size_t k) { *out++ = k; });
    });
    return runs;
}

}  // namespace

std::vector<double> pagerank_scatter(const Graph& graph, int iterations, double damping, int workers,
                                     Interrupt* interrupt) {
    const int block = chunk_size(graph.vertices(), workers);  // slot_block's block length
    return pagerank::power_iteration(
        graph, iterations, damping, workers, interrupt, [block](const pagerank::InEdges& in, Team& team) {
            return [&in, runs = run_starts(in, block, team)](const std::vector<double>& share, int i) {
                double gathered = 0.0;
                std::size_t start = in.offsets[i];
                for (std::size_t c = runs.first[i]; c < runs.first[i + 1]; start = runs.cuts[c++])
                    gathered = gathered + pagerank::sum_shares(in, share, start, runs.cuts[c]);
                return gathered + pagerank::sum_shares(in, share, start, in.offsets[i + 1]);
            };
        });
}

}  // namespace veltrix
