// Gathering PageRank: power iteration in pull form. Vertex i's new score is
//   d * (D / n + sum of score[u] / out-degree(u) over in-neighbours u) + (1 - d) / n,
// where D is the mass of the vertices without out-edges, spread evenly over all vertices. The sum
// runs over i's in-edges in ascending source order from 0.0.

#include "algorithms/pagerank_gather.hpp"

#include "algorithms/pagerank_common.hpp"

namespace veltrix {

namespace {

template <class View>
std::vector<double> gathered(const View& graph, int iterations, double damping, int workers,
                             Interrupt* interrupt) {
    return pagerank::power_iteration(
        graph, iterations, damping, workers, interrupt, /*may_pack=*/true,
        [](const pagerank::InEdges& in, const Buffer<double>& share, int i) {
            return pagerank::sum_shares(in, share, in.offsets[i], in.offsets[i + 1]);
        });
}

}  // namespace

std::vector<double> pagerank_gather(const ListsView& graph, int iterations, double damping,
                                    int workers, Interrupt* interrupt) {
    return gathered(graph, iterations, damping, workers, interrupt);
}

std::vector<double> pagerank_gather(const CsrView& graph, int iterations, double damping,
                                    int workers, Interrupt* interrupt) {
    return gathered(graph, iterations, damping, workers, interrupt);
}

}  // namespace veltrix
