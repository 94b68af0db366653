#pragma once

// Graphs for the traversal tests: the shared random cases, plus shapes that drive a search through
// each of its regimes — a grid (many small levels), a broom (bottom-up from a single hub), a dense
// core with a long tail (bottom-up steps and back to top-down), two cores joined by a path
// (bottom-up, top-down, then bottom-up again), and a directed graph's lists installed into an
// undirected graph (lists that do not mirror each other).

#include <random>
#include <string>
#include <vector>

#include "random_graph.hpp"

namespace testing {

struct Shape {
    std::string name;
    veltrix::Graph graph;
};

inline veltrix::EdgeList grid(int rows, int columns) {
    veltrix::EdgeList edges;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const int v = r * columns + c;
            if (c + 1 < columns) edges.emplace_back(v, v + 1);
            if (r + 1 < rows) edges.emplace_back(v, v + columns);
        }
    return edges;
}

// A hub whose `arms` neighbours each hold one more vertex: a search that reaches the hub turns
// bottom-up on a frontier of that one vertex, and each outer vertex is found through one arm only.
inline veltrix::EdgeList broom(int arms) {
    veltrix::EdgeList edges;
    for (int i = 1; i <= arms; ++i) {
        edges.emplace_back(0, i);
        edges.emplace_back(i, arms + i);
    }
    return edges;
}

// A random core of `c` with a path of `tail` extra vertices hanging off its last vertex.
inline veltrix::Graph core_with_tail(const Case& c, int tail, unsigned seed) {
    veltrix::Graph graph = random_graph(c, seed);
    for (int i = 0; i < tail; ++i) {
        graph.add_vertex();
        graph.add_edge(c.n - 1 + i, c.n + i);
    }
    return graph;
}

// Two random cores of `c`, the last vertex of the first joined to the first of the second by a
// path of `path` extra vertices.
inline veltrix::Graph cores_joined(const Case& c, int path, unsigned seed) {
    veltrix::Graph graph = core_with_tail(c, path, seed);
    const int offset = c.n + path;
    for (int i = 0; i < c.n; ++i) graph.add_vertex();
    graph.add_edge(offset - 1, offset);
    std::mt19937 random(seed + 1);
    std::uniform_int_distribution<int> vertex(offset, offset + c.n - 1);
    veltrix::EdgeList second;
    for (int i = 0; i < c.m; ++i) second.emplace_back(vertex(random), vertex(random));
    graph.add_edges(second);
    return graph;
}

inline std::vector<Shape> traversal_graphs() {
    std::vector<Shape> shapes;
    unsigned seed = 1;
    for (const Case& c : kCases) shapes.push_back({c.name(), random_graph(c, seed++)});
    shapes.push_back({"grid 120x150", veltrix::Graph(120 * 150, grid(120, 150), false)});
    shapes.push_back({"broom of 20000 arms", veltrix::Graph(2 * 20000 + 1, broom(20000), false)});
    shapes.push_back(
        {"undirected core with tail", core_with_tail({20000, 150000, false}, 3000, 11)});
    shapes.push_back({"directed core with tail", core_with_tail({20000, 300000, true}, 3000, 12)});
    shapes.push_back({"two cores joined by a path", cores_joined({20000, 150000, false}, 40, 13)});
    const veltrix::Graph one_way = random_graph({20000, 200000, true}, 13);
    shapes.push_back(
        {"directed lists installed undirected", veltrix::Graph(one_way.get_adj(), false)});
    return shapes;
}

// Sources that start a search in the core and at the far end of any tail.
inline std::vector<int> sources(const veltrix::Graph& graph) {
    const int n = graph.vertices();
    return {0, n - 1};
}

}  // namespace testing
