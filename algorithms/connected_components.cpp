// Connected components by Afforest: union-find over a parent array with lock-free linking,
// started on a sample of the edges.
//
// M. Sutton, T. Ben-Nun, A. Barak, "Optimizing Parallel Graph Connectivity Computation via
// Subgraph Sampling", IPDPS 2018.
//
// A link always hangs the larger of two roots under the smaller, so every parent is at most its
// child and the root of each tree is the smallest vertex in it: once every vertex points straight
// at its root, the parent array is the answer and needs no relabelling.
//
// The sample is two neighbours of each vertex, taken in one read of its list: reading the lists
// at all is what a sampling round costs. Under the smaller of the two (when it is smaller than the
// vertex) the vertex simply hooks, writing only its own entry; the other is linked in a pass of
// its own. A vertex smaller than all its neighbours only links the second; the sweep covers what
// the sample leaves out.
//
// The final sweep skips the vertices of the largest component found by sampling the parents, as
// in the paper. That is sound only when every edge stands in the lists of both its ends: an edge
// from a member to an outsider is then linked from the outsider's side. A directed graph, or
// undirected lists installed whole, need not mirror their edges, so there the members sweep their
// lists too, but only to find neighbours outside the component: membership is a bitmap small
// enough to stay in the nearest cache, so a neighbour inside costs no access to the parents.

#include "algorithms/connected_components.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <random>
#include <span>
#include <utility>
#include <vector>

#include "graph/prefetch.hpp"
#include "parallel/atomics.hpp"
#include "parallel/bitmap.hpp"
#include "parallel/buffer.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

// The sample of a vertex is the two smallest of the first kSampledEntries neighbours of its list.
// Taking the smallest rather than the first makes the sample independent of the order the edges
// came in: on a grid it is the vertex above and the one to the left, a spanning tree whatever the
// order, where the first two of a shuffled list leave many pieces behind; and in graphs whose hubs
// have low numbers, it hangs vertices straight under the hubs. In ascending lists they are the
// first two, read without the search.
constexpr std::size_t kSampledEntries = 8;
// Vertices per task of a pass; hubs make a vertex's cost uneven, so tasks stay small. A multiple
// of 64, so that the tasks of a pass write disjoint words of a bitmap.
constexpr int kGrain = 1024;
static_assert(kGrain % 64 == 0);
// Vertices sampled to find the largest component after the sampled links.
constexpr int kSamples = 1024;

constexpr int kNone = std::numeric_limits<int>::max();  // never a vertex: ids stay below it

// Joins the trees of u and v: hangs the larger root under the smaller one. A claim that fails
// because another worker moved that root retries from the roots' new parents.
void link(Buffer<int>& parent, int u, int v) {
    int a = load(parent[u]);
    int b = load(parent[v]);
    while (a != b) {
        const int high = std::max(a, b);
        const int low = std::min(a, b);
        const int above = load(parent[high]);
        if (above == low) return;
        if (above == high && claim(parent[high], high, low)) return;
        a = load(parent[above]);
        b = load(parent[low]);
    }
}

// The two smallest entries of a few, or kNone where there are fewer. Without branches: in a
// list in no particular order, which entry is smaller cannot be predicted.
std::pair<int, int> smallest_two(std::span<const int> entries) {
    int first = kNone, second = kNone;
    for (const int v : entries) {
        second = std::min(second, std::max(first, v));
        first = std::min(first, v);
    }
    return {first, second};
}

// Points u straight at its root. Only u's own task calls it for u in a pass; links running beside
// it change only roots, and u, once it has a parent, is none.
void compress(Buffer<int>& parent, int u) {
    for (int up = load(parent[u]), upper = load(parent[up]); up != upper;
         up = upper, upper = load(parent[up]))
        store(parent[u], upper);
}

// The root most of a fixed pseudo-random sample of vertices share: after the sampled rounds, the
// root of the largest component with high probability. Any answer is correct; a wrong one only
// makes the sweep slower. Runs between passes, so it reads the parents plainly.
int most_sampled_root(const Buffer<int>& parent) {
    std::minstd_rand random(1);
    std::uniform_int_distribution<int> vertex(0, static_cast<int>(parent.size()) - 1);
    std::vector<int> roots(kSamples);
    for (int& root : roots)
        for (root = vertex(random); parent[root] != root;) root = parent[root];
    std::sort(roots.begin(), roots.end());
    int best = roots[0];
    std::ptrdiff_t best_run = 0;
    for (auto run = roots.begin(); run != roots.end();) {
        const auto next = std::upper_bound(run, roots.end(), *run);
        if (next - run > best_run) best = *run, best_run = next - run;
        run = next;
    }
    return best;
}

