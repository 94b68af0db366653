// Hop distances by direction-optimising breadth-first search: S. Beamer, K. Asanovic and
// D. Patterson, "Direction-Optimizing Breadth-First Search", SC 2012.
//
// The search runs level by level from the source. While the frontier is small, its vertices claim
// their unvisited out-neighbours (top-down). Once the frontier's edges exceed a fraction of the
// edges not yet explored, every unvisited vertex instead looks for an in-neighbour on the frontier
// and stops at the first one (bottom-up), which skips most edges of a large frontier; the search
// turns top-down again when the frontier has shrunk. Either way a vertex receives the level that
// first reaches it, so the distances depend neither on the directions taken, nor on the order of
// the work, nor on the number of workers.
//
// The search starts on the caller alone: a high-diameter graph has many small levels and none worth
// sharing, so each level costs a loop. The team comes up the first time a level holds enough edges
// to share, and a small level still runs inline on the caller.
//
// A bottom-up step needs in-neighbour lists. Where the out-lists mirror each other they serve as
// such; otherwise the search stays top-down, since building in-lists for the call costs about as
// much as the top-down search it would shorten.

#include "algorithms/hop_distances.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "graph/input.hpp"
#include "graph/prefetch.hpp"
#include "parallel/atomics.hpp"
#include "parallel/bitmap.hpp"
#include "parallel/buffer.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

constexpr long long kAlpha = 15;  // bottom-up once frontier edges > unexplored edges / kAlpha
constexpr long long kBeta = 18;  // top-down again once the frontier < vertices / kBeta
constexpr long long kShareEdges = 1 << 14;  // a level with fewer frontier edges runs on the caller
constexpr int kMaxGrain = 1 << 14;  // vertices per task at most, so the interrupt is polled
// A bottom-up step asks for the list of the vertex this many places ahead of each it visits,
// whether or not it will visit that one. It asks only when the lists outgrow the last-level cache:
// read from there they come about as fast unasked, and the requests crowd the frontier bitmap out
// of the first-level cache.
constexpr int kListsAhead = 32;
// A search touches a small part of a graph's edges (bottom-up steps stop at the first parent), so
// the team is sized for this share of them: a graph of 2^14 vertices is searched alone.
constexpr long long kSkipFactor = 16;

// What one worker reached in a level: the sum of their out-degrees, and the vertices themselves
// from a top-down step; a bottom-up step marks them in a bitmap and only counts them in `reached`.
struct alignas(64) Found {
    std::vector<int> vertices;
    long long reached = 0;
    long long edges = 0;
};

int task_grain(const Team& team, int length) {
    return static_cast<int>(std::min<std::int64_t>(team.grain_for(length), kMaxGrain));
}

// A task grain for sweeps over all vertices that write a bitmap: a multiple of 64.
int bitmap_grain(const Team& team, int n) { return (task_grain(team, n) + 63) / 64 * 64; }

// Gives an unvisited vertex its distance when one worker runs the whole pass; true if it did.
bool visit(int& entry, int distance) {
    if (entry >= 0) return false;
    entry = distance;
    return true;
}

// Top-down step: the frontier's vertices (at `level`) claim their unvisited out-neighbours. A
// level too small to share is one task on the caller, with no compare-and-swap.
template <class View>
void top_down(Team& team, const View& graph, const std::vector<int>& frontier,
              long long frontier_edges, int level, Buffer<int>& distance,
              std::vector<Found>& found) {
    const int size = static_cast<int>(frontier.size());
    const int grain =
        frontier_edges < kShareEdges ? std::min(size, kMaxGrain) : task_grain(team, size);
    const bool shared = team.size() > 1 && grain < size;
    team.for_chunks(0, size, grain, [&](int first, int last, int worker) {
        // A local copy of the address: the compiler cannot tell that the pushes leave it alone,
        // and would read it again for every entry.
        int* const dist = distance.data();
        Found& own = found[worker];
        for (int i = first; i < last; ++i) {
            prefetch_lists_ahead(graph, frontier.data(), i, last);
            for (int v : graph.neighbours(frontier[i]))
                if (shared ? claim(dist[v], -1, level + 1) : visit(dist[v], level + 1)) {
                    own.vertices.push_back(v);
                    own.edges += static_cast<long long>(graph.degree(v));
                }
        }
    });
}

// Bottom-up step over mirrored lists: every unvisited vertex looks for a neighbour on the frontier
// and stops at the first. The frontier is a bitmap (`front`, the vertices at `level`), since the
// step tests it at every entry it reads and n bits stay in cache where n distances do not; the
// vertices found go into `next`, and only their count and edges into `found`. The step visits only
// the members of `unvisited` (the unvisited vertices that have neighbours at all), a word of 64
// vertices at a time, and takes the vertices it finds out: the later steps skip the vertices
// already reached, and none tests the isolated ones, without a branch apiece that no predictor
// foresees. Tasks start at multiples of 64, so each writes words of `next` and `unvisited` and
// entries of `distance` that no other task touches, and nobody writes `front` meanwhile.
template <class View>
void bottom_up(Team& team, const View& graph, int level, bool ask_ahead, Buffer<int>& distance,
               const Bitmap& front, Bitmap& next, Bitmap& unvisited, std::vector<Found>& found) {
    const int n = static_cast<int>(distance.size());
    team.for_chunks(0, n, bitmap_grain(team, n), [&](int first, int last, int worker) {
        int* const dist = distance.data();  // a local copy, as in top_down
        Found& own = found[worker];
        next.clear(first, last);
        unvisited.each_member(first, last, [&](int v) {
            if (ask_ahead && v + kListsAhead < last) prefetch_list(graph, v + kListsAhead);
            for (int u : graph.neighbours(v))
                if (front.has(u)) {
                    dist[v] = level + 1;
                    next.set(v);
                    unvisited.reset(v);
                    ++own.reached;
                    own.edges += static_cast<long long>(graph.degree(v));
                    break;
                }
        });
    });
}

