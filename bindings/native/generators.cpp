#include <pybind11/pybind11.h>

#include "bindings/native/registration.hpp"

namespace veltrix::bindings::native {

void register_generators(pybind11::module_&) {}

}  // namespace veltrix::bindings::native
