// Parallel construction of compressed graphs.
//
// From edge arrays, in three passes. The edges are cut into a few parts, each a contiguous range
// of the input with per-vertex counts of its own: (1) every part counts the entries it adds to each
// list; (2) the offsets are summed from the counts, and each part's counts become the place where
// its first entry of each list goes, after the entries of the parts before it; (3) every part
// writes its entries from there on. Within a part the input order is kept, and the parts follow one
// another in every list, so each list is in input order, however many workers ran, with no atomic
// operation. Passes (1) and (3) each hash what they read; if another thread changed the arrays in
// between, the hashes differ and the build fails rather than hand out a graph whose lists do not
// match their offsets. Every write is checked against the end of its list as well, so even a
// change in mid-build never writes outside the graph.

#include "graph/csr_graph.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "parallel/atomics.hpp"

namespace veltrix {

namespace {

constexpr std::int64_t kEdgesPerCheckpoint = 1 << 14;
constexpr int kVertexGrain = 1 << 14;
// A part places its entries through 32-bit counts, since 8 bytes per vertex and part would cost as
// much as the offsets themselves; so no list holds 2^32 entries or more.
using Count = std::uint32_t;

// How many parts the edges are cut into: one per worker, as long as their counts (4 bytes per
// vertex each) stay within a tenth of the graph they build, or 64 MiB.
int part_count(std::int64_t arcs, int vertices, int team_size) {
    const std::int64_t graph_bytes = 4 * arcs + 8 * (static_cast<std::int64_t>(vertices) + 1);
    const std::int64_t budget = std::max<std::int64_t>(graph_bytes / 10, std::int64_t{64} << 20);
    const std::int64_t affordable = budget / std::max<std::int64_t>(4 * static_cast<std::int64_t>(vertices), 1);
    return static_cast<int>(std::clamp<std::int64_t>(affordable, 1, team_size));
}

// splitmix64's finaliser: a hash whose sum over a multiset of keys changes with any key.
std::uint64_t mix(std::uint64_t x) {
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

std::uint64_t pair_key(std::uint32_t a, std::uint32_t b) { return (static_cast<std::uint64_t>(a) << 32) | b; }

template <class Id>
bool is_vertex(Id id, int n) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(id)) < static_cast<std::uint64_t>(n);
}

// offsets[v + 1] holds v's list length on entry and the end of v's list on return; offsets[0] = 0.
void sum_lengths(Buffer<std::int64_t>& offsets, int n, Team& team) {
    offsets[0] = 0;
    const int chunks = (n + kVertexGrain - 1) / kVertexGrain;
    std::vector<std::int64_t> before(static_cast<std::size_t>(chunks) + 1, 0);
    team.for_chunks(0, n, kVertexGrain, [&](int first, int last, int) {
        std::int64_t sum = 0;
        for (int v = first; v < last; ++v) sum += offsets[v + 1];
        before[first / kVertexGrain + 1] = sum;
    });
    for (int c = 0; c < chunks; ++c) before[c + 1] += before[c];
    team.for_chunks(0, n, kVertexGrain, [&](int first, int last, int) {
        std::int64_t running = before[first / kVertexGrain];
        for (int v = first; v < last; ++v) offsets[v + 1] = running += offsets[v + 1];
    });
}

// The edge range of part p of `parts`.
std::pair<std::int64_t, std::int64_t> part_range(std::int64_t count, int p, int parts) {
    return {count * p / parts, count * (p + 1) / parts};
}

// Sorts each list, keeps one entry per neighbour (the lightest) and closes the gaps.
void simplify_lists(CsrGraph& graph, Team& team) {
    const int n = graph.vertices;
    Buffer<std::int64_t> kept(static_cast<std::size_t>(n) + 1);
    std::vector<std::vector<std::pair<int, double>>> scratch(team.size());
    const auto lighter = [](const std::pair<int, double>& a, const std::pair<int, double>& b) {
        if (a.first != b.first) return a.first < b.first;
        return a.second < b.second || (!std::isnan(a.second) && std::isnan(b.second));
    };
    team.for_chunks(0, n, kVertexGrain / 16, [&](int first, int last, int worker) {
        for (int v = first; v < last; ++v) {
            int* const begin = graph.targets.data() + graph.offsets[v];
            int* const end = graph.targets.data() + graph.offsets[v + 1];
            if (!graph.weighted) {
                std::sort(begin, end);
                kept[v + 1] = std::unique(begin, end) - begin;
                continue;
            }
            double* const weight = graph.weights.data() + graph.offsets[v];
            auto& entries = scratch[worker];
            entries.clear();
            for (std::ptrdiff_t k = 0; k < end - begin; ++k) entries.emplace_back(begin[k], weight[k]);
            std::sort(entries.begin(), entries.end(), lighter);
            std::int64_t length = 0;
            for (std::size_t k = 0; k < entries.size(); ++k) {
                if (k > 0 && entries[k].first == entries[k - 1].first) continue;
                begin[length] = entries[k].first;
                weight[length++] = entries[k].second;
            }
            kept[v + 1] = length;
        }
    });
    sum_lengths(kept, n, team);
    // Every list moves towards the front, so moving them in ascending order overwrites only what
    // has been moved already.
    for (int v = 0; v < n; ++v) {
        const std::int64_t from = graph.offsets[v], to = kept[v], length = kept[v + 1] - kept[v];
        std::memmove(graph.targets.data() + to, graph.targets.data() + from, sizeof(int) * length);
        if (graph.weighted)
            std::memmove(graph.weights.data() + to, graph.weights.data() + from, sizeof(double) * length);
    }
    graph.offsets = std::move(kept);
    graph.targets.shrink(static_cast<std::size_t>(graph.offsets[n]));
    if (graph.weighted) graph.weights.shrink(static_cast<std::size_t>(graph.offsets[n]));
}

}  // namespace

