// Hop distances against a plain queue, for every worker count and again and again (races show up
// as results that vary), on graphs that drive the search top-down, bottom-up and back.

#include <stdexcept>
#include <string>

#include "algorithms/hop_distances.hpp"
#include "check.hpp"
#include "reference/hop_distances.hpp"
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
        const std::vector<int> expected = reference::hop_distances(shape.graph.get_adj(), source);
        for (int workers : testing::kWorkers)
            for (int run = 0; run < kRuns; ++run) CHECK(hop_distances(shape.graph, source, workers) == expected);
    }
}

void refuses_bad_sources(const Graph& graph) {
    for (int source : {-1, graph.vertices()}) {
        std::string message;
        try {
            hop_distances(graph, source, 2);
        } catch (const std::out_of_range& error) {
            message = error.what();
        }
        CHECK_EQ(message, std::string("Vertex index out of range"));
    }
}

// Stops both on the caller alone (many small levels) and with the team up.
void stops_when_interrupted(const Graph& graph) {
    for (int workers : {1, 2}) {
        StopAtOnce interrupt;
        std::string message;
        try {
            hop_distances(graph, 0, workers, &interrupt);
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
    for (const testing::Shape& shape : shapes) stops_when_interrupted(shape.graph);
    return check::report();
}
