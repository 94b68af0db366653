#pragma once

#include <tuple>
#include <utility>
#include <vector>

#include "graph/graph.hpp"

namespace veltrix {

using WeightedEdge = std::pair<int, double>;  // (neighbour, weight)
using WeightedLists = std::vector<std::vector<WeightedEdge>>;
using WeightedEdgeList = std::vector<std::tuple<int, int, double>>;
using WeightMatrix = std::vector<std::vector<double>>;

// A Graph whose edges carry a double weight. `weighted_adj` holds (neighbour, weight) pairs and
// the inherited `adj` holds the same neighbours in the same order, so every algorithm written for
// Graph sees the same edges. Every operation, the inherited unweighted ones included, writes both.
class WeightedGraph : public Graph {
public:
    WeightedGraph();
    WeightedGraph(int vertices, bool directed);
    ~WeightedGraph() override;

    void add_vertex() override;
    // Reached through a Graph reference: an edge given without a weight weighs 1.0, and an integer
    // matrix entry is the weight of its edge.
    void add_edge(int u, int v) override;
    void add_edges(const EdgeList& edges) override;
    void build_from_adj_matrix(const IntMatrix& matrix) override;
    void build_from_adj_list(const AdjacencyLists& lists) override;
    void print_graph() const override;

    void add_edge(int u, int v, double weight);
    void add_edges(const WeightedEdgeList& edges);
    void build_from_adj_list(const WeightedLists& lists);
    void build_from_adj_matrix(const WeightMatrix& matrix);
    const WeightedLists& get_adj() const { return weighted_adj; }

private:
    void append_edge(int u, int v, double weight);
    // Appends the edges in order up to the first one with an end outside the graph, then throws
    // the "Vertex index out of range" error if there is such an edge.
    template <class Edges, class WeightOf>
    void append_edges(const Edges& edges, WeightOf weight_of);
    template <class Value>
    void rebuild_from_matrix(const std::vector<std::vector<Value>>& matrix);
    // Replaces both sets of lists with `lists` and the neighbours they name.
    void install(WeightedLists lists);

    WeightedLists weighted_adj;
};

}  // namespace veltrix
