// Triangle counting by merging sorted neighbour lists, each triangle found once, from the end of
// it that comes first in a total order of the vertices: for every upper neighbour v of u (one
// later in the order), the entries that u's and v's upper lists share. A short list is galloped
// through the long one; a long one is walked against u's entries, marked in a bitmap (and, where
// lists repeat entries, in occurrence counts: the forward algorithm's hashing, with dense arrays).
//
// The order is by number unless the lists mirror each other and their degrees are skewed; then it
// is by degree, number breaking ties, as in the forward algorithm. A hub then keeps only the
// neighbours of higher degree than its own, where by number a hub with a low number keeps nearly
// its whole list and is intersected with every neighbour's. Where degrees are even (grids, uniform
// random graphs) the order by degree saves no intersections and costs a degree read per entry.
// The total is the same from any corner of a triangle: its weight with repeated edges depends
// only on the multiplicities of its three edges and the numbers of its ends, and mirrored lists
// hold each edge as often at both ends.
//
// T. Schank, D. Wagner, "Finding, Counting and Listing all Triangles in Large Graphs, an
// Experimental Study", WEA 2005.

#include "algorithms/triangle_count.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "graph/degrees.hpp"
#include "graph/prefetch.hpp"
#include "parallel/bitmap.hpp"
#include "parallel/buffer.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

// For every vertex u, the entries of its list that come after u in the order, ascending by number,
// repeats kept: entries[offsets[u] .. offsets[u + 1]), and whether any entry repeats. Every
// triangle is found from these alone.
struct UpperLists {
    std::vector<std::size_t> offsets;
    Buffer<int> entries;
    std::vector<char> repeats;
    bool any_repeats = false;

    const int* begin(int u) const { return entries.data() + offsets[u]; }
    const int* end(int u) const { return entries.data() + offsets[u + 1]; }

    // Where a list is found, and the list, asked for ahead of reading them.
    const void* header(int u) const { return &offsets[u]; }
    const void* list(int u) const { return begin(u); }
};

// Whether v comes after u: by degree, then by number, or by number alone.
template <class View>
auto later_than(const View& graph, bool by_degree, int u) {
    const std::size_t degree = graph.degree(u);
    return [&graph, by_degree, degree, u](int v) {
        if (!by_degree) return v > u;
        const std::size_t other = graph.degree(v);
        return other > degree || (other == degree && v > u);
    };
}

// Built in two passes over the vertices: the count of upper entries of each, then, after the
// offsets are summed, each list copied and sorted in place.
template <class View>
UpperLists upper_lists(const View& graph, bool by_degree, Team& team) {
    const int n = graph.vertices();
    UpperLists upper{std::vector<std::size_t>(n + 1, 0), {}, std::vector<char>(n)};
    team.for_each(0, n, [&](int u) {
        const std::span<const int> list = graph.neighbours(u);
        upper.offsets[u + 1] =
            std::count_if(list.begin(), list.end(), later_than(graph, by_degree, u));
    });
    for (int u = 0; u < n; ++u) upper.offsets[u + 1] += upper.offsets[u];
    upper.entries = Buffer<int>(upper.offsets[n]);
    team.for_each(0, n, [&](int u) {
        int* out = upper.entries.data() + upper.offsets[u];
        const std::span<const int> list = graph.neighbours(u);
        std::copy_if(list.begin(), list.end(), out, later_than(graph, by_degree, u));
        int* const end = upper.entries.data() + upper.offsets[u + 1];
        std::sort(out, end);
        upper.repeats[u] = std::adjacent_find(out, end) != end;
    });
    upper.any_repeats =
        std::find(upper.repeats.begin(), upper.repeats.end(), 1) != upper.repeats.end();
    return upper;
}

// First position of [first, last) whose value is not below x, searched outward from `first`.
const int* gallop(const int* first, const int* last, int x) {
    std::ptrdiff_t step = 1;
    while (step < last - first && first[step] < x) {
        first += step;
        step *= 2;
    }
    return std::lower_bound(first, first + std::min(step, last - first), x);
}

// The end of the run of entries equal to *first, first != last.
const int* run_end(const int* first, const int* last) {
    const int* p = first + 1;
    while (p != last && *p == *first) ++p;
    return p;
}

// What a triangle u, v, w adds to the total, given how often each of its edges stands in the
// lists: the edge between its two lowest-numbered ends as often as it stands, times the fewer of
// the other two. Without repeats, 1.
std::int64_t weight(int u, int v, int w, std::int64_t uv, std::int64_t uw, std::int64_t vw) {
    const int top = std::max({u, v, w});
    if (top == w) return uv * std::min(uw, vw);
    if (top == v) return uw * std::min(uv, vw);
    return vw * std::min(uv, uw);
}

// Counts, for one vertex u at a time, the triangles u, v, w with v and w in u's upper list and w
// in v's. u's entries are marked both in occurrence counts and in a bitmap: the bitmap, at one bit
// a vertex, stays in the nearest cache where the counts would not, and tells whether an entry is
// u's at all; the counts are read only for an entry it holds. A graph without repeats needs none.
class CommonEntries {
public:
    explicit CommonEntries(const UpperLists& upper, int n)
        : upper_(upper), marked_(n), occurrences_(upper.any_repeats ? n : 0, 0) {}

