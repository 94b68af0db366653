// Single-source shortest distances, the least fixpoint of d[v] = min(d[v], d[u] + w(u, v)) from
// d = 1e18 everywhere but d[source] = 0, with strictly lower updates only.
//
// While every weight met is >= 0 or NaN, a label-setting method reaches that fixpoint: adding a
// non-negative double never lowers a value (rounding is monotone), so every distance is final
// once it is the smallest one left. Large graphs use delta-stepping (U. Meyer and P. Sanders,
// "Delta-stepping: a parallelizable shortest path algorithm", J. Algorithms 49, 2003): buckets of
// distance width delta, each bucket relaxed in parallel by the team with a per-worker bucket array,
// and a worker drains a small refill of the current bucket itself before the next pass ("bucket
// fusion"). A refill counts as small by its vertices and, when other workers could share it, by
// their arcs too: the first buckets hold the hubs, and a worker that drained them alone would keep
// the team waiting. On one worker the same buckets beat a binary heap, small graphs and grids
// included; the heap (Dijkstra) remains for weights so spread out that the buckets would not fit.
//
// Weights are checked only where they are read: the label-setting methods scan the edges of every
// reached vertex, and no others matter. The first negative weight (-inf included) sends the call
// to relaxation passes over every vertex (the Bellman-Ford scheme), which stop after a pass that
// lowers nothing or after n - 1 passes; with a reachable negative cycle the result is whatever the
// passes reach.

#include "algorithms/shortest_distances.hpp"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include "graph/input.hpp"
#include "graph/prefetch.hpp"
#include "parallel/atomics.hpp"
#include "parallel/buffer.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

constexpr double kUnreached = 1e18;
constexpr double kMaxBuckets = 1 << 18;  // beyond this, delta-stepping gives way to the heap
constexpr std::size_t kFusion = 1024;  // a refill of the current bucket this small stays local
constexpr std::size_t kFusionArcs = 8192;  // ... if its lists are this short, with a team
constexpr int kWeightSamples = 256;

enum class Outcome { settled, negative_weight, too_far };

// Every distance unreached but the source's, written by the workers: a fresh buffer (on large
// pages, as the searches lower its entries all over it) is mapped by each for its own part.
void restart(Buffer<double>& distance, int source, Team& team) {
    team.for_each(0, static_cast<int>(distance.size()), [&](int v) { distance[v] = kUnreached; });
    distance[source] = 0.0;
}

template <class View>
Outcome heap_distances(const View& graph, int source, Buffer<double>& distance) {
    using Entry = std::pair<double, int>;
    const auto later = [](const Entry& a, const Entry& b) { return a.first > b.first; };
    std::vector<Entry> heap{{0.0, source}};
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        const auto [d, u] = heap.back();
        heap.pop_back();
        if (d > distance[u]) continue;  // superseded by a later, lower entry
        for (const auto& [v, weight] : graph.weighted(u)) {
            if (weight < 0.0) return Outcome::negative_weight;
            const double candidate = d + weight;
            if (!(candidate < distance[v])) continue;
            distance[v] = candidate;
            heap.emplace_back(candidate, v);
            std::push_heap(heap.begin(), heap.end(), later);
        }
    }
    return Outcome::settled;
}

// A bucket width of a few typical weights over the average degree: wide enough for passes with
// plenty of work, narrow enough that little is relaxed before its distance is final. The weights
// are sampled from lists spread over the graph; NaN, infinite and negative ones tell nothing.
template <class View>
double bucket_width(const View& graph) {
    const int n = graph.vertices();
    double sum = 0.0;
    int count = 0;
    for (int s = 0; s < kWeightSamples; ++s) {
        const auto list =
            graph.weighted(static_cast<int>(static_cast<long long>(n) * s / kWeightSamples));
        if (list.empty()) continue;
        const double weight = list.front().second;
        if (weight >= 0.0 && weight < std::numeric_limits<double>::infinity())
            sum += weight, ++count;
    }
    const double mean = count > 0 && sum > 0.0 ? sum / count : 1.0;
    const double degree = std::max(1.0, static_cast<double>(graph.entry_count()) / n);
    return std::max(mean * 2.0 / degree, std::numeric_limits<double>::min());
}

