#include <pybind11/pybind11.h>

#include "bindings/casters.hpp"
#include "bindings/registration.hpp"

// The module's entries, registered in the order Python lists them.
PYBIND11_MODULE(_veltrix, m) {
    using namespace veltrix::bindings;
    m.doc() = "VELTRIX: Parallel Graph Engine";
    register_graph(m);
    register_weighted_graph(m);
    register_thread_utilities(m);
    register_kernels(m);
}
