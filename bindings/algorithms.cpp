#include "algorithms/connected_components.hpp"
#include "algorithms/hop_distances.hpp"
#include "algorithms/pagerank_gather.hpp"
#include "algorithms/pagerank_scatter.hpp"
#include "algorithms/reachability.hpp"
#include "algorithms/shortest_distances.hpp"
#include "algorithms/triangle_count.hpp"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings/casters.hpp"
#include "bindings/method.hpp"
#include "bindings/registration.hpp"
#include "parallel/threads.hpp"

namespace py = pybind11;

namespace veltrix::bindings {

void register_algorithms(py::module_& m) {
    const auto graph = py::arg("graph");
    const auto source = py::arg("source");
    const auto threads = py::arg("threads") = -1;
    const auto iterations = py::arg("iterations") = 20;
    const auto damping = py::arg("damping") = 0.85;

    m.def(
        "parallel_connected_components",
        [](const Graph& g, int threads) { require_initialised(g); return connected_components(g, get_thread_count(threads)); }, graph, threads);
    m.def(
        "parallel_pagerank",
        [](const Graph& g, int iterations, double damping, int threads) {
            require_initialised(g);
            return pagerank_gather(g, iterations, damping, get_thread_count(threads));
        },
        graph, iterations, damping, threads);
    m.def(
        "parallel_pagerank_bfs",
        [](const Graph& g, int iterations, double damping, int threads) {
            require_initialised(g);
            return pagerank_scatter(g, iterations, damping, get_thread_count(threads));
        },
        graph, iterations, damping, threads);
    m.def(
        "parallel_bfs",
        [](const Graph& g, int source, int threads) {
            require_initialised(g);
            return hop_distances(g, source, get_thread_count(threads));
        },
        graph, source, threads);
    m.def(
        "parallel_dfs",
        [](const Graph& g, int source, int threads) {
            require_initialised(g);
            return reachability(g, source, get_thread_count(threads));
        },
        graph, source, threads);
    m.def(
        "parallel_dijkstra",
        [](const WeightedGraph& g, int source, int threads) {
            require_initialised(g);
            return shortest_distances(g, source, get_thread_count(threads));
        },
        graph, source, threads);
    m.def(
        "triangle_count_parallel",
        [](const Graph& g, int threads) { require_initialised(g); return triangle_count(g, get_thread_count(threads)); }, graph, threads);
}

}  // namespace veltrix::bindings
