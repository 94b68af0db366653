#include "graph/graph.hpp"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings/casters.hpp"
#include "bindings/method.hpp"
#include "bindings/registration.hpp"

namespace py = pybind11;

namespace veltrix::bindings {

void register_graph(py::module_& m) {
    raw_storage_freed_unsized(py::class_<Graph>(m, "Graph"))
        .def(py::init<>())
        .def(py::init<int, bool>(), py::arg("vertices"), py::arg("directed") = false)
        .def(py::init<const AdjacencyLists&, bool>(), py::arg("adjacency"),
             py::arg("directed") = false)
        .def(py::init<int, const EdgeList&, bool>(), py::arg("vertices"), py::arg("edges"),
             py::arg("directed") = false)
        .def("vertices", method(&Graph::vertices))
        .def("is_directed", method(&Graph::is_directed))
        .def("get_adj", method(&Graph::get_adj))
        .def("add_vertex", method(&Graph::add_vertex))
        .def("add_edge", method(&Graph::add_edge))
        .def("add_edges", method(&Graph::add_edges))
        .def("build_from_adj_matrix", method(&Graph::build_from_adj_matrix))
        .def("build_from_adj_list", method(&Graph::build_from_adj_list))
        .def("degree", method(&Graph::degree))
        .def("has_edge", method(&Graph::has_edge))
        .def("print_graph", method(&Graph::print_graph));
}

}  // namespace veltrix::bindings
