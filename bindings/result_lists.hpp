#pragma once

// Results built as Python lists with the C API directly, with a memo that shares one object among
// equal numbers: a component label or a hop count repeats across a result, a hub across adjacency
// lists, a distance wherever weights are whole numbers, and a new int or float costs an
// allocation, which on a large result takes longer than the algorithm that computed it. An
// allocation failure raises MemoryError.

#include <pybind11/pybind11.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "bindings/collector_pause.hpp"
#include "parallel/buffer.hpp"

namespace veltrix::bindings::convert {

[[noreturn]] inline void throw_pending() { throw pybind11::error_already_set(); }

// Builds the Python objects of one result, equal numbers sharing one object. Floats are equal when
// their bits are. The memos hold borrowed references only to objects already placed in the
// result, which keeps them alive.
class ResultMaker {
public:
    // `entries` is the length of the outer list; the memo grows with it up to 512 KiB, the size of
    // a core's own cache on common machines. A distance result on a large grid repeats tens of
    // thousands of values, each close to where it was seen last: a memo of 4,096 slots found
    // under a quarter of them again, this one over four fifths.
    explicit ResultMaker(std::size_t entries)
        : slots_(std::bit_ceil(std::clamp<std::size_t>(entries, 16, kMaxMemoSlots))) {}

    PyObject* make(int x) { return shared(ints_, static_cast<unsigned>(x), x, PyLong_FromLong); }
    PyObject* make(double x) {
        const auto bits = std::bit_cast<std::uint64_t>(x);
        // Whole numbers differ only in their high bits, fractions in their low ones as well; the
        // top bits of the product depend on all of them.
        const auto key = static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >>
                                                  (64 - std::countr_zero(slots_)));
        return shared(floats_, key, bits, [x](std::uint64_t) { return PyFloat_FromDouble(x); });
    }
    PyObject* make(bool x) { return Py_NewRef(x ? Py_True : Py_False); }

    template <class A, class B>
    PyObject* make(const std::pair<A, B>& x) {
        PyObject* tuple = PyTuple_New(2);
        if (tuple == nullptr) return nullptr;
        PyObject* first = make(x.first);
        if (first == nullptr) return Py_DECREF(tuple), nullptr;
        PyTuple_SET_ITEM(tuple, 0, first);
        PyObject* second = make(x.second);
        if (second == nullptr) return Py_DECREF(tuple), nullptr;
        PyTuple_SET_ITEM(tuple, 1, second);
        return tuple;
    }

    template <class T>
    PyObject* make(const std::vector<T>& values) {
        return make_list(values);
    }
    template <class T>
    PyObject* make(const Buffer<T>& values) {
        return make_list(values);
    }

    PyObject* make(const std::vector<bool>& values) {
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(values.size()));
        if (list == nullptr) return nullptr;
        for (std::size_t i = 0; i < values.size(); ++i)
            PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), make(static_cast<bool>(values[i])));
        return list;
    }

private:
    template <class Values>
    PyObject* make_list(const Values& values) {
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(values.size()));
        if (list == nullptr) return nullptr;
        Py_ssize_t i = 0;
        for (const auto& x : values) {
            PyObject* item = make(x);
            if (item == nullptr) return Py_DECREF(list), nullptr;
            PyList_SET_ITEM(list, i++, item);
        }
        return list;
    }

    static constexpr std::size_t kMaxMemoSlots = std::size_t{1} << 15;  // of 16 bytes each
    template <class Value>
    struct Slot {
        Value value{};
        PyObject* object = nullptr;
    };
    template <class Value>
    using Memo = std::vector<Slot<Value>>;

    // The object for `value` from its memo slot, or a new one from `create` that takes the slot.
    template <class Value, class Create>
    PyObject* shared(Memo<Value>& memo, std::size_t key, Value value, Create create) {
        if (memo.empty()) memo.resize(slots_);
        Slot<Value>& slot = memo[key & (slots_ - 1)];
        if (slot.object != nullptr && slot.value == value) return Py_NewRef(slot.object);
        PyObject* made = create(value);
        if (made != nullptr) slot = {value, made};
        return made;
    }

    std::size_t slots_;
    Memo<int> ints_;
    Memo<std::uint64_t> floats_;
};

// A new list, or the pending Python error (MemoryError) raised as an exception.
template <class T>
pybind11::handle new_list(const T& values) {
    const CollectorPause pause;
    PyObject* list = ResultMaker(values.size()).make(values);
    if (list == nullptr) throw_pending();
    return list;
}

}  // namespace veltrix::bindings::convert
