// Component labels against a serial union-find, for every worker count and again and again (races
// show up as labels that vary): random graphs, lists that hold an edge at one end only, long
// chains whose smallest vertex sits at the far end, one that no sampled edge reaches, and the
// random graphs again with sorted lists.

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "algorithms/connected_components.hpp"
#include "check.hpp"
#include "graph/csr_graph.hpp"
#include "interrupted.hpp"
#include "random_graph.hpp"
#include "reference/connected_components.hpp"

namespace {

using namespace veltrix;

constexpr int kRuns = 4;

void same_as_reference(const Graph& graph, const std::string& name, int runs = kRuns) {
    check::context() = name;
    const std::vector<int> expected = reference::connected_components(graph.get_adj());
    for (int workers : testing::kWorkers)
        for (int run = 0; run < runs; ++run)
            CHECK(std::ranges::equal(connected_components(graph, workers), expected));
}

// Lists known to be ascending, as a simplified graph keeps them, are sampled from their first two
// entries rather than searched: the same graph with its lists sorted, as compressed lists.
void sorted_same_as_reference(const Graph& graph, const std::string& name) {
    check::context() = name + " sorted";
    AdjacencyLists lists = graph.get_adj();
    for (std::vector<int>& list : lists) std::ranges::sort(list);
    Team builder(2);
    CsrGraph csr = csr_from_lists(Graph(lists, graph.is_directed()), graph.is_directed(), builder);
    csr.ascending = true;
    const std::vector<int> expected = reference::connected_components(graph.get_adj());
    for (int workers : testing::kWorkers)
        CHECK(std::ranges::equal(connected_components(csr.view(), workers), expected));
}

// Undirected lists installed whole need not mirror each other: a big component whose vertices
// each hold edges to others of it, and many small stars whose edges stand only in the list of a
// vertex of that component, which a sweep that skipped the component would miss.
Graph one_sided_lists(int n) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> member(0, n / 2 - 1);
    AdjacencyLists lists(n);
    for (int u = 1; u < n / 2; ++u) {
        lists[u].push_back(u - 1);
        for (int i = 0; i < 6; ++i) lists[u].push_back(member(random));
    }
    for (int u = n / 2; u + 2 < n; u += 4) {
        std::vector<int>& list = lists[member(random)];
        list.insert(list.end(), {u, u + 1, u + 2});
    }
    return Graph(lists, false);
}

// A path numbered downwards and a grid, each with its smallest vertex reached last: directed, the
// edges stand in one list only; undirected, in both, and the largest component's lists are skipped.
Graph reversed_path(int n, bool directed) {
    EdgeList edges;
    for (int u = n - 1; u > 0; --u) edges.emplace_back(u, u - 1);
    return Graph(n, edges, directed);
}

Graph grid(int side, bool directed) {
    EdgeList edges;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const int v = r * side + c;
            if (c + 1 < side) edges.emplace_back(v + 1, v);
            if (r + 1 < side) edges.emplace_back(v + side, v);
        }
    return Graph(side * side, edges, directed);
}

// A path whose smallest vertex, 0, hangs off vertex 1 by an edge that neither samples: the only
// entry of 0's list is larger than 0, and 1's list holds it past the entries it samples. The
// sweep then finds a new root for the whole largest component.
Graph root_found_by_the_sweep(int n) {
    EdgeList edges;
    for (int v = 2; v < 12; ++v) edges.emplace_back(1, v);
    for (int v = 1; v + 1 < n; ++v) edges.emplace_back(v, v + 1);
    edges.emplace_back(1, 0);
    return Graph(n, edges, false);
}

void stops_when_interrupted(const Graph& graph) {
    testing::stops_when_interrupted([&](int workers, Interrupt* interrupt) {
        connected_components(graph, workers, interrupt);
    });
}

}  // namespace

int main() {
    unsigned seed = 1;
    for (const testing::Case& c : testing::kCases) {
        const Graph graph = testing::random_graph(c, seed++);
        same_as_reference(graph, c.name());
        sorted_same_as_reference(graph, c.name());
    }
    same_as_reference(Graph(), "no vertices");
    same_as_reference(Graph(5000, false), "no edges");
    // Big enough that the kernel puts two workers or more on them.
    const Graph mirrored = testing::random_graph({1 << 16, 1 << 19, false}, seed++);
    const Graph one_sided = one_sided_lists(1 << 18);
    CHECK(mirrored.is_mirrored() && !one_sided.is_mirrored());
    same_as_reference(mirrored, "big undirected", 1);
    same_as_reference(testing::random_graph({1 << 16, 1 << 20, true}, seed++), "big directed", 1);
    same_as_reference(one_sided, "one-sided lists", 1);
    // Sparse, so that many vertices stay outside the largest component, and with a vertex count
    // no multiple of 64, so that the bitmap ends in a part word.
    same_as_reference(testing::random_graph({(1 << 20) + 1000, 1 << 21, false}, seed++),
                      "many outsiders", 1);
    for (bool directed : {true, false}) {
        const std::string kind = directed ? " directed" : " undirected";
        same_as_reference(reversed_path(50000, directed), "reversed path" + kind);
        same_as_reference(grid(200, directed), "grid" + kind);
    }
    same_as_reference(root_found_by_the_sweep(5000), "root found by the sweep");
    stops_when_interrupted(grid(200, true));
    return check::report();
}
