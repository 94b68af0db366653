// Triangle counting by merging sorted neighbour lists, each triangle u < v < w found once at
// its lowest vertex u: for every upper neighbour v of u, the entries of u's list above v that v's
// upper list holds too. A short list is galloped through the long one; a long one is walked
// against the occurrence counts of u's list (the forward algorithm's hashing, with a dense array).
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

#include "parallel/bitmap.hpp"
#include "parallel/buffer.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

// For every vertex u, the entries of its list greater than u, ascending, repeats kept:
// entries[offsets[u] .. offsets[u + 1]), and whether any entry repeats. Every triangle u < v < w
// is found from these alone.
struct UpperLists {
    std::vector<std::size_t> offsets;
    Buffer<int> entries;
    std::vector<char> repeats;
    bool any_repeats = false;

    const int* begin(int u) const { return entries.data() + offsets[u]; }
    const int* end(int u) const { return entries.data() + offsets[u + 1]; }
};

// Built in two passes over the vertices: the count of upper entries of each, then, after the
// offsets are summed, each list copied and sorted in place.
template <class View>
UpperLists upper_lists(const View& graph, Team& team) {
    const int n = graph.vertices();
    auto above = [](int u) { return [u](int v) { return v > u; }; };
    UpperLists upper{std::vector<std::size_t>(n + 1, 0), {}, std::vector<char>(n)};
    team.for_each(0, n, [&](int u) {
        const std::span<const int> list = graph.neighbours(u);
        upper.offsets[u + 1] = std::count_if(list.begin(), list.end(), above(u));
    });
    for (int u = 0; u < n; ++u) upper.offsets[u + 1] += upper.offsets[u];
    upper.entries = Buffer<int>(upper.offsets[n]);
    team.for_each(0, n, [&](int u) {
        int* out = upper.entries.data() + upper.offsets[u];
        const std::span<const int> list = graph.neighbours(u);
        std::copy_if(list.begin(), list.end(), out, above(u));
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

// The end of the run of entries equal to *first.
const int* run_end(const int* first, const int* last) {
    const int* p = first;
    while (p != last && *p == *first) ++p;
    return p;
}

// Counts, for one vertex u at a time, the entries that u's upper list shares with the upper list
// of each of its upper neighbours v. Two ascending ranges share a value w as often as the range
// holding it fewer times holds it. u's entries are marked both in occurrence counts and in a
// bitmap: where neither list repeats an entry the bitmap alone answers, and at one bit a vertex it
// stays in the nearest cache where the counts would not. A graph without repeats needs no counts.
class CommonEntries {
public:
    explicit CommonEntries(const UpperLists& upper, int n)
        : upper_(upper), occurrences_(upper.any_repeats ? n : 0, 0), marked_(n) {}

    // The triangles whose lowest vertex is u: for each entry v of u's upper list, the entries of
    // u's list above v that v's upper list holds too. Repeated entries of v count once each.
    // `work` grows by the entries the count may read.
    std::int64_t triangles_at(int u, std::int64_t& work) {
        const int* const end = upper_.end(u);
        work += end - upper_.begin(u);
        for (const int* p = upper_.begin(u); p != end; ++p) note(*p);
        std::int64_t total = 0;
        for (const int* p = upper_.begin(u); p != end;) {
            const int v = *p;
            const int* above = run_end(p, end);
            if (above == end) break;
            const bool repeats = upper_.repeats[u] || upper_.repeats[v];
            total += (above - p) * shared(above, end, upper_.begin(v), upper_.end(v), repeats);
            work += upper_.end(v) - upper_.begin(v);
            p = above;
        }
        for (const int* p = upper_.begin(u); p != end; ++p) forget(*p);
        return total;
    }

private:
    // Entries shared by u's list above v (`tail`) and v's upper list (`list`, all above v). A
    // short tail is galloped through the list; otherwise the list is walked and each of its
    // values looked up in u's occurrence counts.
    std::int64_t shared(const int* tail, const int* tail_end, const int* list, const int* list_end,
                        bool repeats) const {
        std::int64_t matches = 0;
        if (8 * (tail_end - tail) < list_end - list) {
            for (; tail != tail_end && list != list_end; ++tail) {
                list = gallop(list, list_end, *tail);
                if (list != list_end && *list == *tail) ++matches, ++list;
            }
            return matches;
        }
        if (!repeats) {
            for (; list != list_end; ++list) matches += marked(*list);
            return matches;
        }
        for (const int* run = list; run != list_end;) {
            const int* next = run_end(run, list_end);
            matches += std::min<std::ptrdiff_t>(next - run, occurrences_[*run]);
            run = next;
        }
        return matches;
    }

    // Notes one occurrence of w in u's list, and clears the notes again.
    void note(unsigned w) {
        marked_.set(w);
        if (upper_.any_repeats) ++occurrences_[w];
    }
    void forget(unsigned w) {
        marked_.reset(w);
        if (upper_.any_repeats) occurrences_[w] = 0;
    }
    bool marked(unsigned w) const { return marked_.has(w); }

    const UpperLists& upper_;
    std::vector<int> occurrences_;         // of each value in the current u's upper list
    Bitmap marked_;                        // the same values, one bit each
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
    const UpperLists upper = upper_lists(graph, team);

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
