#pragma once

// Conversions of the list arguments and list results that cross the module boundary.
//
// Arguments: an exact list of exact tuples/lists of exact ints (and floats where a weight is
// expected), or a numpy array of a plain numeric dtype, is read directly. Anything else, and
// anything the direct reading is not sure of (a bool, an int outside the C int range, an odd
// dtype, byte order or shape), goes to pybind11's own list conversion, which then decides alone.
// The direct reading accepts only inputs that the standard conversion also accepts, with the same
// values, in both of its passes (with and without implicit conversion), so results, errors and
// overload choice are the standard ones. The casters derive from pybind11's list caster, which
// keeps its signature text.
//
// Results: lists are built with the C API directly; an allocation failure raises MemoryError.
//
// Every translation unit of the module must see these specialisations before converting any of
// these types, so every bindings file includes this header.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

#include "graph/weighted_graph.hpp"

namespace veltrix::bindings::convert {

// ---- Scalars: exact Python objects only ----

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
    return items_of(item, items, size) && size == 2 && read(items[0], out.first) && read(items[1], out.second);
}

template <class... T>
bool read(PyObject* item, std::tuple<T...>& out) {
    PyObject** items;
    Py_ssize_t size;
    if (!items_of(item, items, size) || size != static_cast<Py_ssize_t>(sizeof...(T))) return false;
    return std::apply([&](auto&... field) {
        Py_ssize_t i = 0;
        return (read(items[i++], field) && ...);
    }, out);
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

// ---- numpy arrays, read through the buffer protocol ----

// The numeric type of one array entry or record field.
enum class Number { none, i8, i16, i32, i64, u8, u16, u32, u64, f64 };

// The type of a struct-module code of the given size: 'd' and the signed and unsigned integer codes.
inline Number number_of_code(char code, Py_ssize_t size) {
    if (code == 'd') return size == 8 ? Number::f64 : Number::none;
    const bool is_signed = std::strchr("bhilq", code) != nullptr;
    if (!is_signed && std::strchr("BHILQ", code) == nullptr) return Number::none;
    switch (size) {
        case 1: return is_signed ? Number::i8 : Number::u8;
        case 2: return is_signed ? Number::i16 : Number::u16;
        case 4: return is_signed ? Number::i32 : Number::u32;
        case 8: return is_signed ? Number::i64 : Number::u64;
        default: return Number::none;
    }
}

// A byte-order prefix that keeps the machine's own order: '@' (native sizes), '=' or '<' on a
// little-endian machine (standard sizes). '>' and '!' are refused.
inline bool is_own_order(char c) {
    return c == '@' || c == '=' || (c == '<' && std::endian::native == std::endian::little);
}

// The type of a buffer holding one plain number per item.
inline Number number_of(const char* format, Py_ssize_t itemsize) {
    if (format == nullptr) return Number::none;
    if (is_own_order(*format)) ++format;
    if (format[0] == '\0' || format[1] != '\0') return Number::none;
    return number_of_code(format[0], itemsize);
}

// Size of a code in the struct module's native ('@') or standard ('=', '<') sizes; 0 if unknown.
inline Py_ssize_t code_size(char code, bool native) {
    switch (code) {
        case 'b': case 'B': return 1;
        case 'h': case 'H': return 2;
        case 'i': case 'I': return 4;
        case 'l': case 'L': return native ? static_cast<Py_ssize_t>(sizeof(long)) : 4;
        case 'q': case 'Q': case 'd': return 8;
        default: return 0;
    }
}

// One field of a record: its type and its byte offset.
struct Field {
    Number number;
    Py_ssize_t offset;
};

// The fields of a record format as numpy writes it for a structured dtype, such as
// "T{l:u:l:v:d:w:}" or "T{=I:u:@h:v:xx=d:w:}": padding as 'x', and '@' only where a field sits at
// its natural alignment. Empty for any other format: byte-swapped, nested, repeated or unknown
// fields, or fields whose sizes do not add up to the item size.
inline std::vector<Field> record_fields(const char* format, Py_ssize_t itemsize) {
    if (format == nullptr || std::strncmp(format, "T{", 2) != 0) return {};
    std::vector<Field> fields;
    bool native = true;
    Py_ssize_t offset = 0;
    const char* p = format + 2;
    while (*p != '}') {
        if (is_own_order(*p)) {
            native = *p++ == '@';
            continue;
        }
        if (*p == 'x') {
            ++offset;
            ++p;
            continue;
        }
        const Py_ssize_t size = code_size(*p, native);
        if (size == 0 || (native && offset % size != 0)) return {};
        const char* name_end = p[1] == ':' ? std::strchr(p + 2, ':') : nullptr;
        if (name_end == nullptr) return {};
        fields.push_back({number_of_code(*p, size), offset});
        offset += size;
        p = name_end + 1;
    }
    if (p[1] != '\0' || offset != itemsize) return {};
    return fields;
}

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
        std::memcpy(&x, static_cast<const char*>(view_.buf) + static_cast<Py_ssize_t>(r) * view_.strides[0]
                            + static_cast<Py_ssize_t>(c) * view_.strides[1], sizeof(T));
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
        if (!int_at(record + f[0].offset, f[0].number, u) || !int_at(record + f[1].offset, f[1].number, v))
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

// ---- Results ----

[[noreturn]] inline void throw_pending() { throw pybind11::error_already_set(); }

// Builds the Python objects of one result. Equal numbers share one object: a component label or a
// hop count repeats across a result, a hub across adjacency lists, a distance wherever weights are
// whole numbers, and a new int or float costs an allocation, which on a large result takes longer
// than the algorithm that computed it. Floats are equal when their bits are. The memos hold
// borrowed references only to objects already placed in the result, which keeps them alive.
class ResultMaker {
public:
    // `entries` is the length of the outer list; the memo grows with it up to 512 KiB, the size of
    // a core's own cache on common machines. A distance result on a large grid repeats tens of
    // thousands of values, each close to where it was seen last: a memo of 4,096 slots found
    // under a quarter of them again, this one over four fifths.
    explicit ResultMaker(std::size_t entries) : slots_(std::bit_ceil(std::clamp<std::size_t>(entries, 16, kMaxMemoSlots))) {}

    PyObject* make(int x) { return shared(ints_, static_cast<unsigned>(x), x, PyLong_FromLong); }
    PyObject* make(double x) {
        const auto bits = std::bit_cast<std::uint64_t>(x);
        // Whole numbers differ only in their high bits, fractions in their low ones as well; the
        // top bits of the product depend on all of them.
        const auto key = static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - std::countr_zero(slots_)));
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
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(values.size()));
        if (list == nullptr) return nullptr;
        Py_ssize_t i = 0;
        for (const T& x : values) {
            PyObject* item = make(x);
            if (item == nullptr) return Py_DECREF(list), nullptr;
            PyList_SET_ITEM(list, i++, item);
        }
        return list;
    }

    PyObject* make(const std::vector<bool>& values) {
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(values.size()));
        if (list == nullptr) return nullptr;
        for (std::size_t i = 0; i < values.size(); ++i)
            PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), make(static_cast<bool>(values[i])));
        return list;
    }

private:
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

// Holds off the cyclic garbage collector while a result is built: the new lists cannot form a
// cycle, and one pass over them afterwards is cheaper than a collection every few hundred lists.
// No Python code runs meanwhile, so nothing else can observe the pause.
class CollectorPause {
public:
    CollectorPause() : was_enabled_(PyGC_Disable() != 0) {}
    ~CollectorPause() {
        if (was_enabled_) PyGC_Enable();
    }
    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;

private:
    bool was_enabled_;
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
struct type_caster<veltrix::WeightMatrix> : fast_list_caster<veltrix::WeightMatrix, std::vector<double>> {};

}  // namespace pybind11::detail
