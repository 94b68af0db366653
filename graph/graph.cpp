#include "graph/graph.hpp"

#include <algorithm>
#include <climits>
#include <iostream>
#include <stdexcept>

#include "graph/bulk.hpp"
#include "graph/input.hpp"

namespace veltrix {

Graph::Graph() : vertex_count(0), directed(false), mirrored(true) {}

Graph::Graph(int vertices, bool directed)
    : vertex_count(vertices),
      directed(directed),
      mirrored(!directed),
      adj(checked_vertex_count(vertices)) {}

Graph::Graph(const AdjacencyLists& adjacency, bool directed)
    : vertex_count(checked_list_count(adjacency.size())), directed(directed), mirrored(false) {
    require_neighbours_in_range(adjacency);
    adj = adjacency;
    recount_entries();
}

Graph::Graph(int vertices, const EdgeList& edges, bool directed) : Graph(vertices, directed) {
    append_edges(edges);
}

Graph::~Graph() = default;

void Graph::add_vertex() {
    if (vertex_count == INT_MAX) throw_vector_too_long();
    adj.emplace_back();
    ++vertex_count;
}

void Graph::require_edge_ends(int u, int v) const {
    require_vertex(u, vertex_count);
    require_vertex(v, vertex_count);
}

void Graph::add_edge(int u, int v) {
    require_edge_ends(u, v);
    adj[u].push_back(v);
    ++stored_entries;
    if (directed) return;
    adj[v].push_back(u);
    ++stored_entries;
}

void Graph::add_edges(const EdgeList& edges) { append_edges(edges); }

void Graph::append_edges(const EdgeList& edges) {
    const std::size_t valid = leading_valid_edges(edges, vertex_count);
    const std::vector<std::size_t> entries = entries_per_list(edges, valid, vertex_count, directed);
    make_room(adj, entries);
    std::vector<int*> next(adj.size());
    open_entries(adj, entries);
    point_at_new_entries(adj, entries, next);
    for (std::size_t i = 0; i < valid; ++i) {
        const auto [u, v] = edges[i];
        *next[u]++ = v;
        if (!directed) *next[v]++ = u;
    }
    count_appended(valid);
    if (valid < edges.size()) throw_vertex_out_of_range();
}

void Graph::build_from_adj_matrix(const IntMatrix& matrix) {
    require_matrix_columns_in_range(matrix);
    std::vector<std::size_t> entries(matrix.size());
    for_each_matrix_edge(matrix, directed, [&](int from, int, int) { ++entries[from]; });
    AdjacencyLists rebuilt(matrix.size());
    make_room(rebuilt, entries);
    for_each_matrix_edge(matrix, directed,
                         [&](int from, int to, int) { rebuilt[from].push_back(to); });
    adj = std::move(rebuilt);
    recount_entries();
    vertex_count = static_cast<int>(adj.size());
    mirrored = !directed;
}

void Graph::build_from_adj_list(const AdjacencyLists& lists) {
    require_neighbours_in_range(lists);
    // Copy first: assigning over the old lists in place could fail halfway through.
    AdjacencyLists copy = lists;
    adj = std::move(copy);
    recount_entries();
    vertex_count = static_cast<int>(adj.size());
    mirrored = false;
}

int Graph::degree(int v) const {
    if (!is_vertex(v)) throw std::out_of_range("Invalid vertex");
    return static_cast<int>(adj[v].size());
}

void Graph::recount_entries() {
    stored_entries = 0;
    for (const auto& list : adj) stored_entries += static_cast<long long>(list.size());
}

bool Graph::has_edge(int u, int v) const {
    if (!is_vertex(u) || !is_vertex(v)) throw std::out_of_range("Invalid vertex");
    return std::find(adj[u].begin(), adj[u].end(), v) != adj[u].end();
}

void Graph::print_graph() const {
    for (int i = 0; i < vertex_count; ++i) {
        std::cout << i << " : ";
        for (int v : adj[i]) std::cout << v << ' ';
        std::cout << '\n';
    }
}

}  // namespace veltrix
