#pragma once

// Input checks and the adjacency-matrix walk shared by Graph and WeightedGraph. The checks throw
// before anything is stored, so a refused build leaves the graph exactly as it was.

#include <climits>
#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

namespace veltrix {

[[noreturn]] inline void throw_vertex_out_of_range() {
    throw std::out_of_range("Vertex index out of range");
}

inline void require_vertex(int v, int n) {
    if (v < 0 || v >= n) throw_vertex_out_of_range();
}

// The standard library's own length_error text varies; the graph reports this one.
[[noreturn]] inline void throw_vector_too_long() { throw std::length_error("vector too long"); }

// A vertex count arrives as a signed int; a negative one is an impossible size.
inline std::size_t checked_vertex_count(int vertices) {
    if (vertices < 0) throw_vector_too_long();
    return static_cast<std::size_t>(vertices);
}

// Vertex indices are 32-bit signed, so a graph never holds more than INT_MAX lists.
inline int checked_list_count(std::size_t lists) {
    if (lists > static_cast<std::size_t>(INT_MAX)) throw_vector_too_long();
    return static_cast<int>(lists);
}

inline int neighbour_of(int entry) { return entry; }
inline int neighbour_of(const std::pair<int, double>& entry) { return entry.first; }

// Every neighbour named by the lists must be one of the lists' own vertices.
template <class Entry>
void require_neighbours_in_range(const std::vector<std::vector<Entry>>& lists) {
    const int n = checked_list_count(lists.size());
    for (const auto& list : lists)
        for (const auto& entry : list) require_vertex(neighbour_of(entry), n);
}

// A row may be shorter than the number of rows, but a non-zero entry beyond the last row's index
// would name a vertex that does not exist.
template <class Value>
void require_matrix_columns_in_range(const std::vector<std::vector<Value>>& matrix) {
    const std::size_t n = static_cast<std::size_t>(checked_list_count(matrix.size()));
    for (const auto& row : matrix)
        for (std::size_t c = n; c < row.size(); ++c)
            if (row[c] != Value(0)) throw_vertex_out_of_range();
}

// Calls edge(from, to, x) for every non-zero entry x = matrix[r][c], rows and columns in
// ascending order, as (r, c) and, in an undirected graph, then as (c, r) unless r == c. A row
// shorter than the number of rows has its missing columns treated as zero.
template <class Value, class Edge>
void for_each_matrix_edge(const std::vector<std::vector<Value>>& matrix, bool directed, Edge edge) {
    const int n = static_cast<int>(matrix.size());
    for (int r = 0; r < n; ++r) {
        const int columns = static_cast<int>(matrix[r].size());
        for (int c = 0; c < columns; ++c) {
            const Value x = matrix[r][c];
            if (x == Value(0)) continue;
            edge(r, c, x);
            if (!directed && r != c) edge(c, r, x);
        }
    }
}

}  // namespace veltrix
