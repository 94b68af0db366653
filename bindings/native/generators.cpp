// The native generators: numpy allocates the int32 edge arrays and the float64 weights, and the
// generators fill them in place with the interpreter lock released. Arguments are checked here,
// before anything is allocated, so a bad call costs nothing and says which argument is wrong.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "bindings/native/registration.hpp"
#include "bindings/native/released.hpp"
#include "graph/generators.hpp"
#include "parallel/threads.hpp"

namespace py = pybind11;

namespace veltrix::bindings::native {

namespace {

constexpr std::int64_t kMaxIds = std::int64_t{1} << 31;  // vertex ids are int32
constexpr std::int64_t kMaxExactWhole = std::int64_t{1} << 53;

[[noreturn]] void refuse(const std::string& what, const py::handle& value) {
    throw py::value_error(what + ", got " + py::repr(value).cast<std::string>());
}

std::int64_t whole(const py::int_& value, const char* name, std::int64_t low, std::int64_t high) {
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
    if (overflow != 0 || v < low || v > high)
        refuse(std::string(name) + " must be in [" + std::to_string(low) + ", " +
                   std::to_string(high) + "]",
               value);
    return v;
}

std::uint64_t seed_of(const py::int_& seed) {
    const unsigned long long v = PyLong_AsUnsignedLongLong(seed.ptr());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        PyErr_Clear();
        refuse("seed must be in [0, 2**64)", seed);
    }
    return v;
}

py::array_t<std::int32_t> int32_array(std::int64_t length) {
    return py::array_t<std::int32_t>(length);
}

py::tuple rmat_edges_array(int scale, const py::int_& edge_factor, const py::int_& seed,
                           const std::array<double, 4>& probabilities, int threads) {
    if (scale < 0 || scale > 31) refuse("scale must be in [0, 31]", py::int_(scale));
    const std::int64_t factor =
        whole(edge_factor, "edge_factor", 0, std::numeric_limits<std::int64_t>::max() >> scale);
    const auto [a, b, c, d] = probabilities;
    // Written so that a NaN fails every test.
    if (!(a >= 0 && b >= 0 && c >= 0 && d >= 0 && std::abs(a + b + c + d - 1.0) <= 1e-9))
        refuse("probabilities must be non-negative and sum to 1", py::cast(probabilities));
    const std::uint64_t key = seed_of(seed);
    const std::int64_t count = factor << scale;
    auto src = int32_array(count);
    auto dst = int32_array(count);
    int* s = src.mutable_data();
    int* t = dst.mutable_data();
    without_lock([&](Interrupt* interrupt) {
        rmat_edges(scale, RmatProbabilities{a, b, c, d}, key, 0, count, s, t,
                   get_thread_count(threads), interrupt);
    });
    return py::make_tuple(src, dst);
}

py::tuple uniform_edges_array(const py::int_& num_vertices, const py::int_& num_edges,
                              const py::int_& seed, int threads) {
    const std::int64_t n = whole(num_vertices, "num_vertices", 0, kMaxIds);
    const std::int64_t m =
        whole(num_edges, "num_edges", 0, std::numeric_limits<std::int64_t>::max());
    if (n == 0 && m > 0)
        refuse("edges need at least one vertex: num_vertices must be positive", num_vertices);
    const std::uint64_t key = seed_of(seed);
    auto src = int32_array(m);
    auto dst = int32_array(m);
    int* s = src.mutable_data();
    int* t = dst.mutable_data();
    without_lock([&](Interrupt* interrupt) {
        uniform_edges(n, key, 0, m, s, t, get_thread_count(threads), interrupt);
    });
    return py::make_tuple(src, dst);
}

py::tuple grid_edges_array(const py::int_& rows, const py::int_& columns, int threads) {
    const std::int64_t r = whole(rows, "rows", 0, kMaxIds);
    const std::int64_t c = whole(columns, "columns", 0, kMaxIds);
    if (c > 0 && r > kMaxIds / c)
        throw py::value_error("a grid of " + std::to_string(r) + "x" + std::to_string(c) +
                              " has more cells than int32 ids can number (at most 2**31)");
    const std::int64_t count = grid_edge_count(r, c);
    auto src = int32_array(count);
    auto dst = int32_array(count);
    int* s = src.mutable_data();
    int* t = dst.mutable_data();
    without_lock([&](Interrupt* interrupt) {
        grid_edges(r, c, s, t, get_thread_count(threads), interrupt);
    });
    return py::make_tuple(src, dst);
}

py::array_t<double> integer_weights_array(const py::int_& count, const py::int_& low,
                                          const py::int_& high, const py::int_& seed, int threads) {
    const std::int64_t n = whole(count, "count", 0, std::numeric_limits<std::int64_t>::max());
    const std::int64_t lo = whole(low, "low", -kMaxExactWhole, kMaxExactWhole);
    const std::int64_t hi = whole(high, "high", -kMaxExactWhole, kMaxExactWhole);
    if (lo > hi)
        throw py::value_error("low must not exceed high, got " + std::to_string(lo) + " > " +
                              std::to_string(hi));
    const std::uint64_t key = seed_of(seed);
    py::array_t<double> weights(n);
    double* w = weights.mutable_data();
    without_lock([&](Interrupt* interrupt) {
        integer_weights(lo, hi, key, 0, n, w, get_thread_count(threads), interrupt);
    });
    return weights;
}

}  // namespace

void register_generators(py::module_& m) {
    using namespace pybind11::literals;
    m.def("rmat_edges", &rmat_edges_array, "scale"_a, "edge_factor"_a, "seed"_a, "probabilities"_a,
          "threads"_a,
          "R-MAT edges over 2**scale vertices as two int32 arrays; see "
          "veltrix.generators.rmat_arrays.");
    m.def("uniform_edges", &uniform_edges_array, "num_vertices"_a, "num_edges"_a, "seed"_a,
          "threads"_a,
          "Uniformly drawn edges as two int32 arrays; see veltrix.generators.uniform_arrays.");
    m.def("grid_edges", &grid_edges_array, "rows"_a, "columns"_a, "threads"_a,
          "The edges of a rows x columns lattice as two int32 arrays; see "
          "veltrix.generators.grid_arrays.");
    m.def("integer_weights", &integer_weights_array, "count"_a, "low"_a, "high"_a, "seed"_a,
          "threads"_a,
          "Whole-number weights from [low, high] as float64; see veltrix.generators.weight_array.");
}

}  // namespace veltrix::bindings::native