template <class Id>
CsrGraph csr_from_edges(const Id* src, const Id* dst, const double* weights, std::int64_t count, int vertices,
                        bool directed, bool simplify, Team& team) {
    const int n = vertices;
    const std::int64_t most_arcs = directed ? count : 2 * count;
    const int parts = part_count(most_arcs, n, team.size());
    Buffer<Count> counts(static_cast<std::size_t>(parts) * n);
    std::vector<std::uint64_t> read_hash(parts, 0), write_hash(parts, 0);
    std::atomic<bool> out_of_range{false}, changed{false};

    // Calls edge(u, v, i) for the edges of part p in order, and hashes what it read into `hash`.
    // The interrupt is asked between blocks of edges, out of the loop that reads them.
    const auto each_edge = [&](int p, int worker, std::uint64_t& hash, auto&& edge) {
        const auto [first, last] = part_range(count, p, parts);
        std::uint64_t sum = 0;
        for (std::int64_t block = first; block < last; block += kEdgesPerCheckpoint) {
            if (team.checkpoint(worker, kEdgesPerCheckpoint)) return;
            const std::int64_t end = std::min(last, block + kEdgesPerCheckpoint);
            for (std::int64_t i = block; i < end; ++i) {
                const Id u = src[i], v = dst[i];
                if (!is_vertex(u, n) || !is_vertex(v, n)) return raise_flag(out_of_range);
                sum += mix(pair_key(static_cast<std::uint32_t>(u), static_cast<std::uint32_t>(v)) ^
                           static_cast<std::uint64_t>(i) * 0x9e3779b97f4a7c15ULL);
                if (simplify && u == v) continue;
                edge(static_cast<int>(u), static_cast<int>(v), i);
            }
        }
        hash = sum;
    };

    team.run(parts, [&](int p, int worker) {
        Count* const own = counts.data() + static_cast<std::size_t>(p) * n;
        std::fill(own, own + n, Count{0});
        each_edge(p, worker, read_hash[p], [&](int u, int v, std::int64_t) {
            ++own[u];
            if (!directed) ++own[v];
        });
    });
    if (out_of_range.load()) throw std::out_of_range("an edge names a vertex outside the graph");

    CsrGraph graph{n, directed, weights != nullptr, Buffer<std::int64_t>(static_cast<std::size_t>(n) + 1), {}, {}};
    std::atomic<bool> too_long{false};
    team.for_chunks(0, n, kVertexGrain, [&](int first, int last, int) {
        for (int v = first; v < last; ++v) {
            std::uint64_t placed = 0;
            for (int p = 0; p < parts; ++p) {
                Count& own = counts[static_cast<std::size_t>(p) * n + v];
                placed += std::exchange(own, static_cast<Count>(placed));
            }
            if (placed > std::numeric_limits<Count>::max()) raise_flag(too_long);
            graph.offsets[v + 1] = static_cast<std::int64_t>(placed);
        }
    });
    if (too_long.load()) throw std::length_error("a vertex would have 2^32 or more list entries");
    sum_lengths(graph.offsets, n, team);
    const std::int64_t arcs = graph.offsets[n];
    graph.targets = Buffer<int>(static_cast<std::size_t>(arcs));
    if (graph.weighted) graph.weights = Buffer<double>(static_cast<std::size_t>(arcs));

    team.run(parts, [&](int p, int worker) {
        Count* const place = counts.data() + static_cast<std::size_t>(p) * n;
        const auto append = [&](int u, int v, std::int64_t i) {
            const std::int64_t at = graph.offsets[u] + place[u]++;
            if (at >= graph.offsets[u + 1]) return raise_flag(changed);
            graph.targets[at] = v;
            if (graph.weighted) graph.weights[at] = weights[i];
        };
        each_edge(p, worker, write_hash[p], [&](int u, int v, std::int64_t i) {
            append(u, v, i);
            if (!directed) append(v, u, i);
        });
    });
    if (out_of_range.load() || changed.load() || read_hash != write_hash)
        throw std::runtime_error("the edge arrays changed while the graph was being built from them");
    if (simplify) simplify_lists(graph, team);
    return graph;
}

