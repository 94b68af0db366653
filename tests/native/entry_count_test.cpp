// The graph's count of list entries, which sizes every kernel's work, stays equal to the lengths
// of its lists summed through every kind of change, failed ones included.

#include <stdexcept>

#include "check.hpp"
#include "graph/weighted_graph.hpp"

namespace {

using namespace veltrix;

long long summed(const Graph& graph) {
    long long entries = 0;
    for (const auto& list : graph.get_adj()) entries += static_cast<long long>(list.size());
    return entries;
}

void count_follows(Graph& graph) {
    CHECK_EQ(graph.entry_count(), summed(graph));
    graph.add_edge(0, 1);
    graph.add_edge(2, 2);
    CHECK_EQ(graph.entry_count(), summed(graph));
    graph.add_edges({{1, 2}, {0, 0}, {2, 0}});
    CHECK_EQ(graph.entry_count(), summed(graph));
    // The edges before the bad one stay.
    try {
        graph.add_edges({{0, 2}, {1, 9}, {1, 1}});
    } catch (const std::out_of_range&) {
    }
    CHECK_EQ(graph.entry_count(), summed(graph));
    try {
        graph.add_edge(0, -1);
    } catch (const std::out_of_range&) {
    }
    graph.add_vertex();
    graph.add_edge(3, 0);
    CHECK_EQ(graph.entry_count(), summed(graph));
    graph.build_from_adj_matrix({{1, 0, 2}, {0, 0, 1}, {1, 1, 0}});
    CHECK_EQ(graph.entry_count(), summed(graph));
    graph.build_from_adj_list({{1, 1}, {}, {0, 1, 2}, {3}});
    CHECK_EQ(graph.entry_count(), summed(graph));
}

}  // namespace

int main() {
    for (bool directed : {false, true}) {
        check::context() = directed ? "directed" : "undirected";
        Graph graph(3, directed);
        count_follows(graph);
        WeightedGraph weighted(3, directed);
        count_follows(weighted);
        weighted.add_edge(1, 2, 0.5);
        weighted.add_edges(WeightedEdgeList{{0, 1, 2.0}, {2, 2, -1.0}});
        weighted.build_from_adj_list(WeightedLists{{{1, 0.5}}, {{0, 1.5}, {1, 1.0}}});
        weighted.build_from_adj_matrix(WeightMatrix{{0.0, 1.5}, {2.5, 0.0}});
        CHECK_EQ(weighted.entry_count(), summed(weighted));
        const Graph from_lists({{1, 2}, {0}, {}}, directed);
        CHECK_EQ(from_lists.entry_count(), 3LL);
        const Graph from_edges(4, {{0, 1}, {1, 1}, {3, 2}}, directed);
        CHECK_EQ(from_edges.entry_count(), summed(from_edges));
    }
    return check::report();
}
