#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace veltrix {

using AdjacencyLists = std::vector<std::vector<int>>;
using EdgeList = std::vector<std::pair<int, int>>;
using IntMatrix = std::vector<std::vector<int>>;

// A graph of vertex_count vertices numbered 0..n-1, stored as one neighbour list per vertex.
// Lists keep insertion order, repeated edges and self-loops. Every stored neighbour is a valid
// vertex index: the operations that add edges or install lists refuse anything else.
class Graph {
public:
    Graph();
    Graph(int vertices, bool directed);
    Graph(const AdjacencyLists& adjacency, bool directed);
    Graph(int vertices, const EdgeList& edges, bool directed);
    virtual ~Graph();

    virtual void add_vertex();
    virtual void add_edge(int u, int v);
    virtual void add_edges(const EdgeList& edges);
    virtual void build_from_adj_matrix(const IntMatrix& matrix);
    virtual void build_from_adj_list(const AdjacencyLists& lists);
    virtual void print_graph() const;

    int vertices() const { return vertex_count; }
    bool is_directed() const { return directed; }
    const AdjacencyLists& get_adj() const { return adj; }
    // True when every list entry u -> v is matched by an entry v -> u, because the graph is
    // undirected and was built edge by edge or from a matrix; installed lists are not checked and
    // report false. A search may then use the out-lists as in-lists.
    bool is_mirrored() const { return mirrored; }
    int degree(int v) const;
    // Entries over all lists: every edge of a directed graph once, of an undirected one twice.
    long long entry_count() const { return stored_entries; }
    bool has_edge(int u, int v) const;

    // Calls reading the graph at the moment. A reader may let other code run before it returns
    // (from Python, a signal handler runs in the middle of an algorithm), and that code must not
    // change the graph under it: the Python bindings refuse every change while this is not zero.
    int readers() const { return reader_count; }
    void begin_reading() const { ++reader_count; }
    void end_reading() const { --reader_count; }

protected:
    bool is_vertex(int v) const { return 0 <= v && v < vertex_count; }
    // Throws the "Vertex index out of range" error unless both ends are vertices.
    void require_edge_ends(int u, int v) const;
    // Appends the edges in order up to the first one with an end outside the graph, then throws
    // the "Vertex index out of range" error if there is such an edge.
    void append_edges(const EdgeList& edges);
    // Sets the entry count from the lists, after they were replaced wholesale.
    void recount_entries();
    // Counts the entries that `edges` appended edges added: one each, two if the graph is undirected.
    void count_appended(std::size_t edges) {
        stored_entries += static_cast<long long>(edges) * (directed ? 1 : 2);
    }

    int vertex_count;
    bool directed;
    bool mirrored;
    AdjacencyLists adj;
    // Kept in step with the lists by every change, so that a kernel sizing its work need not sum
    // the lengths of every list first.
    long long stored_entries = 0;

private:
    mutable int reader_count = 0;
};

}  // namespace veltrix
