#include "algorithms/pagerank_common.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "graph/degrees.hpp"

namespace veltrix::pagerank {

namespace {

constexpr long long kWorkPerRange = 1 << 12;
constexpr int kRangesPerWorker = 8;
constexpr long long kBucketEdges = 1 << 15;
// A target's place in its bucket is staged in 16 bits.
constexpr int kMaxShift = 16;

// Consecutive blocks of sources, about equal in vertices plus out-edges, several per worker so that
// hub vertices do not load one worker alone.
template <class View>
std::vector<int> source_blocks(const View& graph, long long work, int team_size) {
    const int n = graph.vertices();
    const long long parts =
        team_size == 1 ? 1 : static_cast<long long>(kRangesPerWorker) * team_size;
    std::vector<int> bounds{0};
    long long done = 0;
    for (int u = 0; u < n; ++u) {
        done += 1 + static_cast<long long>(graph.degree(u));
        if (done * parts >= work * static_cast<long long>(bounds.size()) && u + 1 < n)
            bounds.push_back(u + 1);
    }
    bounds.push_back(n);
    return bounds;
}

// True when every list of the vertices [first, last) is in ascending order.
template <class View>
bool lists_sorted(const View& graph, int first, int last) {
    for (int u = first; u < last; ++u) {
        const auto list = graph.neighbours(u);
        if (!std::is_sorted(list.begin(), list.end())) return false;
    }
    return true;
}

// A transpose in two scatters, so that neither writes all over a large array. The targets are
// cut into buckets of 2^shift consecutive vertices, each holding about kBucketEdges in-edges.
// First every block of sources writes its sources into the buckets' runs of the final array, and
// each target's place in its bucket at the same index of a narrow staging array; then each
// bucket, small enough to stay in cache, counts its targets' in-edges and reorders its run by
// target through a copy. Blocks write their runs in block order and each block visits its
// sources in ascending order, so every target's sources come out ascending. No two tasks write
// the same entry, so nothing needs an atomic.
template <class View>
void transpose(const View& graph, long long work, const std::vector<int>& block_bounds,
               std::int64_t staging_limit, InEdges& in, Team& team) {
    const int n = graph.vertices();
    const int blocks = static_cast<int>(block_bounds.size()) - 1;
    const double per_target = static_cast<double>(work - n) / n;
    int shift = 0;
    while (shift < kMaxShift && (1LL << (shift + 1)) <= n &&
           per_target * static_cast<double>(1LL << (shift + 1)) <= kBucketEdges)
        ++shift;
    const int buckets = ((n - 1) >> shift) + 1;
    const auto cell = [buckets](int b, int k) { return static_cast<std::size_t>(b) * buckets + k; };

    std::vector<std::int64_t> cursor(static_cast<std::size_t>(blocks) * buckets, 0);
    team.run(blocks, [&](int b, int) {
        for (int u = block_bounds[b]; u < block_bounds[b + 1]; ++u)
            for (int v : graph.neighbours(u)) ++cursor[cell(b, v >> shift)];
    });

    std::vector<std::int64_t> bucket_start(static_cast<std::size_t>(buckets) + 1);
    std::int64_t next = 0;
    for (int k = 0; k < buckets; ++k) {
        bucket_start[k] = next;
        for (int b = 0; b < blocks; ++b) next += std::exchange(cursor[cell(b, k)], next);
    }
    bucket_start[buckets] = next;

    Buffer<std::int64_t>& offsets = in.transposed.offsets;
    Buffer<int>& sources = in.transposed.sources;
    offsets = Buffer<std::int64_t>(static_cast<std::size_t>(n) + 1);
    sources = Buffer<int>(static_cast<std::size_t>(next));
    struct Scratch {
        std::vector<std::int64_t> at;
        std::vector<int> run;
    };
    std::vector<Scratch> scratch(team.size(),
                                 Scratch{std::vector<std::int64_t>(std::size_t{1} << shift), {}});
    const int last_place = (1 << shift) - 1;

    // The buckets go in groups whose places fit the staging limit: each group reads every list
    // once more, but the staging array shrinks to one group's share of the in-edges.
    for (int group_first = 0; group_first < buckets;) {
        int group_last = group_first + 1;
        while (group_last < buckets &&
               bucket_start[group_last + 1] - bucket_start[group_first] <= staging_limit)
            ++group_last;
        const std::int64_t base = bucket_start[group_first];
        const int low = group_first << shift;
        const int high = group_last == buckets ? n : group_last << shift;
        const bool whole = group_first == 0 && group_last == buckets;
        Buffer<std::uint16_t> place_in_bucket(
            static_cast<std::size_t>(bucket_start[group_last] - base));
        team.run(blocks, [&](int b, int) {
            for (int u = block_bounds[b]; u < block_bounds[b + 1]; ++u)
                for (int v : graph.neighbours(u)) {
                    if (!whole && (v < low || v >= high)) continue;
                    const std::int64_t e = cursor[cell(b, v >> shift)]++;
                    sources[e] = u;
                    place_in_bucket[e - base] = static_cast<std::uint16_t>(v & last_place);
                }
        });
        team.run(group_last - group_first, [&](int task, int worker) {
            const int k = group_first + task;
            const int first = k << shift;
            const int last = std::min(n, first + (1 << shift));
            const std::int64_t begin = bucket_start[k], end = bucket_start[k + 1];
            auto& [at, run] = scratch[worker];
            std::fill(at.begin(), at.begin() + (last - first), 0);
            for (std::int64_t e = begin; e < end; ++e) ++at[place_in_bucket[e - base]];
            std::int64_t position = begin;
            for (int v = first; v < last; ++v) {
                offsets[v] = position;
                position += std::exchange(at[v - first], position);
            }
            run.assign(sources.data() + begin, sources.data() + end);
            for (std::int64_t e = begin; e < end; ++e)
                sources[at[place_in_bucket[e - base]]++] = run[e - begin];
        });
        group_first = group_last;
    }
    offsets[n] = next;
    in.offsets = offsets.data();
    in.sources = sources.data();
}

}  // namespace

template <class View>
InEdges in_edges(const View& graph, long long work, Team& team, std::int64_t staging_limit) {
    const int n = graph.vertices();
    const std::vector<int> block_bounds = source_blocks(graph, work, team.size());
    const int blocks = static_cast<int>(block_bounds.size()) - 1;
    // In a mirrored graph every vertex's in-edges are the entries of its own list; sorted lists
    // hold them in the order the sums need, so a CSR graph lends its own arrays. Lists the graph
    // knows to be sorted (built simplified, or checked when read) are not read again here.
    constexpr bool has_arrays = requires(const View& g) { g.targets(); };
    const bool may_lend = has_arrays && graph.is_mirrored();
    bool known_sorted = false;
    if constexpr (has_arrays) known_sorted = graph.lists_ascending();

    InEdges in;
    in.degree = Buffer<double>(n);
    std::vector<std::vector<int>> dangling(blocks);
    std::vector<char> sorted(blocks, 1);
    team.run(blocks, [&](int b, int) {
        for (int u = block_bounds[b]; u < block_bounds[b + 1]; ++u) {
            in.degree[u] = static_cast<double>(graph.degree(u));
            if (graph.degree(u) == 0) dangling[b].push_back(u);
        }
        if (may_lend && !known_sorted)
            sorted[b] = lists_sorted(graph, block_bounds[b], block_bounds[b + 1]);
    });
    for (const auto& part : dangling)
        in.dangling.insert(in.dangling.end(), part.begin(), part.end());

    if constexpr (has_arrays) {
        if (may_lend && std::ranges::all_of(sorted, [](char s) { return s != 0; })) {
            in.offsets = graph.offsets();
            in.sources = graph.targets();
            return in;
        }
    }
    transpose(graph, work, block_bounds, staging_limit, in, team);
    return in;
}

template InEdges in_edges(const ListsView&, long long, Team&, std::int64_t);
template InEdges in_edges(const CsrView&, long long, Team&, std::int64_t);

std::vector<int> balanced_ranges(const InEdges& in, int team_size) {
    const int n = static_cast<int>(in.degree.size());
    const auto work_before = [&](int v) {
        return static_cast<long long>(v) + (in.offsets[v] - in.offsets[0]);
    };
    const long long total = work_before(n);
    const long long ranges = team_size == 1
                                 ? 1
                                 : std::clamp(total / kWorkPerRange, 1LL,
                                              static_cast<long long>(kRangesPerWorker) * team_size);
    std::vector<int> bounds{0};
    for (long long r = 1; r < ranges; ++r) {
        // The first vertex whose preceding work reaches the r-th share.
        int low = bounds.back(), high = n;
        const long long target = total * r / ranges;
        while (low < high) {
            const int mid = low + (high - low) / 2;
            if (work_before(mid) < target)
                low = mid + 1;
            else
                high = mid;
        }
        if (low > bounds.back() && low < n) bounds.push_back(low);
    }
    bounds.push_back(n);
    return bounds;
}

// Degree-based grouping: P. Faldu, J. Diamond and B. Grot, "A Closer Look at Lightweight Graph
// Reordering", IISWC 2019. The sums read their sources' shares at random, each vertex's once per
// out-edge, so on a skewed graph most reads go to a few hubs spread thinly over the whole array,
// and each cache line fetched for a hub brings seven shares seldom read. Kept in groups by
// out-degree, hottest first and in vertex order within a group, the hubs' shares fill their lines
// and stay in cache. Only where the shares are kept changes: every sum still adds the same values
// in the same order, so no bit of the result does.
//
// Rewriting the sources as slots reads every in-edge once, with a random read of its slot: about
// the cost of one iteration, plus a copy of the sources (4 bytes per in-edge) where the graph lent
// its own. On R-MAT graphs of 2^20 to 2^24 vertices the iterations then take a tenth to a fifth
// less; at 2^18 (2 MiB of shares) they gained less than the packing cost. So the packing waits for
// enough iterations, skewed degrees and 8 MiB of shares, and it copies no more than 4 GiB: a fifth
// of the time is not worth doubling the memory of a graph that already fills the machine.
void pack_shares(InEdges& in, const std::vector<int>& bounds, int iterations, Team& team) {
    constexpr int kPackIterations = 8;
    constexpr int kPackVertices = 1 << 20;
    constexpr std::int64_t kMostCopied = std::int64_t{1} << 30;
    const int n = static_cast<int>(in.degree.size());
    const std::int64_t entries = in.offsets[n] - in.offsets[0];
    const bool copied = in.sources != in.transposed.sources.data();
    if (iterations < kPackIterations || n < kPackVertices || (copied && entries > kMostCopied))
        return;
    const double mean = static_cast<double>(entries) / n;
    // Group 0 holds the out-degrees of 32 means and up, group k those of 2^(5-k) means and up,
    // and the last group those under half the mean.
    constexpr int kGroups = 8;
    const auto group = [mean](double degree) {
        int k = 0;
        for (double least = 32.0 * mean; k < kGroups - 1 && degree < least; least *= 0.5) ++k;
        return k;
    };
    const int blocks = static_cast<int>(bounds.size()) - 1;
    struct Tally {
        std::array<int, kGroups> count{};
        double squared_degrees = 0.0;
    };
    std::vector<Tally> tally(blocks);
    team.run(blocks, [&](int b, int) {
        for (int v = bounds[b]; v < bounds[b + 1]; ++v) {
            ++tally[b].count[group(in.degree[v])];
            tally[b].squared_degrees += in.degree[v] * in.degree[v];
        }
    });
    double squared_degrees = 0.0;
    for (const Tally& t : tally) squared_degrees += t.squared_degrees;
    if (!skewed_degrees(squared_degrees, n, static_cast<double>(entries))) return;

    // Each block's first slot in each group: groups in order, blocks in order within a group.
    int next = 0;
    for (int k = 0; k < kGroups; ++k)
        for (Tally& t : tally) next += std::exchange(t.count[k], next);
    in.slot = Buffer<int>(n);
    team.run(blocks, [&](int b, int) {
        for (int v = bounds[b]; v < bounds[b + 1]; ++v)
            in.slot[v] = tally[b].count[group(in.degree[v])]++;
    });
    // The transpose's sources belong to the call and are rewritten in place; a graph's own are
    // copied. Either way the slots sit at the in-edges' own positions.
    int* slots = in.transposed.sources.data();
    if (copied) {
        in.packed_sources = Buffer<int>(static_cast<std::size_t>(entries));
        slots = in.packed_sources.data() - in.offsets[0];
    }
    team.run(blocks, [&](int b, int) {
        for (std::int64_t k = in.offsets[bounds[b]]; k < in.offsets[bounds[b + 1]]; ++k)
            slots[k] = in.slot[in.sources[k]];
    });
    in.sources = slots;
}

}  // namespace veltrix::pagerank
