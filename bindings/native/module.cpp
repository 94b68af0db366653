// veltrix._native: the array side of the package. Graphs in compressed form, kernels that return
// numpy arrays owning the kernel's own buffers, and the native generators. Every long call here
// releases the interpreter lock while it runs and takes it back only to run due signal handlers.
//
// It reads _veltrix's Graph and WeightedGraph as they are: the classes are registered once, by
// _veltrix, and pybind11 shares registered classes between the modules of one build.

#include <pybind11/pybind11.h>

#include "bindings/native/registration.hpp"

PYBIND11_MODULE(_native, m) {
    namespace py = pybind11;
    using namespace veltrix::bindings::native;
    py::module_::import("_veltrix");
    m.doc() = "Array functions of VELTRIX, released from the interpreter lock while they run";
    register_csr(m);
    register_kernels(m);
    register_generators(m);
    register_edge_text(m);
}
