#include "algorithms/pagerank_common.hpp"

#include <algorithm>

#include "parallel/parallel_for.hpp"

namespace veltrix::pagerank {

namespace {

constexpr long long kWorkPerRange = 1 << 12;
constexpr int kRangesPerWorker = 8;

}  // namespace

long long iteration_work(const AdjacencyLists& adj) {
    long long work = static_cast<long long>(adj.size());
    for (const auto& list : adj) work += static_cast<long long>(list.size());
    return work;
}

// A transpose in three passes over one contiguous block of sources per worker: count the block's
// in-edges of every target, turn the counts into write cursors (target by target, blocks in
// order, so each target's sources come out ascending), and let every block write its own sources.
// No two blocks share a cursor, so nothing needs an atomic.
InEdges in_edges(const AdjacencyLists& adj, Team& team) {
    const int n = static_cast<int>(adj.size());
    const int blocks = team.size();
    const auto cell = [n](int b, int v) { return static_cast<std::size_t>(b) * n + v; };
    InEdges in{std::vector<std::size_t>(static_cast<std::size_t>(n) + 1), nullptr, std::vector<double>(n), {}};
    std::vector<std::size_t> cursor(static_cast<std::size_t>(blocks) * n, 0);
    std::vector<std::vector<int>> dangling(blocks);

    team.run(blocks, [&](int b, int) {
        const Block block = slot_block(n, blocks, b);
        for (int u = block.first; u < block.last; ++u) {
            in.degree[u] = static_cast<double>(adj[u].size());
            if (adj[u].empty()) dangling[b].push_back(u);
            for (int v : adj[u]) ++cursor[cell(b, v)];
        }
    });

    const int grain = team.grain_for(n);
    const int chunks = (n + grain - 1) / grain;
    std::vector<std::size_t> chunk_start(static_cast<std::size_t>(chunks) + 1, 0);
    team.for_chunks(0, n, grain, [&](int first, int last, int) {
        std::size_t total = 0;
        for (int v = first; v < last; ++v)
            for (int b = 0; b < blocks; ++b) total += cursor[cell(b, v)];
        chunk_start[first / grain + 1] = total;
    });
    for (int c = 0; c < chunks; ++c) chunk_start[c + 1] += chunk_start[c];
    team.for_chunks(0, n, grain, [&](int first, int last, int) {
        std::size_t next = chunk_start[first / grain];
        for (int v = first; v < last; ++v) {
            in.offsets[v] = next;
            for (int b = 0; b < blocks; ++b) next += std::exchange(cursor[cell(b, v)], next);
        }
    });
    in.offsets[n] = chunk_start[chunks];

    in.sources = std::make_unique_for_overwrite<int[]>(in.offsets[n]);
    team.run(blocks, [&](int b, int) {
        const Block block = slot_block(n, blocks, b);
        for (int u = block.first; u < block.last; ++u)
            for (int v : adj[u]) in.sources[cursor[cell(b, v)]++] = u;
    });
    for (const auto& part : dangling) in.dangling.insert(in.dangling.end(), part.begin(), part.end());
    return in;
}

std::vector<int> balanced_ranges(const InEdges& in, int team_size) {
    const int n = static_cast<int>(in.degree.size());
    const auto work_before = [&](int v) { return static_cast<long long>(v) + static_cast<long long>(in.offsets[v]); };
    const long long total = work_before(n);
    const long long ranges =
        team_size == 1 ? 1 : std::clamp(total / kWorkPerRange, 1LL, static_cast<long long>(kRangesPerWorker) * team_size);
    std::vector<int> bounds{0};
    for (long long r = 1; r < ranges; ++r) {
        // The first vertex whose preceding work reaches the r-th share.
        int low = bounds.back(), high = n;
        const long long target = total * r / ranges;
        while (low < high) {
            const int mid = low + (high - low) / 2;
            if (work_before(mid) < target) low = mid + 1;
            else high = mid;
        }
        if (low > bounds.back() && low < n) bounds.push_back(low);
    }
    bounds.push_back(n);
    return bounds;
}

}  // namespace veltrix::pagerank
