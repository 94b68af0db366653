// Parallel construction of compressed graphs.
//
// From edge arrays, in three passes. The edges are cut into a few parts, each a contiguous range
// of the input with per-vertex cursors of its own: (1) every part counts the entries it adds to
// each list; (2) the offsets are summed from the counts, and each part's counts become the index
// in the graph where its first entry of each list goes, after the entries of the parts before it;
// (3) every part writes its entries from there on. Within a part the input order is kept, and the
// parts follow one another in every list, so each list is in input order, however many workers
// ran, with no atomic operation. Passes (1) and (3) each hash what they read; if another thread
// changed the arrays in between, the hashes differ and the build fails rather than hand out a
// graph whose lists do not match their offsets. Every write is checked against the end of the
// graph as well, so even a change in mid-build never writes outside it.

#include "graph/csr_graph.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "graph/mix.hpp"
#include "parallel/atomics.hpp"

namespace veltrix {

namespace {

constexpr std::int64_t kEdgesPerCheckpoint = 1 << 14;
constexpr int kVertexGrain = 1 << 14;
// Up to this many vertices, the cursors stay in cache and asking ahead only costs time.
constexpr int kCachedVertices = 1 << 17;
// How many edges ahead the cursors an edge will need are asked for.
constexpr std::int64_t kAhead = 16;

// A part's cursors are indices into the whole graph, so that placing an entry reads one
// per-vertex value rather than a list's start and a count within it. They are 32-bit while the
// graph has fewer than 2^32 entries, since 8 bytes per vertex and part would cost as much as the
// offsets themselves; only a graph of 16 GiB or more needs 64-bit ones. with_cursor calls
// body(Cursor{}) with the narrowest type that holds every index up to `entries`.
template <class Body>
decltype(auto) with_cursor(std::int64_t entries, Body&& body) {
    if (static_cast<std::uint64_t>(entries) <= std::numeric_limits<std::uint32_t>::max())
        return body(std::uint32_t{});
    return body(std::uint64_t{});
}

// How many parts the edges are cut into: one per worker, as long as their cursors stay within a
// tenth of the graph they build, or 64 MiB.
int part_count(std::int64_t arcs, int vertices, std::size_t cursor_bytes, int team_size) {
    const std::int64_t graph_bytes = 4 * arcs + 8 * (static_cast<std::int64_t>(vertices) + 1);
    const std::int64_t budget = std::max<std::int64_t>(graph_bytes / 10, std::int64_t{64} << 20);
    const auto per_part = static_cast<std::int64_t>(cursor_bytes) * vertices;
    const std::int64_t affordable = budget / std::max<std::int64_t>(per_part, 1);
    return static_cast<int>(std::clamp<std::int64_t>(affordable, 1, team_size));
}

std::uint64_t pair_key(std::uint32_t a, std::uint32_t b) {
    return (static_cast<std::uint64_t>(a) << 32) | b;
}

template <class Id>
bool is_vertex(Id id, int n) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(id)) <
           static_cast<std::uint64_t>(n);
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
            for (std::ptrdiff_t k = 0; k < end - begin; ++k)
                entries.emplace_back(begin[k], weight[k]);
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
            std::memmove(graph.weights.data() + to, graph.weights.data() + from,
                         sizeof(double) * length);
    }
    graph.offsets = std::move(kept);
    graph.targets.shrink(static_cast<std::size_t>(graph.offsets[n]));
    if (graph.weighted) graph.weights.shrink(static_cast<std::size_t>(graph.offsets[n]));
    graph.ascending = true;
}

// A batch of edges, cut into parts that count and place their entries each through per-vertex
// cursors of their own. `first` is the index of the batch's first edge in the whole input, so that
// the hashes of a whole input read in batches are the hashes of the input read at once.
template <class Id, class Cursor>
class Batch {
public:
    Batch(const Id* src, const Id* dst, const double* weights, std::int64_t count,
          std::int64_t first, int n, bool directed, bool simplify, int team_size)
        : src_(src),
          dst_(dst),
          weights_(weights),
          count_(count),
          first_(first),
          n_(n),
          directed_(directed),
          simplify_(simplify),
          parts_(part_count(directed ? count : 2 * count, n, sizeof(Cursor), team_size)),
          cursors_(static_cast<std::size_t>(parts_) * n) {}

    // Every part counts the entries it adds to each list. Returns the hash of the edges read.
    std::uint64_t count(Team& team) {
        return each_part(team, [&](int p, std::uint64_t& hash, int worker) {
            Cursor* const own = cursors(p);
            std::fill(own, own + n_, Cursor{0});
            each_edge(p, worker, hash, team, own, [&](int u, int v, std::int64_t) {
                ++own[u];
                if (!directed_) ++own[v];
            });
        });
    }

