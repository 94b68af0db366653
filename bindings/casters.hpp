#pragma once

// pybind11's conversions of the list types that cross the module boundary, replaced by casters
// that read exact lists and numpy arrays directly (list_arguments.hpp, array_arguments.hpp) and
// build result lists directly (result_lists.hpp). They derive from pybind11's list caster, which
// keeps its signature text and stays the fallback for anything the direct reading is unsure of.
//
// A type_caster specialisation must be seen by every translation unit that converts its type
// before it does: a unit that saw only pybind11's generic caster would instantiate it, and the
// program would hold two definitions of one template (undefined behaviour, and in practice
// whichever the linker keeps). So every bindings file of _veltrix includes this header, and
// these specialisations live nowhere else.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <tuple>
#include <utility>
#include <vector>

#include "bindings/array_arguments.hpp"
#include "bindings/list_arguments.hpp"
#include "bindings/result_lists.hpp"
#include "graph/weighted_graph.hpp"
#include "parallel/buffer.hpp"

namespace pybind11::detail {

// A list caster whose load tries the direct reading first and whose cast builds the list directly.
template <class Type, class Value>
struct fast_list_caster : list_caster<Type, Value> {
    using base = list_caster<Type, Value>;

    bool load(handle src, bool convert) {
        using namespace veltrix::bindings::convert;
        if (read_list(src.ptr(), this->value) || read_array(src.ptr(), this->value)) return true;
        return base::load(src, convert);
    }

    static handle cast(const Type& src, return_value_policy, handle) {
        return veltrix::bindings::convert::new_list(src);
    }
};

template <>
struct type_caster<std::vector<int>> : fast_list_caster<std::vector<int>, int> {};
template <>
struct type_caster<std::vector<double>> : fast_list_caster<std::vector<double>, double> {};
template <>
struct type_caster<std::vector<bool>> : fast_list_caster<std::vector<bool>, bool> {};
template <>
struct type_caster<veltrix::EdgeList> : fast_list_caster<veltrix::EdgeList, std::pair<int, int>> {};
template <>
struct type_caster<veltrix::WeightedEdgeList>
    : fast_list_caster<veltrix::WeightedEdgeList, std::tuple<int, int, double>> {};
template <>
struct type_caster<std::vector<std::vector<int>>>
    : fast_list_caster<std::vector<std::vector<int>>, std::vector<int>> {};
template <>
struct type_caster<veltrix::WeightedLists>
    : fast_list_caster<veltrix::WeightedLists, std::vector<veltrix::WeightedEdge>> {};
template <>
struct type_caster<veltrix::WeightMatrix>
    : fast_list_caster<veltrix::WeightMatrix, std::vector<double>> {};

// Kernel results held in a Buffer leave as lists of the same name; nothing takes one in.
template <class T>
struct buffer_result_caster {
    PYBIND11_TYPE_CASTER(veltrix::Buffer<T>, (make_caster<std::vector<T>>::name));

    bool load(handle, bool) { return false; }
    static handle cast(const veltrix::Buffer<T>& src, return_value_policy, handle) {
        return veltrix::bindings::convert::new_list(src);
    }
};

template <>
struct type_caster<veltrix::Buffer<int>> : buffer_result_caster<int> {};
template <>
struct type_caster<veltrix::Buffer<double>> : buffer_result_caster<double> {};

}  // namespace pybind11::detail
