#pragma once

#include <pybind11/pybind11.h>

namespace veltrix::bindings::native {

void register_csr(pybind11::module_& m);
void register_kernels(pybind11::module_& m);
void register_generators(pybind11::module_& m);
void register_edge_text(pybind11::module_& m);

}  // namespace veltrix::bindings::native