    // The triangles found from u, each weighted by its edges' multiplicities. `work` grows by the
    // entries the count may read.
    std::int64_t triangles_at(int u, std::int64_t& work) {
        u_ = u;
        begin_ = upper_.begin(u);
        end_ = upper_.end(u);
        work += end_ - begin_;
        for (const int* p = begin_; p != end_; ++p) {
            marked_.set(*p);
            if (upper_.any_repeats) ++occurrences_[*p];
        }
        std::int64_t total = 0;
        for (const int* p = begin_; p != end_;) {
            prefetch_lists_ahead(upper_, begin_, p - begin_, end_ - begin_);
            const int v = *p;
            const int* const next = run_end(p, end_);
            if (upper_.begin(v) != upper_.end(v)) {
                total += shared(v, next - p);
                work += upper_.end(v) - upper_.begin(v);
            }
            p = next;
        }
        for (const int* p = begin_; p != end_; ++p) {
            marked_.reset(*p);
            if (upper_.any_repeats) occurrences_[*p] = 0;
        }
        return total;
    }

private:
    // The triangles through the edge u, v, which stands `uv` times in u's list: the entries shared
    // by u's list and v's nonempty upper list. A short list of u's is galloped through v's;
    // otherwise v's is walked and each of its values looked up in u's marks.
    std::int64_t shared(int v, std::int64_t uv) const {
        const int* list = upper_.begin(v);
        const int* const list_end = upper_.end(v);
        // u's entries below v's first cannot be shared.
        const int* tail = std::lower_bound(begin_, end_, *list);
        std::int64_t total = 0;
        if (8 * (end_ - tail) < list_end - list) {
            while (tail != end_ && list != list_end) {
                const int* const tail_next = run_end(tail, end_);
                list = gallop(list, list_end, *tail);
                if (list != list_end && *list == *tail) {
                    const int* const list_next = run_end(list, list_end);
                    total += weight(u_, v, *tail, uv, tail_next - tail, list_next - list);
                    list = list_next;
                }
                tail = tail_next;
            }
            return total;
        }
        if (!upper_.repeats[u_] && !upper_.repeats[v]) {
            for (; list != list_end; ++list) total += marked_.has(*list);
            return total;
        }
        // Most entries are not u's: only a shared one is measured as a run.
        while (list != list_end) {
            if (!marked_.has(*list)) {
                ++list;
                continue;
            }
            const int* const next = run_end(list, list_end);
            total += weight(u_, v, *list, uv, occurrences_[*list], next - list);
            list = next;
        }
        return total;
    }

    const UpperLists& upper_;
    Bitmap marked_;  // the entries of u's list
    // How often u's list holds each of them. 32 bits: a value repeated 2^32 times would take 16
    // GiB of one list.
    std::vector<std::uint32_t> occurrences_;
    int u_ = 0;
    const int* begin_ = nullptr;  // u's list
    const int* end_ = nullptr;
};

// The count is an exact integer sum, so it does not depend on how vertices are shared out. Low
// vertex numbers tend to carry most of the work, so tasks are small batches of vertices, each
// added into its worker's own partial count.
template <class View>
std::int64_t triangles_of(const View& graph, int workers, Interrupt* interrupt) {
    const int n = graph.vertices();
    // The work grows with the wedges at each vertex, the squared list lengths summed, more than
    // with the entries: a graph of short lists is counted too soon for a second worker to pay for
    // waking, and a worker that the system deschedules while it holds a task stalls the call by a
    // whole time slice, longer than such a call takes alone.
    // A list past kLongList already gives every worker enough; the cap keeps the sum far from
    // overflowing.
    constexpr long long kWedgesPerUnit = 64;
    constexpr long long kLongList = 1 << 24;
    long long wedges = 0;
    for (int u = 0; u < n; ++u) {
        const long long length = std::min(static_cast<long long>(graph.degree(u)), kLongList);
        wedges += length * length;
    }
    Team team(workers_for(wedges / kWedgesPerUnit, workers), interrupt);
    const bool skewed =
        skewed_degrees(static_cast<double>(wedges), n, static_cast<double>(graph.entry_count()));
    const UpperLists upper = upper_lists(graph, graph.is_mirrored() && skewed, team);

    constexpr int kBatch = 64;
    std::vector<CommonEntries> common;
    for (int worker = 0; worker < team.size(); ++worker) common.emplace_back(upper, n);
    std::vector<std::int64_t> partial(team.size(), 0);
    team.for_chunks(0, n, kBatch, [&](int first, int last, int worker) {
        std::int64_t total = 0;
        std::int64_t work = 0;
        // A hub's batch can take far longer than the interrupt may wait.
        for (int u = first; u < last && !team.checkpoint(worker, std::exchange(work, 0)); ++u)
            total += common[worker].triangles_at(u, work);
        partial[worker] += total;
    });
    std::int64_t count = 0;
    for (std::int64_t p : partial) count += p;
    return count;
}

}  // namespace

std::int64_t triangle_count(const ListsView& graph, int workers, Interrupt* interrupt) {
    return triangles_of(graph, workers, interrupt);
}

std::int64_t triangle_count(const CsrView& graph, int workers, Interrupt* interrupt) {
    return triangles_of(graph, workers, interrupt);
}

}  // namespace veltrix
