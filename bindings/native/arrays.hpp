#pragma once

// Results handed to Python as numpy arrays that own the kernel's buffer: the buffer moves into a
// capsule that frees it with the array, so nothing is copied after the kernel.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <utility>
#include <vector>

#include "parallel/buffer.hpp"

namespace veltrix::bindings::native {

// `Storage` is a std::vector<T> or a Buffer<T>.
template <class Storage>
auto owned_array(Storage&& values) {
    using T = std::remove_cvref_t<decltype(*values.data())>;
    auto owner = std::make_unique<Storage>(std::move(values));
    T* const data = owner->data();
    const auto size = static_cast<pybind11::ssize_t>(owner->size());
    pybind11::capsule free_with_array(owner.get(),
                                      [](void* p) { delete static_cast<Storage*>(p); });
    owner.release();
    return pybind11::array_t<T>(size, data, free_with_array);
}

}  // namespace veltrix::bindings::native
