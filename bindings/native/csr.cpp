// Construction of compressed graphs from Python: from edge arrays, from a Graph's lists, and from
// arrays read back from files, which are checked whole before they become a graph.

#include "bindings/native/csr.hpp"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "bindings/method.hpp"
#include "bindings/native/arrays.hpp"
#include "bindings/native/registration.hpp"
#include "bindings/native/released.hpp"
#include "graph/csr_graph.hpp"
#include "parallel/threads.hpp"

namespace py = pybind11;

namespace veltrix::bindings::native {

namespace {

template <class T>
py::array_t<T> read_only(py::array_t<T> array) {
    array.attr("setflags")(py::arg("write") = false);
    return array;
}

CsrArrays wrap(CsrGraph&& graph) {
    const bool weighted = graph.weighted;
    return {graph.vertices,
            graph.directed,
            graph.mirrored,
            read_only(owned_array(std::move(graph.offsets))),
            read_only(owned_array(std::move(graph.targets))),
            weighted,
            weighted ? read_only(owned_array(std::move(graph.weights))) : py::array_t<double>(0),
            graph.ascending};
}

// A one-dimensional, C-contiguous array of exactly element type T; the Python layer converts
// everything else before it calls in.
template <class T>
bool is_plain(const py::array& array) {
    return array.ndim() == 1 && array.dtype().is(py::dtype::of<T>()) &&
           (array.flags() & py::array::c_style) != 0;
}

template <class T>
const T* data_of(const py::array& array) {
    return static_cast<const T*>(array.data());
}

// Calls f(src, dst) with the arrays' data as pointers to their common integer type.
template <class F>
auto with_ids(const py::array& src, const py::array& dst, F&& f) {
    if (src.ndim() != 1 || dst.ndim() != 1 || src.shape(0) != dst.shape(0))
        throw py::value_error("src and dst must be one-dimensional arrays of equal length");
    if (is_plain<std::int32_t>(src) && is_plain<std::int32_t>(dst))
        return f(data_of<std::int32_t>(src), data_of<std::int32_t>(dst));
    if (is_plain<std::int64_t>(src) && is_plain<std::int64_t>(dst))
        return f(data_of<std::int64_t>(src), data_of<std::int64_t>(dst));
    if (is_plain<std::uint32_t>(src) && is_plain<std::uint32_t>(dst))
        return f(data_of<std::uint32_t>(src), data_of<std::uint32_t>(dst));
    if (is_plain<std::uint64_t>(src) && is_plain<std::uint64_t>(dst))
        return f(data_of<std::uint64_t>(src), data_of<std::uint64_t>(dst));
    throw py::type_error("src and dst must be contiguous arrays of one 32- or 64-bit integer type");
}

// The weights' data, checked to be one float64 per edge; null for None.
const double* weights_of(const py::object& weights, py::ssize_t edges) {
    if (weights.is_none()) return nullptr;
    const auto array = py::reinterpret_borrow<py::array>(weights);
    if (!is_plain<double>(array) || array.shape(0) != edges)
        throw py::type_error("weights must be a contiguous float64 array with one entry per edge");
    return data_of<double>(array);
}

CsrArrays from_edges(const py::array& src, const py::array& dst, int n, const py::object& weights,
                     bool directed, bool simplify, int threads) {
    if (n < 0) throw py::value_error("the vertex count must not be negative");
    const int workers = get_thread_count(threads);
    return wrap(with_ids(src, dst, [&](const auto* s, const auto* d) {
        const double* w = weights_of(weights, src.shape(0));
        const std::int64_t count = src.shape(0);
        return without_lock([&](Interrupt* interrupt) {
            Team team(workers_for(2 * count, workers), interrupt);
            return csr_from_edges(s, d, w, count, n, directed, simplify, team);
        });
    }));
}

// Runs step(team) without the lock on a team sized for `work` (every worker when it is unknown).
template <class Step>
auto on_team(int threads, std::int64_t work, Step&& step) {
    const int workers = get_thread_count(threads);
    return without_lock([&](Interrupt* interrupt) {
        Team team(work == 0 ? workers : workers_for(work, workers), interrupt);
        return step(team);
    });
}

// CsrBuilder for Python: batches of numpy arrays, each counted and then placed without the lock.
class Batches {
public:
    Batches(int n, bool directed, bool weighted, bool simplify)
        : builder_(n, directed, weighted, simplify) {
        if (n < 0) throw py::value_error("the vertex count must not be negative");
    }

    void count(const py::array& src, const py::array& dst, int threads) {
        with_ids(src, dst, [&](const auto* s, const auto* d) {
            on_team(threads, 2 * src.shape(0),
                    [&](Team& team) { builder_.count(s, d, src.shape(0), team); });
            return 0;
        });
    }

