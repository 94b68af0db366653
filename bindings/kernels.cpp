// The algorithm functions, one row each. Every row binds its kernel through `entry`, so every
// algorithm called from Python
// - refuses a graph whose __init__ never ran (TypeError);
// - marks the graph as being read, so that code run in the middle of the call (a Python signal
//   handler) cannot change it;
// - resolves `threads` into a worker count with get_thread_count;
// - stops when a signal handler raises: the kernel's team asks PythonSignals between passes and
//   between tasks, joins its workers and lets the exception out, so the call raises whatever the
//   handler raised (KeyboardInterrupt for Ctrl-C) with no thread left running and the graph as it was.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstddef>
#include <tuple>
#include <utility>

#include "algorithms/connected_components.hpp"
#include "algorithms/hop_distances.hpp"
#include "algorithms/pagerank_gather.hpp"
#include "algorithms/pagerank_scatter.hpp"
#include "algorithms/reachability.hpp"
#include "algorithms/shortest_distances.hpp"
#include "algorithms/triangle_count.hpp"
#include "bindings/casters.hpp"
#include "bindings/method.hpp"
#include "bindings/registration.hpp"
#include "parallel/team.hpp"
#include "parallel/threads.hpp"

namespace py = pybind11;

namespace veltrix::bindings {
namespace {

// Runs the Python signal handlers that are due, on the calling thread, which holds the GIL for the
// whole call; whatever a handler raises stops the kernel.
class PythonSignals final : public Interrupt {
public:
    void check() override {
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
};

// The Python function for `kernel`, which is called as kernel(lists, args..., workers, interrupt);
// Python calls it as f(graph, args..., threads) with a graph of class G.
template <class G, class R, class Parameters, std::size_t... I>
auto entry(R (*kernel)(const ListsView&, std::tuple_element_t<I, Parameters>..., int, Interrupt*),
           std::index_sequence<I...>) {
    return [kernel](const G& graph, std::tuple_element_t<I, Parameters>... args, int threads) -> R {
        require_initialised(graph);
        const Reading reading(graph);
        PythonSignals signals;
        return kernel(graph, args..., get_thread_count(threads), &signals);
    };
}

template <class G, class R, class... P>
auto entry(R (*kernel)(const ListsView&, P...)) {
    static_assert(sizeof...(P) >= 2, "a kernel ends with (int workers, Interrupt* interrupt)");
    return entry<G, R, std::tuple<P...>>(kernel, std::make_index_sequence<sizeof...(P) - 2>{});
}

}  // namespace

void register_kernels(py::module_& m) {
    const auto graph = py::arg("graph");
    const auto source = py::arg("source");
    const auto threads = py::arg("threads") = -1;
    const auto iterations = py::arg("iterations") = 20;
    const auto damping = py::arg("damping") = 0.85;

    m.def("parallel_connected_components", entry<Graph>(connected_components), graph, threads);
    m.def("parallel_pagerank", entry<Graph>(pagerank_gather), graph, iterations, damping, threads);
    m.def("parallel_pagerank_bfs", entry<Graph>(pagerank_scatter), graph, iterations, damping,
          threads);
    m.def("parallel_bfs", entry<Graph>(hop_distances), graph, source, threads);
    m.def("parallel_dfs", entry<Graph>(reachability), graph, source, threads);
    m.def("parallel_dijkstra", entry<WeightedGraph>(shortest_distances), graph, source, threads);
    m.def("triangle_count_parallel", entry<Graph>(triangle_count), graph, threads);
}

}  // namespace veltrix::bindings
