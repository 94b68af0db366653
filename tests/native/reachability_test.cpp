// Reachability against a plain depth-first walk, for every worker count and again and again (races
// show up as results that vary), on graphs that drive the search top-down, bottom-up and back.

#include <stdexcept>
#include <string>

#include "algorithms/reachability.hpp"
#include "check.hpp"
#include "reference/reachability.hpp"
#include "traversal_graphs.hpp"

namespace {

using namespace veltrix;

constexpr int kRuns = 2;

struct StopAtOnce final : Interrupt {
    void check() override { throw std::runtime_error("stopped"); }
};

void same_as_reference(const testing::Shape& shape) {
    for (int source : testing::sources(shape.graph)) {
        check::context() = shape.name + " source=" + std::to_string(source);
        const std::vector<bool> expected = reference::reachability(shape.graph.get_adj(), source);
        for (int workers : testing::kWorkers)
            for (int run = 0; run < kRuns; ++run) CHECK(reachability(shape.graph, source, workers) == expected);
    }
}

void refuses_bad_sources(const Graph& graph) {
    for (int source : {-1, graph.vertices()}) {
        std::string message;
        try {
            reachability(graph, source, 2);
        } catch (const std::out_of_range& error) {
            message = error.what();
        }
        CHECK_EQ(message, std::string("Vertex index out of range"));
    }
}

// Stops both while walking alone (a long walk) and after handing over to the team.
void stops_when_interrupted(const Graph& graph) {
    for (int workers : {1, 2}) {
        StopAtOnce interrupt;
        std::string message;
        try {
            reachability(graph, 0, workers, &interrupt);
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        CHECK_EQ(message, std::string("stopped"));
    }
}

}  // namespace

int main() {
    const std::vector<testing::Shape> shapes = testing::traversal_graphs();
    for (const testing::Shape& shape : shapes) same_as_reference(shape);
    check::context().clear();
    refuses_bad_sources(shapes.front().graph);
    stops_when_interrupted(Graph(300 * 300, testing::grid(300, 300), false));
    stops_when_interrupted(testing::core_with_tail({20000, 150000, false}, 3000, 11));
    return check::report();
}
