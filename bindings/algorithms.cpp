#include "algorithms/algorithms.hpp"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings/method.hpp"
#include "bindings/registration.hpp"

namespace py = pybind11;

namespace veltrix::bindings {

void register_algorithms(py::module_& m) {
    const auto graph = py::arg("graph");
    const auto source = py::arg("source");
    const auto threads = py::arg("threads") = -1;
    const auto iterations = py::arg("iterations") = 20;
    const auto damping = py::arg("damping") = 0.85;

    m.def("parallel_connected_components", reading(&parallel_connected_components), graph, threads);
    m.def("parallel_pagerank", reading(&parallel_pagerank), graph, iterations, damping, threads);
    m.def("parallel_pagerank_bfs", reading(&parallel_pagerank_bfs), graph, iterations, damping, threads);
    m.def("parallel_bfs", reading(&parallel_bfs), graph, source, threads);
    m.def("parallel_dfs", reading(&parallel_dfs), graph, source, threads);
    m.def("parallel_dijkstra", reading(&parallel_dijkstra), graph, source, threads);
    m.def("triangle_count_parallel", reading(&triangle_count_parallel), graph, threads);
}

}  // namespace veltrix::bindings
