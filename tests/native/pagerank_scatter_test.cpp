// The scattering PageRank on seeded random graphs against its one-thread reference with the same
// slot count: the bits follow the slot count given, whatever the team runs it on, run after run.

#include <vector>

#include "algorithms/pagerank_scatter.hpp"
#include "check.hpp"
#include "random_graph.hpp"
#include "reference/pagerank_scatter.hpp"

namespace {

constexpr int kRuns = 2;
constexpr int kLargeGraph = 5000;  // past this many vertices one run each

void check_case(const testing::Case& c, unsigned seed) {
    check::context() = c.name();
    const veltrix::Graph graph = testing::random_graph(c, seed);
    for (const auto& [iterations, damping] : {std::pair{4, 0.85}, std::pair{1, 0.5}})
        for (int slots : testing::kWorkers) {
            const std::vector<double> expected =
                reference::pagerank_scatter(graph.get_adj(), iterations, damping, slots);
            for (int run = 0; run < (c.n > kLargeGraph ? 1 : kRuns); ++run)
                CHECK(veltrix::pagerank_scatter(graph, iterations, damping, slots) == expected);
        }
}

}  // namespace

int main() {
    unsigned seed = 1;
    for (const testing::Case& c : testing::kCases) check_case(c, seed++);
    // More slots than vertices: the slots past the last vertex push nothing.
    const veltrix::Graph pair(veltrix::AdjacencyLists{{1, 1}, {}}, true);
    CHECK(veltrix::pagerank_scatter(pair, 5, 0.85, 7) ==
          reference::pagerank_scatter(pair.get_adj(), 5, 0.85, 7));
    return check::report();
}
