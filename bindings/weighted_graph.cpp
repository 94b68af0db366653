#include "graph/weighted_graph.hpp"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings/casters.hpp"
#include "bindings/method.hpp"
#include "bindings/registration.hpp"

namespace py = pybind11;

namespace veltrix::bindings {

// The names registered here hide Graph's methods of the same names on a WeightedGraph; the rest
// (vertices, is_directed, add_vertex, degree, has_edge) are Graph's and dispatch virtually.
void register_weighted_graph(py::module_& m) {
    using W = WeightedGraph;
    raw_storage_freed_unsized(py::class_<W, Graph>(m, "WeightedGraph"))
        .def(py::init<>())
        .def(py::init<int, bool>(), py::arg("vertices"), py::arg("directed") = false)
        .def("add_edge", method(py::overload_cast<int, int, double>(&W::add_edge)))
        .def("add_edges", method(py::overload_cast<const WeightedEdgeList&>(&W::add_edges)))
        .def("build_from_adj_list",
             method(py::overload_cast<const WeightedLists&>(&W::build_from_adj_list)))
        .def("build_from_adj_matrix",
             method(py::overload_cast<const WeightMatrix&>(&W::build_from_adj_matrix)))
        .def("get_adj", method(&W::get_adj))
        .def("print_graph", method(&W::print_graph));
}

}  // namespace veltrix::bindings