template <class View>
Outcome delta_stepping(const View& graph, int source, double delta, Team& team,
                       Buffer<double>& distance) {
    std::vector<std::vector<std::vector<int>>> buckets(team.size());
    std::vector<std::vector<int>> batch(team.size());
    std::vector<int> frontier{source};
    std::size_t current = 0;
    std::atomic<bool> negative{false}, too_far{false};

    auto relax = [&](int u, int worker) {
        // A local copy of the address: the compiler cannot tell that the pushes into the buckets
        // leave it alone, and would read it again for every edge.
        double* const dist = distance.data();
        const double d = load(dist[u]);
        if (d / delta < static_cast<double>(current)) return;  // settled in an earlier bucket
        for (const auto& [v, weight] : graph.weighted(u)) {
            if (weight < 0.0) return raise_flag(negative);
            const double candidate = d + weight;
            if (!lower_to(dist[v], candidate)) continue;
            const double bucket = candidate / delta;
            if (bucket >= kMaxBuckets) return raise_flag(too_far);
            auto& mine = buckets[worker];
            const auto b = static_cast<std::size_t>(bucket);
            if (mine.size() <= b) mine.resize(b + 1);
            mine[b].push_back(v);
        }
    };

    auto relax_range = [&](const std::vector<int>& vertices, std::size_t first, std::size_t last,
                           int worker) {
        for (std::size_t i = first; i < last; ++i) {
            prefetch_lists_ahead(graph, vertices.data(), i, last);
            // relax reads the vertex's own distance before its list, and the list's weights.
            if (i + 8 < last) {
                __builtin_prefetch(&distance[vertices[i + 8]]);
                __builtin_prefetch(graph.weighted_list(vertices[i + 8]));
            }
            relax(vertices[i], worker);
        }
    };

    auto fuses = [&](const std::vector<int>& refill) {
        if (refill.empty() || refill.size() >= kFusion) return false;
        if (team.size() == 1) return true;
        std::size_t arcs = 0;
        for (int v : refill) arcs += graph.degree(v);
        return arcs <= kFusionArcs;
    };

    for (;;) {
        // A bucket holds a vertex once for every time its distance was lowered into it, so its
        // length is counted in 64 bits.
        const auto queued = static_cast<std::int64_t>(frontier.size());
        team.for_chunks(
            std::int64_t{0}, queued, team.grain_for(queued),
            [&](std::int64_t first, std::int64_t last, int worker) {
                relax_range(frontier, first, last, worker);
                auto& mine = buckets[worker];
                while (current < mine.size() && fuses(mine[current]) && !team.stopping()) {
                    std::swap(batch[worker], mine[current]);
                    relax_range(batch[worker], 0, batch[worker].size(), worker);
                    batch[worker].clear();
                }
            });
        if (negative.load()) return Outcome::negative_weight;
        if (too_far.load()) return Outcome::too_far;

        std::size_t next = std::numeric_limits<std::size_t>::max();
        for (const auto& mine : buckets)
            for (std::size_t b = current; b < mine.size() && b < next; ++b)
                if (!mine[b].empty()) next = b;
        if (next == std::numeric_limits<std::size_t>::max()) return Outcome::settled;
        current = next;
        frontier.clear();
        for (auto& mine : buckets)
            if (current < mine.size()) {
                frontier.insert(frontier.end(), mine[current].begin(), mine[current].end());
                mine[current].clear();
            }
    }
}

// Passes over every vertex until one lowers nothing or n - 1 have run. A vertex is relaxed only
// when its distance has been lowered since its previous relaxation (the source counts as lowered
// once): any other vertex would offer every target the same candidate as before, which can no
// longer lower it. A lowered value is visible to the rest of the same pass.
template <class View>
void relaxation_passes(const View& graph, int source, Team& team, Buffer<double>& distance) {
    const int n = graph.vertices();
    std::vector<unsigned char> lowered(n, 0);
    lowered[source] = 1;
    std::atomic<bool> changed{true};
    for (int passes = 0; passes < n - 1 && changed.load(); ++passes) {
        changed.store(false);
        team.for_each(0, n, [&](int u) {
            if (!take(lowered[u], static_cast<unsigned char>(0))) return;
            for (const auto& [v, weight] : graph.weighted(u)) {
                // Read afresh for every edge: another worker, or a self-loop, may have lowered it.
                if (!lower_to(distance[v], load(distance[u]) + weight)) continue;
                publish(lowered[v], static_cast<unsigned char>(1));
                raise_flag(changed);
            }
        });
    }
}

template <class View>
Buffer<double> distances_of(const View& graph, int source, int workers, Interrupt* interrupt) {
    const int n = graph.vertices();
    require_vertex(source, n);
    Team team(workers_for(n + graph.entry_count(), workers), interrupt);
    Buffer<double> distance(n);
    restart(distance, source, team);
    if (n == 1) return distance;

    Outcome outcome = delta_stepping(graph, source, bucket_width(graph), team, distance);
    if (outcome == Outcome::too_far) {
        restart(distance, source, team);
        outcome = heap_distances(graph, source, distance);
    }
    if (outcome == Outcome::negative_weight) {
        restart(distance, source, team);
        relaxation_passes(graph, source, team, distance);
    }
    return distance;
}

}  // namespace

Buffer<double> shortest_distances(const ListsView& graph, int source, int workers,
                                  Interrupt* interrupt) {
    return distances_of(graph, source, workers, interrupt);
}

Buffer<double> shortest_distances(const CsrView& graph, int source, int workers,
                                  Interrupt* interrupt) {
    return distances_of(graph, source, workers, interrupt);
}

}  // namespace veltrix