// The bitmaps of the first bottom-up step after top-down ones, by a sweep of every vertex: the
// vertices at `level`, and the unvisited ones that have neighbours.
template <class View>
void mark_levels(Team& team, const View& graph, const Buffer<int>& distance, int level,
                 Bitmap& front, Bitmap& unvisited) {
    const int n = static_cast<int>(distance.size());
    team.for_chunks(0, n, bitmap_grain(team, n), [&](int first, int last, int) {
        front.clear(first, last);
        unvisited.clear(first, last);
        for (int v = first; v < last; ++v) {
            front.put(v, distance[v] == level);
            // Both tests made, and joined without a branch: which vertices are reached follows no
            // pattern a predictor could learn.
            unvisited.put(v, (distance[v] < 0) & (graph.degree(v) > 0));
        }
    });
}

// The members of a bitmap level, listed for the top-down step that follows bottom-up ones.
void list_level(Team& team, const Bitmap& level, int n, std::vector<Found>& found) {
    team.for_chunks(0, n, bitmap_grain(team, n), [&](int first, int last, int worker) {
        level.each_member(first, last, [&](int v) { found[worker].vertices.push_back(v); });
    });
}

long long found_count(const std::vector<Found>& found) {
    long long count = 0;
    for (const Found& own : found) count += own.reached;
    return count;
}

void clear(std::vector<Found>& found) {
    for (Found& own : found) {
        own.vertices.clear();
        own.reached = own.edges = 0;
    }
}

// Moves what the workers reached into `frontier` (swapping buffers where it can, so a level run by
// one worker copies nothing); returns the frontier's out-edge count.
long long gather(std::vector<Found>& found, std::vector<int>& frontier) {
    frontier.clear();
    long long edges = 0;
    for (Found& own : found) {
        if (frontier.empty())
            frontier.swap(own.vertices);
        else
            frontier.insert(frontier.end(), own.vertices.begin(), own.vertices.end());
        edges += own.edges;
    }
    clear(found);
    return edges;
}

template <class View>
Buffer<int> hop_distances_of(const View& graph, int source, int workers, Interrupt* interrupt) {
    const int n = graph.vertices();
    require_vertex(source, n);
    Buffer<int> distance(n);  // on large pages: filling it faults once per 2 MiB, not per 4 KiB
    std::fill(distance.begin(), distance.end(), -1);
    distance[source] = 0;
    std::vector<int> frontier{source};
    int level = 0;  // the frontier's
    long long frontier_edges = static_cast<long long>(graph.degree(source));
    std::optional<Team> team(std::in_place, 1, interrupt);
    std::vector<Found> found(1);
    long long edges = -1;  // counted when the team comes up
    long long explored = 0;
    Bitmap front(0), next(0), unvisited(0);  // for bottom-up steps, made with the team
    bool ask_ahead = false;

    while (!frontier.empty()) {
        if (edges < 0 && frontier_edges >= kShareEdges) {
            edges = graph.entry_count();
            team.emplace(workers_for((n + edges) / kSkipFactor, workers), interrupt);
            found.resize(team->size());
            if (graph.is_mirrored()) {
                front = Bitmap(n), next = Bitmap(n), unvisited = Bitmap(n);
                ask_ahead = edges * static_cast<long long>(sizeof(int)) > last_level_cache_bytes();
            }
        }
        if (graph.is_mirrored() && edges >= 0 && frontier_edges > (edges - explored) / kAlpha) {
            long long awake = static_cast<long long>(frontier.size()), previous;
            mark_levels(*team, graph, distance, level, front, unvisited);
            do {
                previous = awake;
                clear(found);
                bottom_up(*team, graph, level, ask_ahead, distance, front, next, unvisited, found);
                front.swap(next);
                awake = found_count(found);
                ++level;
            } while (awake >= previous || awake > n / kBeta);
            list_level(*team, front, n, found);
            frontier_edges = gather(found, frontier);  // and a top-down step follows
        }
        explored += frontier_edges;
        top_down(*team, graph, frontier, frontier_edges, level, distance, found);
        ++level;
        frontier_edges = gather(found, frontier);
    }
    return distance;
}

}  // namespace

Buffer<int> hop_distances(const ListsView& graph, int source, int workers, Interrupt* interrupt) {
    return hop_distances_of(graph, source, workers, interrupt);
}

Buffer<int> hop_distances(const CsrView& graph, int source, int workers, Interrupt* interrupt) {
    return hop_distances_of(graph, source, workers, interrupt);
}

}  // namespace veltrix
