#include "algorithms/algorithms.hpp"
#include "algorithms/hop_distances.hpp"
#include "algorithms/reachability.hpp"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

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

    m.def("parallel_connected_components", &parallel_connected_components, graph, threads);
    m.def("parallel_pagerank", &parallel_pagerank, graph, iterations, damping, threads);
    m.def("parallel_pagerank_bfs", &parallel_pagerank_bfs, graph, iterations, damping, threads);
    m.def(
        "parallel_bfs",
        [](const Graph& g, int s, int t) { return hop_distances(g, s, get_thread_count(t)); }, graph, source, threads);
    m.def(
        "parallel_dfs",
        [](const Graph& g, int s, int t) { return reachability(g, s, get_thread_count(t)); }, graph, source, threads);
    m.def("parallel_dijkstra", &parallel_dijkstra, graph, source, threads);
    m.def("triangle_count_parallel", &triangle_count_parallel, graph, threads);
}

}  // namespace veltrix::bindings
