// Reachability by a depth-first walk on the caller that hands over to the breadth-first search of
// hop_distances.cpp once its stack holds enough edges to share.
//
// On a high-diameter graph the walk follows the memory layout where a breadth-first frontier
// strides across it; its stack grows about as fast as it walks, and it finishes alone without any
// levels. On a low-diameter graph the stack soon outgrows the walk many times over and holds many
// edges; its vertices then become the frontier of a level-synchronous search (walked vertices hold
// 0, stacked ones 1), whose bottom-up steps skip most of the remaining edges.

#include "algorithms/reachability.hpp"

#include "algorithms/hop_distances.hpp"
#include "graph/input.hpp"

namespace veltrix {

namespace {

constexpr long long kHandOverEdges = 1 << 14;  // the walk hands over once this many edges are stacked
constexpr long long kFanOut = 4;               // and the stack holds this many vertices per walked one
constexpr int kPollSteps = 1 << 16;            // vertices walked between two interrupt checks

}  // namespace

std::vector<bool> reachability(const Graph& graph, int source, int workers, Interrupt* interrupt) {
    const int n = graph.vertices();
    require_vertex(source, n);
    const AdjacencyLists& adj = graph.get_adj();

    std::vector<int> mark(n, -1);  // 0 walked, 1 stacked, -1 not reached yet
    std::vector<int> stack{source};
    mark[source] = 1;
    long long stacked_edges = static_cast<long long>(adj[source].size());
    for (int steps = 1; !stack.empty(); ++steps) {
        if (stacked_edges >= kHandOverEdges && static_cast<long long>(stack.size()) > kFanOut * steps) {
            search_levels(graph, mark, std::move(stack), 1, workers, interrupt);
            break;
        }
        if (interrupt != nullptr && steps % kPollSteps == 0) interrupt->check();
        const int v = stack.back();
        stack.pop_back();
        mark[v] = 0;
        stacked_edges -= static_cast<long long>(adj[v].size());
        for (int w : adj[v])
            if (mark[w] < 0) {
                mark[w] = 1;
                stack.push_back(w);
                stacked_edges += static_cast<long long>(adj[w].size());
            }
    }
    std::vector<bool> reached(n);
    for (int v = 0; v < n; ++v) reached[v] = mark[v] >= 0;
    return reached;
}

}  // namespace veltrix