    // Adds the batch's entries of list v to totals[v].
    void add_lengths(std::int64_t* totals, Team& team) {
        team.for_chunks(0, n_, kVertexGrain, [&](int first, int last, int) {
            for (int v = first; v < last; ++v)
                for (int p = 0; p < parts_; ++p) totals[v] += cursors(p)[v];
        });
    }

    // Turns each part's counts into the index of its first entry of list v: the batch's entries of
    // v start at start[v], and each part's follow those of the parts before it.
    void number_places(const std::int64_t* start, Team& team) {
        team.for_chunks(0, n_, kVertexGrain, [&](int first, int last, int) {
            for (int v = first; v < last; ++v) {
                auto placed = static_cast<Cursor>(start[v]);
                for (int p = 0; p < parts_; ++p) placed += std::exchange(cursors(p)[v], placed);
            }
        });
    }

    // Every part writes its entries from its cursors on, never past the graph's end. Returns the
    // hash of the edges read; afterwards, `end(v)` is where the batch's entries of v end.
    std::uint64_t place(CsrGraph& graph, Team& team) {
        const auto entries = static_cast<std::uint64_t>(graph.targets.size());
        return each_part(team, [&](int p, std::uint64_t& hash, int worker) {
            Cursor* const place = cursors(p);
            const auto append = [&](int u, int v, std::int64_t i) {
                const Cursor at = place[u]++;
                if (at >= entries) return raise_flag(changed_);
                graph.targets[at] = v;
                if (weights_ != nullptr) graph.weights[at] = weights_[i];
            };
            each_edge(p, worker, hash, team, place, [&](int u, int v, std::int64_t i) {
                append(u, v, i);
                if (!directed_) append(v, u, i);
            });
        });
    }

    // After `place`: the last part has moved past every entry of the batch.
    std::int64_t end(int v) { return static_cast<std::int64_t>(cursors(parts_ - 1)[v]); }

    void require_vertices() const {
        if (out_of_range_.load())
            throw std::out_of_range("an edge names a vertex outside the graph");
    }
    bool changed() const { return changed_.load(); }

private:
    Cursor* cursors(int p) { return cursors_.data() + static_cast<std::size_t>(p) * n_; }

    template <class Task>
    std::uint64_t each_part(Team& team, Task&& task) {
        std::vector<std::uint64_t> hashes(parts_, 0);
        team.run(parts_, [&](int p, int worker) { task(p, hashes[p], worker); });
        require_vertices();
        std::uint64_t hash = 0;
        for (std::uint64_t h : hashes) hash += h;
        return hash;
    }

    // Calls edge(u, v, i) for the edges of part p in order, and hashes what it read into `hash`.
    // The cursors an edge will use are asked for kAhead edges before it, unless they are few enough
    // to stay in cache; the slot the entry goes to is not, since its address is the cursor itself.
    // The interrupt is asked between blocks of edges, out of the loop that reads them.
    template <class Edge>
    void each_edge(int p, int worker, std::uint64_t& hash, Team& team, const Cursor* cursors,
                   Edge&& edge) {
        const std::int64_t first = count_ * p / parts_, last = count_ * (p + 1) / parts_;
        std::uint64_t sum = 0;
        for (std::int64_t block = first; block < last; block += kEdgesPerCheckpoint) {
            if (team.checkpoint(worker, kEdgesPerCheckpoint)) return;
            const std::int64_t end = std::min(last, block + kEdgesPerCheckpoint);
            for (std::int64_t i = block; i < end; ++i) {
                if (n_ > kCachedVertices && i + kAhead < last)
                    ask_ahead(src_[i + kAhead], dst_[i + kAhead], cursors);
                const Id u = src_[i], v = dst_[i];
                if (!is_vertex(u, n_) || !is_vertex(v, n_)) return raise_flag(out_of_range_);
                sum += mix(pair_key(static_cast<std::uint32_t>(u), static_cast<std::uint32_t>(v)) ^
                           static_cast<std::uint64_t>(first_ + i) * 0x9e3779b97f4a7c15ULL);
                if (simplify_ && u == v) continue;
                edge(static_cast<int>(u), static_cast<int>(v), i);
            }
        }
        hash = sum;
    }

    // Inlined by force: g++ 12 deems a call whose only effect is a prefetch to have none, and
    // deletes it. Ids that are not vertices are left for the edge itself to refuse.
    [[gnu::always_inline]] void ask_ahead(Id u, Id v, const Cursor* cursors) const {
        if (!is_vertex(u, n_) || !is_vertex(v, n_)) return;
        __builtin_prefetch(cursors + u, 1);
        if (!directed_) __builtin_prefetch(cursors + v, 1);
    }

