#pragma once

// Fast reading of numpy arrays given where a list is expected: an (m, 2) integer array as edges,
// an (n, k) integer or float64 array as matrix rows, and a one-dimensional array of (int, int,
// float64) records as weighted edges, read through the buffer protocol without creating a Python
// object per entry.
//
// As for lists, a reading either yields exactly what pybind11's own list conversion would (which
// iterates the array) or fails and leaves the array to that conversion: an entry outside the C
// int range, an odd dtype, byte order or shape, or any ndarray subclass fails.

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "bindings/buffer_format.hpp"
#include "graph/weighted_graph.hpp"

namespace veltrix::bindings::convert {

// A read-only view of a numpy array, released when it goes out of scope. Only an exact
// numpy.ndarray is viewed: a subclass such as numpy.matrix iterates differently.
class Array {
public:
    explicit Array(PyObject* src) {
        if (!is_ndarray(src)) return;
        if (PyObject_GetBuffer(src, &view_, PyBUF_RECORDS_RO) != 0) {
            PyErr_Clear();
            return;
        }
        held_ = true;
        if (view_.ndim == 2) number_ = number_of(view_.format, view_.itemsize);
    }
    ~Array() {
        if (held_) PyBuffer_Release(&view_);
    }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;

    // The entry type of a two-dimensional array of plain numbers; none for anything else.
    Number number() const { return number_; }
    std::size_t rows() const { return static_cast<std::size_t>(view_.shape[0]); }
    std::size_t columns() const { return static_cast<std::size_t>(view_.shape[1]); }

    template <class T>
    T at(std::size_t r, std::size_t c) const {
        T x;
        std::memcpy(&x,
                    static_cast<const char*>(view_.buf) +
                        static_cast<Py_ssize_t>(r) * view_.strides[0] +
                        static_cast<Py_ssize_t>(c) * view_.strides[1],
                    sizeof(T));
        return x;
    }

    // The fields of a one-dimensional array of records; empty for anything else.
    std::vector<Field> fields() const {
        if (!held_ || view_.ndim != 1) return {};
        return record_fields(view_.format, view_.itemsize);
    }
    std::size_t records() const { return static_cast<std::size_t>(view_.shape[0]); }
    const char* record(std::size_t r) const {
        return static_cast<const char*>(view_.buf) + static_cast<Py_ssize_t>(r) * view_.strides[0];
    }

private:
    // numpy is only asked for its array type if it is already imported: otherwise src is no array.
    static bool is_ndarray(PyObject* src) {
        PyObject* numpy = PyImport_GetModule(pybind11::str("numpy").ptr());
        if (numpy == nullptr) {
            PyErr_Clear();
            return false;
        }
        PyObject* ndarray = PyObject_GetAttrString(numpy, "ndarray");
        Py_DECREF(numpy);
        if (ndarray == nullptr) {
            PyErr_Clear();
            return false;
        }
        const bool exact = reinterpret_cast<PyObject*>(Py_TYPE(src)) == ndarray;
        Py_DECREF(ndarray);
        return exact;
    }

    Py_buffer view_{};
    bool held_ = false;
    Number number_ = Number::none;
};

// Calls body(value) with the matrix entry type for integer dtypes; false for any other dtype.
template <class Body>
bool with_integers(const Array& m, Body body) {
    switch (m.number()) {
        case Number::i8: return body(std::int8_t{});
        case Number::i16: return body(std::int16_t{});
        case Number::i32: return body(std::int32_t{});
        case Number::i64: return body(std::int64_t{});
        case Number::u8: return body(std::uint8_t{});
        case Number::u16: return body(std::uint16_t{});
        case Number::u32: return body(std::uint32_t{});
        case Number::u64: return body(std::uint64_t{});
        default: return false;
    }
}

template <class T>
bool fits_int(T x) {
    return std::in_range<int>(x);
}

// Each row of an integer matrix becomes one element, filled by fill(out[r], get), where get(c)
// reads the row's entries. Fails (for the standard path to decide) on any entry outside int.
template <class T, class Fill>
bool read_integer_rows(const Array& m, std::vector<T>& out, Fill fill) {
    return with_integers(m, [&](auto tag) {
        using E = decltype(tag);
        const std::size_t rows = m.rows(), columns = m.columns();
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t c = 0; c < columns; ++c)
                if (!fits_int(m.at<E>(r, c))) return false;
        out.resize(rows);
        for (std::size_t r = 0; r < rows; ++r)
            fill(out[r], [&](std::size_t c) { return static_cast<int>(m.at<E>(r, c)); });
        return true;
    });
}

// An (m, 2) integer array as (u, v) pairs.
inline bool read_array(PyObject* src, EdgeList& out) {
    const Array m(src);
    if (m.number() == Number::none || m.columns() != 2) return false;
    return read_integer_rows(m, out, [](auto& edge, auto get) { edge = {get(0), get(1)}; });
}

// An (n, k) integer array as n rows of k ints.
inline bool read_array(PyObject* src, std::vector<std::vector<int>>& out) {
    const Array m(src);
    if (m.number() == Number::none) return false;
    const std::size_t columns = m.columns();
    return read_integer_rows(m, out, [columns](auto& row, auto get) {
        row.resize(columns);
        for (std::size_t c = 0; c < columns; ++c) row[c] = get(c);
    });
}

// An (n, k) float64 array as n rows of k doubles.
inline bool read_array(PyObject* src, WeightMatrix& out) {
    const Array m(src);
    if (m.number() != Number::f64) return false;
    const std::size_t rows = m.rows(), columns = m.columns();
    out.resize(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        out[r].resize(columns);
        for (std::size_t c = 0; c < columns; ++c) out[r][c] = m.at<double>(r, c);
    }
    return true;
}

// The int stored at p as type E; false if it lies outside the C int range.
template <class E>
bool int_at(const char* p, int& out) {
    E x;
    std::memcpy(&x, p, sizeof x);
    if (!fits_int(x)) return false;
    out = static_cast<int>(x);
    return true;
}

// The int stored at p as the integer type n; false for any other type or a value outside int.
inline bool int_at(const char* p, Number n, int& out) {
    switch (n) {
        case Number::i8: return int_at<std::int8_t>(p, out);
        case Number::i16: return int_at<std::int16_t>(p, out);
        case Number::i32: return int_at<std::int32_t>(p, out);
        case Number::i64: return int_at<std::int64_t>(p, out);
        case Number::u8: return int_at<std::uint8_t>(p, out);
        case Number::u16: return int_at<std::uint16_t>(p, out);
        case Number::u32: return int_at<std::uint32_t>(p, out);
        case Number::u64: return int_at<std::uint64_t>(p, out);
        default: return false;
    }
}

// A one-dimensional array of records with two integer fields and a float64 field, in that order,
// as (u, v, weight) triples.
inline bool read_array(PyObject* src, WeightedEdgeList& out) {
    const Array a(src);
    const std::vector<Field> f = a.fields();
    if (f.size() != 3 || f[2].number != Number::f64) return false;
    out.resize(a.records());
    for (std::size_t r = 0; r < out.size(); ++r) {
        const char* record = a.record(r);
        auto& [u, v, weight] = out[r];
        if (!int_at(record + f[0].offset, f[0].number, u) ||
            !int_at(record + f[1].offset, f[1].number, v))
            return false;
        std::memcpy(&weight, record + f[2].offset, sizeof weight);
    }
    return true;
}

// No array form is read directly for the other types; the standard path handles arrays of them.
template <class T>
bool read_array(PyObject*, T&) {
    return false;
}

}  // namespace veltrix::bindings::convert
