#include <pybind11/pybind11.h>

#include "bindings/casters.hpp"
#include "bindings/registration.hpp"
#include "parallel/threads.hpp"

namespace veltrix::bindings {

void register_thread_utilities(pybind11::module_& m) {
    m.def("hardware_threads", &hardware_threads);
    m.def("get_thread_count", &get_thread_count);
    m.def("chunk_size", &chunk_size);
}

}  // namespace veltrix::bindings
