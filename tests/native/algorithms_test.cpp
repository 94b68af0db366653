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

constexpr int kRuns = 8;
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

std::vector<int> reference_components(const AdjacencyLists& adj) {
    std::vector<int> parent(adj.size());
    std::iota(parent.begin(), parent.end(), 0);
    std::function<int(int)> find = [&](int x) { return parent[x] == x ? x : parent[x] = find(parent[x]); };
    for (int u = 0; u < static_cast<int>(adj.size()); ++u)
        for (int v : adj[u]) {
            const int a = find(u), b = find(v);
            parent[std::max(a, b)] = std::min(a, b);
        }
    for (int u = 0; u < static_cast<int>(adj.size()); ++u) parent[u] = find(u);
    return parent;
}

std::vector<double> reference_distances(const WeightedLists& lists, int source) {
    std::vector<double> distance(lists.size(), 1e18);
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> heap;
    distance[source] = 0.0;
    for (heap.emplace(0.0, source); !heap.empty();) {
        const auto [d, u] = heap.top();
        heap.pop();
        if (d != distance[u]) continue;
        for (const auto& [v, w] : lists[u])
            if (d + w < distance[v]) distance[v] = d + w, heap.emplace(d + w, v);
    }
    return distance;
}

// Triples u < v < w with v and w in u's list and w in v's list, every occurrence of v counted and
// each w counted as often as the list holding it fewer times.
std::int64_t reference_triangles(const AdjacencyLists& adj) {
    std::int64_t count = 0;
    for (int u = 0; u < static_cast<int>(adj.size()); ++u)
        for (int v : adj[u]) {
            if (v <= u) continue;
            std::vector<int> above(adj[u].begin(), adj[u].end());
            std::sort(above.begin(), above.end());
            above.erase(std::unique(above.begin(), above.end()), above.end());
            for (int w : above)
                if (w > v)
                    count += std::min(std::count(adj[u].begin(), adj[u].end(), w), std::count(adj[v].begin(), adj[v].end(), w));
        }
    return count;
}

void check_case(const Case& c, unsigned seed) {
    check::context() = "n=" + std::to_string(c.n) + " m=" + std::to_string(c.m) + " directed=" + std::to_string(c.directed);
    const WeightedGraph graph = random_graph(c, seed);
    const Graph& plain = graph;
    const AdjacencyLists& adj = plain.get_adj();
    const int source = c.n / 3;

    const std::vector<int> components = reference_components(adj);
    const std::vector<double> distances = reference_distances(graph.get_adj(), source);
    const std::int64_t triangles = c.n <= 2000 ? reference_triangles(adj) : triangle_count_parallel(plain, 1);
    const std::vector<double> scores = parallel_pagerank(plain, 10, 0.85, 1);

    for (int threads : kThreadCounts) {
        const std::vector<double> scattered = parallel_pagerank_bfs(plain, 10, 0.85, threads);
        for (int run = 0; run < kRuns; ++run) {
            CHECK(parallel_connected_components(plain, threads) == components);
            CHECK(parallel_dijkstra(graph, source, threads) == distances);
            CHECK_EQ(triangle_count_parallel(plain, threads), triangles);
            CHECK(parallel_pagerank(plain, 10, 0.85, threads) == scores);
            CHECK(parallel_pagerank_bfs(plain, 10, 0.85, threads) == scattered);
        }
        for (int v = 0; v < c.n; ++v) CHECK(std::abs(scattered[v] - scores[v]) <= 1e-12);
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