    const Id* src_;
    const Id* dst_;
    const double* weights_;
    std::int64_t count_, first_;
    int n_;
    bool directed_, simplify_;
    int parts_;
    Buffer<Cursor> cursors_;
    std::atomic<bool> out_of_range_{false}, changed_{false};
};

[[noreturn]] void throw_changed() {
    throw std::runtime_error("the edges changed while the graph was being built from them");
}

}  // namespace

template <class Id, class Cursor>
CsrGraph csr_from_edges_through(const Id* src, const Id* dst, const double* weights,
                                std::int64_t count, int vertices, bool directed, bool simplify,
                                Team& team) {
    Batch<Id, Cursor> batch(src, dst, weights, count, 0, vertices, directed, simplify, team.size());
    const std::uint64_t read = batch.count(team);
    CsrGraph graph{vertices,
                   directed,
                   weights != nullptr,
                   !directed,
                   Buffer<std::int64_t>(static_cast<std::size_t>(vertices) + 1),
                   {},
                   {}};
    std::fill(graph.offsets.begin(), graph.offsets.end(), 0);
    batch.add_lengths(graph.offsets.data() + 1, team);
    sum_lengths(graph.offsets, vertices, team);
    graph.targets = Buffer<int>(static_cast<std::size_t>(graph.offsets[vertices]));
    if (graph.weighted)
        graph.weights = Buffer<double>(static_cast<std::size_t>(graph.offsets[vertices]));
    batch.number_places(graph.offsets.data(), team);
    if (batch.place(graph, team) != read || batch.changed()) throw_changed();
    if (simplify) simplify_lists(graph, team);
    return graph;
}

template CsrGraph csr_from_edges_through<std::int32_t, std::uint64_t>(const std::int32_t*,
                                                                      const std::int32_t*,
                                                                      const double*, std::int64_t,
                                                                      int, bool, bool, Team&);

template <class Id>
CsrGraph csr_from_edges(const Id* src, const Id* dst, const double* weights, std::int64_t count,
                        int vertices, bool directed, bool simplify, Team& team) {
    return with_cursor(directed ? count : 2 * count, [&]<class Cursor>(Cursor) {
        return csr_from_edges_through<Id, Cursor>(src, dst, weights, count, vertices, directed,
                                                  simplify, team);
    });
}

template CsrGraph csr_from_edges(const std::int32_t*, const std::int32_t*, const double*,
                                 std::int64_t, int, bool, bool, Team&);
template CsrGraph csr_from_edges(const std::int64_t*, const std::int64_t*, const double*,
                                 std::int64_t, int, bool, bool, Team&);
template CsrGraph csr_from_edges(const std::uint32_t*, const std::uint32_t*, const double*,
                                 std::int64_t, int, bool, bool, Team&);
template CsrGraph csr_from_edges(const std::uint64_t*, const std::uint64_t*, const double*,
                                 std::int64_t, int, bool, bool, Team&);

CsrBuilder::CsrBuilder(int vertices, bool directed, bool weighted, bool simplify)
    : graph_{vertices,
             directed,
             weighted,
             !directed,
             Buffer<std::int64_t>(static_cast<std::size_t>(vertices) + 1),
             {},
             {}},
      simplify_(simplify) {
    std::fill(graph_.offsets.begin(), graph_.offsets.end(), 0);
}

template <class Id>
void CsrBuilder::count(const Id* src, const Id* dst, std::int64_t count, Team& team) {
    if (allocated_)
        throw std::logic_error("every batch must be counted before the first is placed");
    with_cursor(graph_.directed ? count : 2 * count, [&]<class Cursor>(Cursor) {
        Batch<Id, Cursor> batch(src, dst, nullptr, count, counted_edges_, graph_.vertices,
                                graph_.directed, simplify_, team.size());
        counted_hash_ += batch.count(team);
        batch.add_lengths(graph_.offsets.data() + 1, team);
    });
    counted_edges_ += count;
}

void CsrBuilder::allocate(Team& team) {
    const int n = graph_.vertices;
    sum_lengths(graph_.offsets, n, team);
    graph_.targets = Buffer<int>(static_cast<std::size_t>(graph_.offsets[n]));
    if (graph_.weighted)
        graph_.weights = Buffer<double>(static_cast<std::size_t>(graph_.offsets[n]));
    next_ = Buffer<std::int64_t>(static_cast<std::size_t>(n));
    team.for_each(0, n, [&](int v) { next_[v] = graph_.offsets[v]; });
    allocated_ = true;
}

