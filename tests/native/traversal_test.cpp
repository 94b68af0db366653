// Hop distances and reachability against plain serial walks, for every worker count and again and
// again (races show up as results that vary), on graphs that drive the search top-down, bottom-up
// and back, and on long walks that must still stop when interrupted.

#include <algorithm>
#include <stdexcept>
#include <string>

#include "algorithms/hop_distances.hpp"
#include "algorithms/reachability.hpp"
#include "check.hpp"
#include "interrupted.hpp"
#include "reference/hop_distances.hpp"
#include "reference/reachability.hpp"
#include "traversal_graphs.hpp"

namespace {

using namespace veltrix;

constexpr int kRuns = 2;

// Kernel: (graph, source, workers, interrupt) -> result; Reference: (lists, source) -> result.
template <class Kernel, class Reference>
void same_as_reference(const testing::Shape& shape, Kernel kernel, Reference reference) {
    for (int source : testing::sources(shape.graph)) {
        check::context() = shape.name + " source=" + std::to_string(source);
        const auto expected = reference(shape.graph.get_adj(), source);
        for (int workers : testing::kWorkers)
            for (int run = 0; run < kRuns; ++run)
                CHECK(std::ranges::equal(kernel(shape.graph, source, workers, nullptr), expected));
    }
}

template <class Kernel>
void refuses_bad_sources(const Graph& graph, Kernel kernel) {
    for (int source : {-1, graph.vertices()}) {
        std::string message;
        try {
            kernel(graph, source, 2, nullptr);
        } catch (const std::out_of_range& error) {
            message = error.what();
        }
        CHECK_EQ(message, std::string("Vertex index out of range"));
    }
}

// Stops both on the caller alone (many small levels, or a long walk) and with the team up.
template <class Kernel>
void stops_when_interrupted(const Graph& graph, Kernel kernel) {
    testing::stops_when_interrupted(
        [&](int workers, Interrupt* interrupt) { kernel(graph, 0, workers, interrupt); });
}

template <class Kernel, class Reference>
void check_kernel(const std::vector<testing::Shape>& shapes, Kernel kernel, Reference reference) {
    for (const testing::Shape& shape : shapes) same_as_reference(shape, kernel, reference);
    check::context().clear();
    refuses_bad_sources(shapes.front().graph, kernel);
    stops_when_interrupted(Graph(300 * 300, testing::grid(300, 300), false), kernel);
    stops_when_interrupted(testing::core_with_tail({20000, 150000, false}, 3000, 11), kernel);
}

}  // namespace

int main() {
    const std::vector<testing::Shape> shapes = testing::traversal_graphs();
    const auto hops = [](const Graph& g, int s, int w, Interrupt* i) {
        return hop_distances(g, s, w, i);
    };
    check_kernel(shapes, hops,
                 [](const AdjacencyLists& adj, int s) { return reference::hop_distances(adj, s); });
    // Hop distances ask between every two levels, so even the smallest search stops.
    for (const testing::Shape& shape : shapes) stops_when_interrupted(shape.graph, hops);
    check_kernel(
        shapes, [](const Graph& g, int s, int w, Interrupt* i) { return reachability(g, s, w, i); },
        [](const AdjacencyLists& adj, int s) { return reference::reachability(adj, s); });
    return check::report();
}
