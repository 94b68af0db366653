#pragma once

#include <pybind11/pybind11.h>

namespace veltrix::bindings {

void register_graph(pybind11::module_& m);
void register_weighted_graph(pybind11::module_& m);
void register_thread_utilities(pybind11::module_& m);
void register_kernels(pybind11::module_& m);

}  // namespace veltrix::bindings
