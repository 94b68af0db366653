#pragma once

// The native half of veltrix.CSRGraph: the graph's numpy arrays, held together with the view the
// kernels read. Made only by the functions of csr.cpp, which either built the arrays themselves or
// checked them, so a CsrArrays is always a valid graph; its arrays are read-only.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>

#include "graph/view.hpp"

namespace veltrix::bindings::native {

struct CsrArrays {
    int vertices;
    bool directed;
    bool mirrored;
    pybind11::array_t<std::int64_t> offsets;
    pybind11::array_t<std::int32_t> targets;
    bool weighted;
    pybind11::array_t<double> weights;  // empty unless weighted
    bool ascending;                      // every list known to be in ascending order

    CsrView view() const {
        return {vertices, offsets.data(), targets.data(), weighted ? weights.data() : nullptr,
                mirrored, ascending};
    }
};

}  // namespace veltrix::bindings::native
