// The gathering PageRank on seeded random graphs against its one-thread reference: the same bits
// for every worker count, run after run.

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "algorithms/pagerank_common.hpp"
#include "algorithms/pagerank_gather.hpp"
#include "check.hpp"
#include "graph/csr_graph.hpp"
#include "random_graph.hpp"
#include "reference/pagerank_gather.hpp"

namespace {

constexpr int kRuns = 2;
constexpr int kLargeGraph = 5000;  // past this many vertices one run each

void check_case(const testing::Case& c, unsigned seed) {
    check::context() = c.name();
    const veltrix::Graph graph = testing::random_graph(c, seed);
    for (const auto& [iterations, damping] : {std::pair{4, 0.85}, std::pair{1, 0.5}}) {
        const std::vector<double> expected =
            reference::pagerank_gather(graph.get_adj(), iterations, damping);
        for (int workers : testing::kWorkers)
            for (int run = 0; run < (c.n > kLargeGraph ? 1 : kRuns); ++run)
                CHECK(veltrix::pagerank_gather(graph, iterations, damping, workers) == expected);
    }
}

// The in-edges staged a few targets at a time are those staged all at once.
void check_staging_in_groups(const testing::Case& c, unsigned seed) {
    check::context() = c.name();
    const veltrix::Graph graph = testing::random_graph(c, seed);
    const long long work = graph.vertices() + graph.entry_count();
    if (graph.vertices() == 0) return;
    for (int workers : {1, 3}) {
        veltrix::Team team(workers, nullptr);
        const auto whole = veltrix::pagerank::in_edges(veltrix::ListsView(graph), work, team);
        for (std::int64_t limit : {1, 37}) {
            const auto grouped =
                veltrix::pagerank::in_edges(veltrix::ListsView(graph), work, team, limit);
            CHECK(std::equal(whole.offsets, whole.offsets + graph.vertices() + 1, grouped.offsets));
            CHECK(std::equal(whole.sources, whole.sources + graph.entry_count(), grouped.sources));
        }
    }
}

// On a skewed graph past 2^20 vertices, over 8 iterations or more, the shares are kept packed by
// degree. The bits stay the reference's, whether the call rewrites the in-edges it built from lists
// or copies those that a CSR graph of sorted, mirrored lists lends.
void packed_shares_keep_the_bits() {
    check::context() = "packed shares";
    constexpr int n = (1 << 20) + 37;
    // Every vertex links to one of 64 hubs and to one vertex at random.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> hub(0, 63), any(0, n - 1);
    std::vector<int> src, dst;
    for (int v = 0; v < n; ++v)
        for (int to : {hub(random), any(random)}) src.push_back(v), dst.push_back(to);
    veltrix::Team builder(2);
    const veltrix::CsrGraph csr =
        veltrix::csr_from_edges(src.data(), dst.data(), nullptr,
                                static_cast<std::int64_t>(src.size()), n, false, true, builder);
    veltrix::AdjacencyLists lists(n);
    for (int v = 0; v < n; ++v)
        lists[v].assign(csr.targets.data() + csr.offsets[v],
                        csr.targets.data() + csr.offsets[v + 1]);
    const veltrix::Graph graph(lists, false);
    const std::vector<double> expected = reference::pagerank_gather(lists, 8, 0.85);
    for (int workers : {1, 3, 8}) {
        CHECK(veltrix::pagerank_gather(graph, 8, 0.85, workers) == expected);
        CHECK(veltrix::pagerank_gather(csr.view(), 8, 0.85, workers) == expected);
    }
}

}  // namespace

int main() {
    unsigned seed = 1;
    for (const testing::Case& c : testing::kCases) check_case(c, seed++);
    for (const testing::Case& c : testing::kCases) check_staging_in_groups(c, seed++);
    packed_shares_keep_the_bits();
    CHECK(veltrix::pagerank_gather(veltrix::Graph(0, true), 0, 2.0, 3).empty());
    return check::report();
}
