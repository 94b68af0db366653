// The gathering PageRank on seeded random graphs against its one-thread reference: the same bits
// for every worker count, run after run.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "algorithms/pagerank_common.hpp"
#include "algorithms/pagerank_gather.hpp"
#include "check.hpp"
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

}  // namespace

int main() {
    unsigned seed = 1;
    for (const testing::Case& c : testing::kCases) check_case(c, seed++);
    for (const testing::Case& c : testing::kCases) check_staging_in_groups(c, seed++);
    CHECK(veltrix::pagerank_gather(veltrix::Graph(0, true), 0, 2.0, 3).empty());
    return check::report();
}
