// Triangle totals against the definition counted serially, for every worker count and again and
// again: random graphs, hub-heavy graphs whose short lists are galloped through long ones, and
// small cases whose repeated edges pin the multiplicity rule.

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "algorithms/triangle_count.hpp"
#include "check.hpp"
#include "interrupted.hpp"
#include "random_graph.hpp"
#include "reference/triangle_count.hpp"

namespace {

using namespace veltrix;

constexpr int kRuns = 2;

void same_as_reference(const Graph& graph, const std::string& name) {
    check::context() = name;
    const std::int64_t expected = reference::triangle_count(graph.get_adj());
    for (int workers : testing::kWorkers)
        for (int run = 0; run < kRuns; ++run) CHECK_EQ(triangle_count(graph, workers), expected);
}

// Both ends drawn towards low vertex numbers, so a few hubs hold most edges and most triangles,
// with repeats and self-loops among them.
Graph hubs(int n, int m, bool directed, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> draw(0, n - 1);
    auto skewed = [&] { return static_cast<int>(draw(random) * draw(random) / n); };
    EdgeList edges;
    for (int i = 0; i < m; ++i) edges.emplace_back(skewed(), skewed());
    return Graph(n, edges, directed);
}

void counts(const EdgeList& edges, bool directed, std::int64_t expected) {
    const Graph graph(5, edges, directed);
    check::context() = "small edge list";
    for (int workers : testing::kWorkers) CHECK_EQ(triangle_count(graph, workers), expected);
}

// One triangle 0, 1, 2 with each edge repeated 1..3 times, and thirty leaves on every corner but
// the `bare` one, which is then the corner of lowest degree: a count taken from another corner
// than the lowest-numbered one must still weigh the edges as the definition does. The leaves make
// the degrees skewed enough for the count to order the vertices by degree.
void repeated_triangle_edges() {
    for (int bare = -1; bare < 3; ++bare)
        for (int times = 0; times < 27; ++times) {
            EdgeList edges;
            const int repeats[] = {1 + times % 3, 1 + times / 3 % 3, 1 + times / 9};
            const std::pair<int, int> sides[] = {{0, 1}, {0, 2}, {1, 2}};
            for (int side = 0; side < 3; ++side)
                for (int r = 0; r < repeats[side]; ++r) edges.push_back(sides[side]);
            for (int corner = 0; corner < 3; ++corner)
                if (corner != bare)
                    for (int leaf = 3; leaf < 33; ++leaf) edges.emplace_back(corner, leaf);
            same_as_reference(Graph(33, edges, false),
                              "repeated triangle edges " + std::to_string(times));
        }
}

void stops_when_interrupted(const Graph& graph) {
    testing::stops_when_interrupted(
        [&](int workers, Interrupt* interrupt) { triangle_count(graph, workers, interrupt); });
}

}  // namespace

int main() {
    unsigned seed = 1;
    for (const testing::Case& c : testing::kCases)
        same_as_reference(testing::random_graph(c, seed++), c.name());
    same_as_reference(Graph(), "no vertices");
    for (bool directed : {false, true}) {
        same_as_reference(hubs(3000, 40000, directed, seed++), "hubs");
        same_as_reference(hubs(400, 20000, directed, seed++), "dense hubs");
    }
    // The edge counted with its multiplicity is the one between the two lowest vertices.
    counts({{0, 1}, {1, 2}, {0, 2}, {0, 1}}, false, 2);
    counts({{0, 1}, {1, 2}, {0, 2}, {0, 2}}, false, 1);
    counts({{0, 1}, {1, 2}, {0, 2}, {1, 2}, {2, 2}}, false, 1);
    counts({{0, 1}, {0, 2}, {1, 2}}, true, 1);
    repeated_triangle_edges();
    counts({{0, 1}, {1, 2}, {2, 0}}, true, 0);
    stops_when_interrupted(hubs(3000, 40000, false, seed));
    return check::report();
}