template <class Id>
void CsrBuilder::place(const Id* src, const Id* dst, const double* weights, std::int64_t count,
                       Team& team) {
    if (!allocated_) allocate(team);
    if ((weights != nullptr) != graph_.weighted)
        throw std::invalid_argument("every batch must carry weights, or none");
    with_cursor(graph_.offsets[graph_.vertices], [&]<class Cursor>(Cursor) {
        Batch<Id, Cursor> batch(src, dst, weights, count, placed_edges_, graph_.vertices,
                                graph_.directed, simplify_, team.size());
        const std::uint64_t read = batch.count(team);
        batch.number_places(next_.data(), team);
        if (batch.place(graph_, team) != read || batch.changed()) throw_changed();
        placed_hash_ += read;
        team.for_each(0, graph_.vertices, [&](int v) { next_[v] = batch.end(v); });
    });
    placed_edges_ += count;
}

CsrGraph CsrBuilder::finish(Team& team) {
    if (!allocated_) allocate(team);
    std::atomic<bool> unfilled{false};
    team.for_each(0, graph_.vertices, [&](int v) {
        if (next_[v] != graph_.offsets[v + 1]) raise_flag(unfilled);
    });
    if (unfilled.load() || placed_hash_ != counted_hash_ || placed_edges_ != counted_edges_)
        throw_changed();
    if (simplify_) simplify_lists(graph_, team);
    return std::move(graph_);
}

#define VELTRIX_BATCH_IDS(Id) \
    template void CsrBuilder::count(const Id*, const Id*, std::int64_t, Team&); \
    template void CsrBuilder::place(const Id*, const Id*, const double*, std::int64_t, Team&);
VELTRIX_BATCH_IDS(std::int32_t)
VELTRIX_BATCH_IDS(std::int64_t)
VELTRIX_BATCH_IDS(std::uint32_t)
VELTRIX_BATCH_IDS(std::uint64_t)
#undef VELTRIX_BATCH_IDS

CsrGraph csr_from_lists(const ListsView& lists, bool directed, Team& team) {
    const int n = lists.vertices();
    CsrGraph graph{n,
                   directed,
                   lists.is_weighted(),
                   lists.is_mirrored(),
                   Buffer<std::int64_t>(static_cast<std::size_t>(n) + 1),
                   {},
                   {}};
    team.for_each(
        0, n, [&](int v) { graph.offsets[v + 1] = static_cast<std::int64_t>(lists.degree(v)); });
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

std::string csr_problem(int vertices, const std::int64_t* offsets, const int* targets,
                        std::int64_t entries, bool mirrored, Team& team, bool* ascending) {
    const int n = vertices;
    if (offsets[0] != 0) return "the offsets start at " + std::to_string(offsets[0]) + ", not 0";
    int falls = n;
    team.for_chunks(0, n, kVertexGrain, [&](int first, int last, int) {
        for (int v = first; v < last; ++v)
            if (offsets[v + 1] < offsets[v]) return (void)lower_to(falls, v);
    });
    if (falls < n) return "the offsets decrease after vertex " + std::to_string(falls);
    if (offsets[n] != entries)
        return "the offsets end at " + std::to_string(offsets[n]) + " but there are " +
               std::to_string(entries) + " targets";

    std::int64_t stray = entries;
    std::vector<std::uint64_t> forward(team.size(), 0), backward(team.size(), 0);
    std::vector<char> descends(team.size(), 0);
    team.for_chunks(0, n, kVertexGrain, [&](int first, int last, int worker) {
        std::uint64_t there = 0, back = 0;
        bool descent = false;
        for (int v = first; v < last; ++v)
            for (std::int64_t k = offsets[v]; k < offsets[v + 1]; ++k) {
                const int w = targets[k];
                if (w < 0 || w >= n) return (void)lower_to(stray, k);
                descent |= k > offsets[v] && w < targets[k - 1];
                there += mix(pair_key(v, w));
                back += mix(pair_key(w, v));
            }
        forward[worker] += there;
        backward[worker] += back;
        descends[worker] |= static_cast<char>(descent);
    });
    if (stray < entries) {
        const std::int64_t k = stray;
        return "targets[" + std::to_string(k) + "] = " + std::to_string(targets[k]) +
               " is not a vertex of a " + std::to_string(n) + "-vertex graph";
    }
    std::uint64_t there = 0, back = 0;
    for (int w = 0; w < team.size(); ++w) there += forward[w], back += backward[w];
    if (mirrored && there != back) return "the lists said to mirror each other do not";
    if (ascending != nullptr) *ascending = std::ranges::none_of(descends, std::identity{});
    return "";
}

}  // namespace veltrix