template CsrGraph csr_from_edges(const std::int32_t*, const std::int32_t*, const double*, std::int64_t, int, bool,
                                 bool, Team&);
template CsrGraph csr_from_edges(const std::int64_t*, const std::int64_t*, const double*, std::int64_t, int, bool,
                                 bool, Team&);
template CsrGraph csr_from_edges(const std::uint32_t*, const std::uint32_t*, const double*, std::int64_t, int, bool,
                                 bool, Team&);
template CsrGraph csr_from_edges(const std::uint64_t*, const std::uint64_t*, const double*, std::int64_t, int, bool,
                                 bool, Team&);

CsrGraph csr_from_lists(const ListsView& lists, bool directed, Team& team) {
    const int n = lists.vertices();
    CsrGraph graph{n, directed, lists.is_weighted(), Buffer<std::int64_t>(static_cast<std::size_t>(n) + 1), {}, {}};
    team.for_each(0, n, [&](int v) { graph.offsets[v + 1] = static_cast<std::int64_t>(lists.degree(v)); });
    sum_lengths(graph.offsets, n, team);
    graph.targets = Buffer<int>(static_cast<std::size_t>(graph.offsets[n]));
    if (graph.weighted) graph.weights = Buffer<double>(static_cast<std::size_t>(graph.offsets[n]));
    team.for_each(0, n, [&](int v) {
        const std::int64_t at = graph.offsets[v];
        std::ranges::copy(lists.neighbours(v), graph.targets.data() + at);
        if (!graph.weighted) return;
        std::int64_t k = at;
        for (const auto& [u, weight] : lists.weighted(v)) graph.weights[k++] = weight;
    });
    return graph;
}

std::string csr_problem(int vertices, const std::int64_t* offsets, const int* targets, std::int64_t entries,
                        bool directed, Team& team) {
    const int n = vertices;
    if (offsets[0] != 0) return "the offsets start at " + std::to_string(offsets[0]) + ", not 0";
    int falls = n;
    team.for_chunks(0, n, kVertexGrain, [&](int first, int last, int) {
        for (int v = first; v < last; ++v)
            if (offsets[v + 1] < offsets[v]) return (void)lower_to(falls, v);
    });
    if (falls < n) return "the offsets decrease after vertex " + std::to_string(falls);
    if (offsets[n] != entries)
        return "the offsets end at " + std::to_string(offsets[n]) + " but there are " + std::to_string(entries) +
               " targets";

    std::int64_t stray = entries;
    std::vector<std::uint64_t> forward(team.size(), 0), backward(team.size(), 0);
    team.for_chunks(0, n, kVertexGrain, [&](int first, int last, int worker) {
        std::uint64_t there = 0, back = 0;
        for (int v = first; v < last; ++v)
            for (std::int64_t k = offsets[v]; k < offsets[v + 1]; ++k) {
                const int w = targets[k];
                if (w < 0 || w >= n) return (void)lower_to(stray, k);
                there += mix(pair_key(v, w));
                back += mix(pair_key(w, v));
            }
        forward[worker] += there;
        backward[worker] += back;
    });
    if (stray < entries) {
        const std::int64_t k = stray;
        return "targets[" + std::to_string(k) + "] = " + std::to_string(targets[k]) + " is not a vertex of a " +
               std::to_string(n) + "-vertex graph";
    }
    std::uint64_t there = 0, back = 0;
    for (int w = 0; w < team.size(); ++w) there += forward[w], back += backward[w];
    if (!directed && there != back) return "the lists of the undirected graph do not mirror each other";
    return "";
}

}  // namespace veltrix
