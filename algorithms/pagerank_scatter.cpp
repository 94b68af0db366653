// Scattering PageRank, computed from the target side. Slot t's accumulator entry for vertex i is
// the sum, from 0.0, of the shares i receives from the sources of block t, in ascending source
// order; since i's in-edges are sorted by source, those sources form one run of i's in-edge list.
// So each vertex sums its in-edges run by run and adds the run totals in slot order, which is
// exactly what the slots' private accumulators and their slot-order combination produce, with no
// accumulator arrays, no zeroing, and the work balanced over the team however the edges fall into
// the blocks. A slot without sources for i contributes 0.0, and adding 0.0 to a non-negative sum
// changes no bit, so empty runs are skipped.

#include "algorithms/pagerank_scatter.hpp"

#include "algorithms/pagerank_common.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

template <class View>
std::vector<double> scattered(const View& graph, int iterations, double damping, int workers,
                              Interrupt* interrupt) {
    const long long block = chunk_length(graph.vertices(), workers);  // slot_block's block length
    return pagerank::power_iteration(
        graph, iterations, damping, workers, interrupt, /*may_pack=*/false,
        [block](const pagerank::InEdges& in, const Buffer<double>& share, int i) {
            const std::int64_t begin = in.offsets[i], end = in.offsets[i + 1];
            // Sources all in the first block (all of them, on one worker) make one run: the plain
            // sum, without a test per source.
            if (begin == end || in.sources[end - 1] < block)
                return 0.0 + pagerank::sum_shares(in, share, begin, end);
            double gathered = 0.0, run = 0.0;
            long long run_end = block;
            for (std::int64_t k = begin; k < end; ++k) {
                const int u = in.sources[k];
                if (u >= run_end) {
                    gathered = gathered + run;
                    run = 0.0;
                    // To u's block by steps, at most one per slot: cheaper than a 64-bit division.
                    do run_end += block;
                    while (u >= run_end);
                }
                run = run + share[u];
            }
            return gathered + run;
        });
}

}  // namespace

std::vector<double> pagerank_scatter(const ListsView& graph, int iterations, double damping,
                                     int workers, Interrupt* interrupt) {
    return scattered(graph, iterations, damping, workers, interrupt);
}

std::vector<double> pagerank_scatter(const CsrView& graph, int iterations, double damping,
                                     int workers, Interrupt* interrupt) {
    return scattered(graph, iterations, damping, workers, interrupt);
}

}  // namespace veltrix
