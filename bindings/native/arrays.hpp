#pragma once

// Results handed to Python as numpy arrays that own the kernel's buffer: the vector moves into a
// capsule that frees it with the array, so nothing is copied after the kernel.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <utility>
#include <vector>

namespace veltrix::bindings::native {

template <class T>
pybind11::array_t<T> owned_array(std::vector<T>&& values) {
    auto owner = std::make_unique<std::vector<T>>(std::move(values));
    T* const data = owner->data();
    const auto size = static_cast<pybind11::ssize_t>(owner->size());
    pybind11::capsule free_with_array(owner.get(), [](void* p) { delete static_cast<std::vector<T>*>(p); });
    owner.release();
    return pybind11::array_t<T>(size, data, free_with_array);
}

}  // namespace veltrix::bindings::native
