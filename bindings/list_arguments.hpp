#pragma once

// Fast reading of list arguments: an exact list of exact tuples/lists of exact ints (and floats
// where a weight is expected) is read straight from the objects' item arrays, without pybind11's
// per-item caster calls, which cost more than the algorithms on large graphs.
//
// A reading either succeeds with exactly the values pybind11's own list conversion would produce
// in both of its passes (with and without implicit conversion), or fails and leaves the argument
// to that conversion: anything it is not sure of (a bool, an int outside the C int range, any
// subclass) fails. So results, errors and overload choice stay pybind11's.

#include <pybind11/pybind11.h>

#include <climits>
#include <cstddef>
#include <tuple>
#include <utility>
#include <vector>

namespace veltrix::bindings::convert {

// An exact int within the C int range (a bool is an int subclass and is left to the standard path).
inline bool read(PyObject* item, int& out) {
    if (!PyLong_CheckExact(item)) return false;
    int overflow = 0;
    const long x = PyLong_AsLongAndOverflow(item, &overflow);
    if (overflow != 0 || x < INT_MIN || x > INT_MAX) return false;
    out = static_cast<int>(x);
    return true;
}

// An exact float, or an exact int, converted exactly as the standard double conversion does.
inline bool read(PyObject* item, double& out) {
    if (PyFloat_CheckExact(item)) {
        out = PyFloat_AS_DOUBLE(item);
        return true;
    }
    if (!PyLong_CheckExact(item)) return false;
    const double x = PyLong_AsDouble(item);
    if (x == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    out = x;
    return true;
}

// The items of an exact list or an exact tuple; false for any other object.
inline bool items_of(PyObject* seq, PyObject**& items, Py_ssize_t& size) {
    if (PyList_CheckExact(seq)) {
        items = PySequence_Fast_ITEMS(seq);
        size = PyList_GET_SIZE(seq);
        return true;
    }
    if (PyTuple_CheckExact(seq)) {
        items = PySequence_Fast_ITEMS(seq);
        size = PyTuple_GET_SIZE(seq);
        return true;
    }
    return false;
}

template <class... T>
bool read(PyObject* item, std::tuple<T...>& out);

template <class A, class B>
bool read(PyObject* item, std::pair<A, B>& out) {
    PyObject** items;
    Py_ssize_t size;
    return items_of(item, items, size) && size == 2 && read(items[0], out.first) &&
           read(items[1], out.second);
}

template <class... T>
bool read(PyObject* item, std::tuple<T...>& out) {
    PyObject** items;
    Py_ssize_t size;
    if (!items_of(item, items, size) || size != static_cast<Py_ssize_t>(sizeof...(T))) return false;
    return std::apply(
        [&](auto&... field) {
            Py_ssize_t i = 0;
            return (read(items[i++], field) && ...);
        },
        out);
}

template <class T>
bool read(PyObject* item, std::vector<T>& out) {
    PyObject** items;
    Py_ssize_t size;
    if (!items_of(item, items, size)) return false;
    out.resize(static_cast<std::size_t>(size));
    for (Py_ssize_t i = 0; i < size; ++i)
        if (!read(items[i], out[static_cast<std::size_t>(i)])) return false;
    return true;
}

// An exact list of readable elements. Only the outermost container must be a list; rows and
// edges may be lists or tuples, as the standard conversion allows.
template <class T>
bool read_list(PyObject* src, std::vector<T>& out) {
    if (!PyList_CheckExact(src)) return false;
    return read(src, out);
}

// Results only: no argument is a list of bools.
inline bool read_list(PyObject*, std::vector<bool>&) { return false; }

}  // namespace veltrix::bindings::convert