// `sample(u)` gives u's two sampled neighbours, smaller first, kNone for those it lacks.
template <class View, class Sample>
Buffer<int> components_of(const View& graph, Team& team, Sample sample) {
    const int n = graph.vertices();
    auto each_vertex = [&](auto&& body) {
        team.for_chunks(0, n, kGrain, [&](int first, int last, int) {
            for (int u = first; u < last; ++u) body(u);
        });
    };

    // Every vertex its own root, numbered by the workers: each maps its part of the result on
    // first touch, in parallel.
    Buffer<int> parent(n);
    each_vertex([&](int u) { parent[u] = u; });

    // Hooking: u takes the parent of its smaller sampled neighbour when that is smaller than u.
    // Only u's task writes parent[u] here, and what it writes is below u, so no claim is needed
    // and no cycle can form; a neighbour already hooked in this task passes on its own parent,
    // which keeps the trees shallow. The other sampled neighbour is kept for the link pass, so
    // that no list is read twice.
    Buffer<int> second(n);
    each_vertex([&](int u) {
        const auto [low, other] = sample(u);
        if (low < u) store(parent[u], load(parent[low]));
        second[u] = other;
    });
    // A neighbour hooked by another worker at the same time passes on only itself, so where the
    // tasks of neighbouring vertices run side by side (rows of a grid), chains grow a step per
    // task. Each vertex is pointed at its root before it links, which undoes them in one walk.
    each_vertex([&](int u) {
        compress(parent, u);
        if (second[u] != kNone) link(parent, u, second[u]);
    });

    // Compressed, and the members of the largest component noted in a bitmap, 64 vertices to a
    // word: tasks start at multiples of 64, so no two share a word. Members stay members, since
    // the component only grows.
    const int giant = most_sampled_root(parent);
    Bitmap in_giant(n);
    team.for_chunks(0, n, kGrain, [&](int first, int last, int) {
        for (int u = first; u < last; ++u) {
            compress(parent, u);
            in_giant.put(u, load(parent[u]) == giant);
        }
    });
    auto member = [&](unsigned u) { return in_giant.has(u); };
    auto each_outsider = [&](auto&& body) {
        team.for_chunks(0, n, kGrain, [&](int first, int last, int) {
            in_giant.each_non_member(first, last, body);
        });
    };

    // Every edge but those between two members (the sampled ones among them, linked again at the
    // cost of finding their common root). With mirrored lists none is seen from a member's side,
    // and the sweep visits only the outsiders, found a bitmap word at a time.
    if (graph.is_mirrored()) {
        each_outsider([&](int u) {
            for (const int v : graph.neighbours(u)) link(parent, u, v);
        });
    } else {
        each_vertex([&](int u) {
            if (u + kSweepAhead < n) prefetch_list(graph, u + kSweepAhead);
            const bool inside = member(u);
            for (const int v : graph.neighbours(u))
                if (!inside || !member(v)) link(parent, u, v);
        });
    }

    // The members still point at `giant`, and are done unless the sweep hung it under a smaller
    // root; then, and for the outsiders always, each finds its root again.
    if (parent[giant] == giant) {
        each_outsider([&](int u) { compress(parent, u); });
    } else {
        each_vertex([&](int u) { compress(parent, u); });
    }
    return parent;
}

template <class View>
Buffer<int> components_of(const View& graph, int workers, Interrupt* interrupt) {
    const int n = graph.vertices();
    if (n == 0) return {};
    // A vertex or an entry here costs a bit test or a pointer step, a small fraction of the unit
    // workers_for assumes, and the passes share the work: a graph needs that much more of them
    // before a second worker pays for waking it.
    constexpr long long kUnitsPerWork = 16;
    const long long work = (n + graph.entry_count()) / kUnitsPerWork;
    Team team(workers_for(work, workers), interrupt);
    if (graph.lists_ascending())
        return components_of(graph, team, [&](int u) {
            const std::span<const int> list = graph.neighbours(u);
            return std::pair{list.empty() ? kNone : list[0], list.size() < 2 ? kNone : list[1]};
        });
    return components_of(graph, team, [&](int u) {
        const std::span<const int> list = graph.neighbours(u);
        return smallest_two(list.first(std::min(kSampledEntries, list.size())));
    });
}

}  // namespace

Buffer<int> connected_components(const ListsView& graph, int workers, Interrupt* interrupt) {
    return components_of(graph, workers, interrupt);
}

Buffer<int> connected_components(const CsrView& graph, int workers, Interrupt* interrupt) {
    return components_of(graph, workers, interrupt);
}

}  // namespace veltrix