    void place(const py::array& src, const py::array& dst, const py::object& weights, int threads) {
        with_ids(src, dst, [&](const auto* s, const auto* d) {
            const double* w = weights_of(weights, src.shape(0));
            on_team(threads, 2 * src.shape(0),
                    [&](Team& team) { builder_.place(s, d, w, src.shape(0), team); });
            return 0;
        });
    }

    CsrArrays finish(int threads) {
        return wrap(on_team(threads, 0, [&](Team& team) { return builder_.finish(team); }));
    }

private:
    CsrBuilder builder_;
};

CsrArrays from_graph(const Graph& graph, int threads) {
    require_initialised(graph);
    const Reading reading(graph);
    const ListsView lists(graph);
    const int workers = get_thread_count(threads);
    return wrap(without_lock([&](Interrupt* interrupt) {
        Team team(workers_for(lists.vertices() + lists.entry_count(), workers), interrupt);
        return csr_from_lists(lists, graph.is_directed(), team);
    }));
}

// Arrays from outside (a file): refused with ValueError unless they form a valid graph.
CsrArrays checked(int n, const py::array& offsets, const py::array& targets,
                  const py::object& weights, bool directed, bool mirrored, int threads) {
    if (n < 0) throw py::value_error("the vertex count must not be negative");
    if (!is_plain<std::int64_t>(offsets) || offsets.shape(0) != static_cast<py::ssize_t>(n) + 1)
        throw py::value_error("the offsets must be " + std::to_string(n + 1LL) + " int64 values");
    if (!is_plain<std::int32_t>(targets)) throw py::value_error("the targets must be int32 values");
    const bool weighted = !weights.is_none();
    py::array_t<double> weight_array(0);
    if (weighted) {
        const auto given = py::reinterpret_borrow<py::array>(weights);
        if (!is_plain<double>(given) || given.shape(0) != targets.shape(0))
            throw py::value_error("the weights must be float64 values, one per target");
        weight_array = py::reinterpret_borrow<py::array_t<double>>(given);
    }
    const auto* o = data_of<std::int64_t>(offsets);
    const auto* t = data_of<std::int32_t>(targets);
    const std::int64_t entries = targets.shape(0);
    const int workers = get_thread_count(threads);
    bool ascending = false;
    const std::string problem = without_lock([&](Interrupt* interrupt) {
        Team team(workers_for(n + entries, workers), interrupt);
        return csr_problem(n, o, t, entries, mirrored, team, &ascending);
    });
    if (!problem.empty()) throw py::value_error(problem);
    return {n,
            directed,
            mirrored,
            read_only(py::reinterpret_borrow<py::array_t<std::int64_t>>(offsets)),
            read_only(py::reinterpret_borrow<py::array_t<std::int32_t>>(targets)),
            weighted,
            weighted ? read_only(weight_array) : weight_array,
            ascending};
}

}  // namespace

void register_csr(py::module_& m) {
    const auto n = py::arg("num_vertices"), src = py::arg("src"), dst = py::arg("dst"),
               weights = py::arg("weights");
    const auto directed = py::arg("directed"), simplify = py::arg("simplify"),
               threads = py::arg("threads");
    py::class_<CsrArrays>(m, "CsrArrays")
        .def_property_readonly("num_vertices", initialised_field(&CsrArrays::vertices))
        .def_property_readonly("directed", initialised_field(&CsrArrays::directed))
        .def_property_readonly("mirrored", initialised_field(&CsrArrays::mirrored))
        .def_property_readonly("weighted", initialised_field(&CsrArrays::weighted))
        .def_property_readonly("offsets", initialised_field(&CsrArrays::offsets))
        .def_property_readonly("targets", initialised_field(&CsrArrays::targets))
        .def_property_readonly("weights", initialised_field(&CsrArrays::weights));
    m.def("csr_from_edges", &from_edges, src, dst, n, weights, directed, simplify, threads);
    py::class_<Batches>(m, "CsrBatches")
        .def(py::init<int, bool, bool, bool>(), n, directed, py::arg("weighted"), simplify)
        .def("count", initialised_method(&Batches::count), src, dst, threads)
        .def("place", initialised_method(&Batches::place), src, dst, weights, threads)
        .def("finish", initialised_method(&Batches::finish), threads);
    m.def("csr_from_graph", &from_graph, py::arg("graph"), threads);
    m.def("csr_checked", &checked, n, py::arg("offsets"), py::arg("targets"), weights, directed,
          py::arg("mirrored"), threads);
}

}  // namespace veltrix::bindings::native
