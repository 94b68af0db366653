// Shortest distances on seeded random graphs against plain one-thread relaxation passes, for every
// worker count, run after run, compared bit for bit: non-negative weights (the label-setting
// paths, with NaN, +inf, -0.0 and totals past 1e18 mixed in), negative weights without negative
// cycles (the relaxation passes, any worker count), and negative cycles (one worker only: with
// more, the values the passes reach depend on the schedule).

#include <cstring>
#include <random>
#include <vector>

#include "algorithms/shortest_distances.hpp"
#include "check.hpp"
#include "random_graph.hpp"
#include "reference/shortest_distances.hpp"

namespace {

using veltrix::WeightedGraph;
using veltrix::WeightedLists;

constexpr int kRuns = 2;
constexpr int kLargeGraph = 5000;  // past this many vertices: one source, one run

bool same_bits(const veltrix::Buffer<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// The graph with every weight w of an edge u -> v replaced by change(u, v, w).
template <class Change>
WeightedGraph reweighted(const WeightedGraph& graph, Change change) {
    WeightedLists lists = graph.get_adj();
    for (int u = 0; u < graph.vertices(); ++u)
        for (auto& [v, weight] : lists[u]) weight = change(u, v, weight);
    WeightedGraph copy(graph.vertices(), graph.is_directed());
    copy.build_from_adj_list(lists);
    return copy;
}

void check_graph(const WeightedGraph& graph, const std::string& what, bool any_schedule) {
    const bool large = graph.vertices() > kLargeGraph;
    for (int source : {graph.vertices() / 3, 0}) {
        if (large && source == 0) break;
        check::context() = what + " source=" + std::to_string(source);
        const reference::Distances expected =
            reference::shortest_distances(graph.get_adj(), source);
        for (int workers : testing::kWorkers) {
            if (!expected.converged && !any_schedule && workers > 1) continue;
            for (int run = 0; run < (large ? 1 : kRuns); ++run)
                CHECK(same_bits(veltrix::shortest_distances(graph, source, workers),
                                expected.distance));
        }
    }
}

void check_case(const testing::Case& c, unsigned seed) {
    using testing::Weights;
    const WeightedGraph small = testing::random_graph(c, seed, Weights::small_integers);
    check_graph(small, c.name() + " small integers", true);
    if (c.m > 100'000) return;  // the other mixes take too long under the sanitizers here
    const WeightedGraph awkward = testing::random_graph(c, seed, Weights::awkward);
    check_graph(awkward, c.name() + " awkward", true);
    // Without the huge weights every bucket stays in reach of delta-stepping.
    check_graph(reweighted(awkward, [](int, int, double w) { return w == 6e17 ? 3.5 : w; }),
                c.name() + " awkward, no huge", true);
    // Shifted by vertex potentials: negative edges, yet every cycle weighs as much as before.
    std::mt19937 random(seed);
    std::vector<double> potential(c.n);
    for (double& p : potential) p = static_cast<double>(random() % 20);
    check_graph(
        reweighted(small, [&](int u, int v, double w) { return w + potential[v] - potential[u]; }),
        c.name() + " signed, no negative cycle", true);
    // Negative cycles run the passes to their cap of n - 1: small graphs only.
    if (c.n <= 300)
        check_graph(testing::random_graph(c, seed, Weights::signed_values), c.name() + " signed",
                    false);
}

// Hubs one step from the source, at weight 0: the first bucket refills with lists long enough that
// a team shares them in a pass of their own instead of one worker draining them.
void check_hubs(unsigned seed) {
    constexpr int kVertices = 30000, kHubs = 8, kSpokes = 3000;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> vertex(kHubs + 1, kVertices - 1), weight(0, 9);
    veltrix::WeightedEdgeList edges;
    for (int hub = 1; hub <= kHubs; ++hub) {
        edges.emplace_back(0, hub, 0.0);
        for (int k = 0; k < kSpokes; ++k) edges.emplace_back(hub, vertex(random), weight(random));
    }
    for (int k = 0; k < 3 * kVertices; ++k)
        edges.emplace_back(vertex(random), vertex(random), weight(random));
    for (const bool directed : {false, true}) {
        WeightedGraph graph(kVertices, directed);
        graph.add_edges(edges);
        check::context() = directed ? "hubs, directed" : "hubs";
        const reference::Distances expected = reference::shortest_distances(graph.get_adj(), 0);
        for (int workers : testing::kWorkers)
            CHECK(same_bits(veltrix::shortest_distances(graph, 0, workers), expected.distance));
    }
}

}  // namespace

int main() {
    unsigned seed = 1;
    for (const testing::Case& c : testing::kCases) check_case(c, seed++);
    check_hubs(seed);
    bool refused = false;
    try {
        veltrix::shortest_distances(WeightedGraph(3, true), 3, 2);
    } catch (const std::out_of_range&) {
        refused = true;
    }
    CHECK(refused);
    return check::report();
}
