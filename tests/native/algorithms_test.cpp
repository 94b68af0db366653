// Every algorithm on seeded random graphs (repeated edges, self-loops, directed and undirected),
// run again and again with one thread and with every hardware thread: results must match a plain
// sequential reference and never vary. Built under the sanitizers, this is the race detector's
// workload.

#include <algorithm>
#include <functional>
#include <numeric>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include "algorithms/algorithms.hpp"
#include "check.hpp"

namespace {

using namespace veltrix;

constexpr int kRuns = 8 / check::kRepeatDivisor;
const int kThreadCounts[] = {1, 2, -1};

struct Case {
    int n;
    int m;
    bool directed;
};

WeightedGraph random_graph(const Case& c, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> vertex(0, c.n - 1), weight(0, 9), percent(0, 99);
    WeightedEdgeList edges;
    for (int i = 0; i < c.m; ++i) {
        const int u = vertex(random);
        const int v = percent(random) < 3 ? u : vertex(random);
        edges.emplace_back(u, v, weight(random));
        if (percent(random) < 5) edges.emplace_back(u, v, weight(random));
    }
    WeightedGraph graph(c.n, c.directed);
    graph.add_edges(edges);
    return graph;
}

std::vector<int> reference_bfs(const AdjacencyLists& adj, int source) {
    std::vector<int> distance(adj.size(), -1);
    std::queue<int> queue;
    distance[source] = 0;
    for (queue.push(source); !queue.empty(); queue.pop())
        for (int v : adj[queue.front()])
            if (distance[v] < 0) distance[v] = distance[queue.front()] + 1, queue.push(v);
    return distance;
}

void check_case(const Case& c, unsigned seed) {
    check::context() = "n=" + std::to_string(c.n) + " m=" + std::to_string(c.m) + " directed=" + std::to_string(c.directed);
    const WeightedGraph graph = random_graph(c, seed);
    const Graph& plain = graph;
    const AdjacencyLists& adj = plain.get_adj();
    const int source = c.n / 3;

    const std::vector<int> hops = reference_bfs(adj, source);
    std::vector<bool> reached(c.n);
    for (int v = 0; v < c.n; ++v) reached[v] = hops[v] >= 0;

    for (int threads : kThreadCounts) {
        for (int run = 0; run < kRuns; ++run) {
            CHECK(parallel_bfs(plain, source, threads) == hops);
            CHECK(parallel_dfs(plain, source, threads) == reached);
        }
    }
}

}  // namespace

int main() {
    const Case cases[] = {{1, 0, false}, {2, 3, true}, {50, 120, false}, {300, 900, true},
                          {2000, 8000, false}, {2000, 3000, true}, {20000, 60000, false}};
    unsigned seed = 1;
    for (const Case& c : cases) check_case(c, seed++);
    return check::report();
}
