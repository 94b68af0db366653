// The kernels as array functions, for Graph and WeightedGraph (read through their lists, marked as
// read for the whole call) and for CSR graphs. Each runs with the interpreter lock released and
// returns a numpy array that owns the kernel's result.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <utility>

#include "algorithms/connected_components.hpp"
#include "algorithms/hop_distances.hpp"
#include "algorithms/pagerank_gather.hpp"
#include "algorithms/pagerank_scatter.hpp"
#include "algorithms/shortest_distances.hpp"
#include "algorithms/triangle_count.hpp"
#include "bindings/method.hpp"
#include "bindings/native/arrays.hpp"
#include "bindings/native/csr.hpp"
#include "bindings/native/registration.hpp"
#include "bindings/native/released.hpp"
#include "parallel/threads.hpp"

namespace py = pybind11;

namespace veltrix::bindings::native {

namespace {

// Runs kernel(view, workers, interrupt) without the lock.
template <class Kernel>
auto on(const Graph& graph, int threads, Kernel&& kernel) {
    require_initialised(graph);
    const Reading reading(graph);
    const ListsView view(graph);
    const int workers = get_thread_count(threads);
    return without_lock([&](Interrupt* interrupt) { return kernel(view, workers, interrupt); });
}

template <class Kernel>
auto on(const CsrArrays& graph, int threads, Kernel&& kernel) {
    require_initialised(graph);
    const CsrView view = graph.view();
    const int workers = get_thread_count(threads);
    return without_lock([&](Interrupt* interrupt) { return kernel(view, workers, interrupt); });
}

template <class G>
void require_weights(const G& graph) {
    require_initialised(graph);
    bool weighted;
    if constexpr (std::is_same_v<G, CsrArrays>)
        weighted = graph.weighted;
    else
        weighted = dynamic_cast<const WeightedGraph*>(&graph) != nullptr;
    if (!weighted) throw py::value_error("shortest distances need a weighted graph");
}

// One overload of every array function for graphs of class G.
template <class G>
void register_for(py::module_& m) {
    const auto graph = py::arg("graph");
    const auto source = py::arg("source");
    const auto threads = py::arg("threads");
    m.def(
        "hop_distances",
        [](const G& g, int s, int threads) {
            return owned_array(on(g, threads, [s](const auto& v, int w, Interrupt* i) {
                return hop_distances(v, s, w, i);
            }));
        },
        graph, source, threads);
    m.def(
        "reachable",
        [](const G& g, int s, int threads) {
            Buffer<std::uint8_t> reached = on(g, threads, [s](const auto& v, int w, Interrupt* i) {
                const Buffer<int> distance = hop_distances(v, s, w, i);
                Buffer<std::uint8_t> reached(distance.size());
                for (std::size_t k = 0; k < distance.size(); ++k) reached[k] = distance[k] >= 0;
                return reached;
            });
            return owned_array(std::move(reached)).attr("view")(py::dtype::of<bool>());
        },
        graph, source, threads);
    m.def(
        "connected_components",
        [](const G& g, int threads) {
            return owned_array(on(g, threads, [](const auto& v, int w, Interrupt* i) {
                return connected_components(v, w, i);
            }));
        },
        graph, threads);
    m.def(
        "pagerank",
        [](const G& g, int iterations, double damping, int threads) {
            return owned_array(on(g, threads, [=](const auto& v, int w, Interrupt* i) {
                return pagerank_gather(v, iterations, damping, w, i);
            }));
        },
        graph, py::arg("iterations"), py::arg("damping"), threads);
    m.def(
        "pagerank_scatter",
        [](const G& g, int iterations, double damping, int threads) {
            return owned_array(on(g, threads, [=](const auto& v, int w, Interrupt* i) {
                return pagerank_scatter(v, iterations, damping, w, i);
            }));
        },
        graph, py::arg("iterations"), py::arg("damping"), threads);
    m.def(
        "shortest_distances",
        [](const G& g, int s, int threads) {
            require_weights(g);
            return owned_array(on(g, threads, [s](const auto& v, int w, Interrupt* i) {
                return shortest_distances(v, s, w, i);
            }));
        },
        graph, source, threads);
    m.def(
        "triangle_count",
        [](const G& g, int threads) {
            return on(g, threads,
                      [](const auto& v, int w, Interrupt* i) { return triangle_count(v, w, i); });
        },
        graph, threads);
}

}  // namespace

void register_kernels(py::module_& m) {
    register_for<Graph>(m);
    register_for<CsrArrays>(m);
}

}  // namespace veltrix::bindings::native
