#include "graph/weighted_graph.hpp"

#include <iostream>

#include "graph/bulk.hpp"
#include "graph/input.hpp"

namespace veltrix {

WeightedGraph::WeightedGraph() = default;

WeightedGraph::WeightedGraph(int vertices, bool directed)
    : Graph(vertices, directed), weighted_adj(static_cast<std::size_t>(vertices)) {}

WeightedGraph::~WeightedGraph() = default;

void WeightedGraph::add_vertex() {
    // Both sets must keep vertex_count lists: if the base cannot grow, take the new list back.
    weighted_adj.emplace_back();
    try {
        Graph::add_vertex();
    } catch (...) {
        weighted_adj.pop_back();
        throw;
    }
}

void WeightedGraph::append_edge(int u, int v, double weight) {
    require_edge_ends(u, v);
    weighted_adj[u].emplace_back(v, weight);
    adj[u].push_back(v);
    ++stored_entries;
    if (directed) return;
    weighted_adj[v].emplace_back(u, weight);
    adj[v].push_back(u);
    ++stored_entries;
}

void WeightedGraph::add_edge(int u, int v, double weight) { append_edge(u, v, weight); }

void WeightedGraph::add_edge(int u, int v) { append_edge(u, v, 1.0); }

template <class Edges, class WeightOf>
void WeightedGraph::append_edges(const Edges& edges, WeightOf weight_of) {
    const std::size_t valid = leading_valid_edges(edges, vertex_count);
    const std::vector<std::size_t> entries = entries_per_list(edges, valid, vertex_count, directed);
    // Everything that allocates comes first: both sets of lists must stay in step.
    make_room(weighted_adj, entries);
    make_room(adj, entries);
    std::vector<WeightedEdge*> next(weighted_adj.size());
    open_entries(weighted_adj, entries);
    open_entries(adj, entries);
    point_at_new_entries(weighted_adj, entries, next);
    for (std::size_t i = 0; i < valid; ++i) {
        const int u = std::get<0>(edges[i]), v = std::get<1>(edges[i]);
        const double weight = weight_of(edges[i]);
        *next[u]++ = {v, weight};
        if (!directed) *next[v]++ = {u, weight};
    }
    // The neighbours follow list by list, a sequential copy rather than a second scattered write.
    for (std::size_t u = 0; u < adj.size(); ++u) {
        const std::size_t first = adj[u].size() - entries[u];
        for (std::size_t k = first; k < adj[u].size(); ++k) adj[u][k] = weighted_adj[u][k].first;
    }
    count_appended(valid);
    if (valid < edges.size()) throw_vertex_out_of_range();
}

void WeightedGraph::add_edges(const WeightedEdgeList& edges) {
    append_edges(edges, [](const auto& edge) { return std::get<2>(edge); });
}

void WeightedGraph::add_edges(const EdgeList& edges) {
    append_edges(edges, [](const auto&) { return 1.0; });
}

void WeightedGraph::install(WeightedLists lists) {
    AdjacencyLists neighbours(lists.size());
    for (std::size_t u = 0; u < lists.size(); ++u) {
        neighbours[u].reserve(lists[u].size());
        for (const auto& [v, weight] : lists[u]) neighbours[u].push_back(v);
    }
    weighted_adj = std::move(lists);
    adj = std::move(neighbours);
    recount_entries();
    vertex_count = static_cast<int>(adj.size());
    mirrored = false;
}

void WeightedGraph::build_from_adj_list(const WeightedLists& lists) {
    require_neighbours_in_range(lists);
    install(lists);
}

void WeightedGraph::build_from_adj_list(const AdjacencyLists& lists) {
    require_neighbours_in_range(lists);
    WeightedLists weighted(lists.size());
    for (std::size_t u = 0; u < lists.size(); ++u) {
        weighted[u].reserve(lists[u].size());
        for (int v : lists[u]) weighted[u].emplace_back(v, 1.0);
    }
    install(std::move(weighted));
}

template <class Value>
void WeightedGraph::rebuild_from_matrix(const std::vector<std::vector<Value>>& matrix) {
    require_matrix_columns_in_range(matrix);
    std::vector<std::size_t> entries(matrix.size());
    for_each_matrix_edge(matrix, directed, [&](int from, int, Value) { ++entries[from]; });
    WeightedLists weighted(matrix.size());
    make_room(weighted, entries);
    for_each_matrix_edge(matrix, directed, [&](int from, int to, Value x) {
        weighted[from].emplace_back(to, static_cast<double>(x));
    });
    install(std::move(weighted));
    mirrored = !directed;
}

void WeightedGraph::build_from_adj_matrix(const WeightMatrix& matrix) {
    rebuild_from_matrix(matrix);
}

void WeightedGraph::build_from_adj_matrix(const IntMatrix& matrix) { rebuild_from_matrix(matrix); }

void WeightedGraph::print_graph() const {
    for (int i = 0; i < vertex_count; ++i) {
        std::cout << i << " : ";
        for (const auto& [v, weight] : weighted_adj[i])
            std::cout << '(' << v << ", " << weight << ") ";
        std::cout << '\n';
    }
}

}  // namespace veltrix
