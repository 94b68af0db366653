// Compressed graphs: the parallel builders reproduce Graph's lists exactly for every worker count,
// every kernel gives on a CSR view exactly what it gives on the same Graph, and the check of
// arrays from outside catches each kind of damage.

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "algorithms/connected_components.hpp"
#include "algorithms/hop_distances.hpp"
#include "algorithms/pagerank_gather.hpp"
#include "algorithms/pagerank_scatter.hpp"
#include "algorithms/shortest_distances.hpp"
#include "algorithms/triangle_count.hpp"
#include "check.hpp"
#include "graph/csr_graph.hpp"
#include "random_graph.hpp"

namespace {

using namespace veltrix;

bool same_lists(const CsrGraph& csr, const WeightedGraph& graph) {
    const auto& lists = graph.get_adj();
    if (csr.vertices != graph.vertices()) return false;
    for (int v = 0; v < csr.vertices; ++v) {
        const std::int64_t first = csr.offsets[v], last = csr.offsets[v + 1];
        if (last - first != static_cast<std::int64_t>(lists[v].size())) return false;
        for (std::int64_t k = first; k < last; ++k) {
            const auto& [target, weight] = lists[v][k - first];
            if (csr.targets[k] != target ||
                !(csr.weights[k] == weight ||
                  (weight != weight && csr.weights[k] != csr.weights[k])))
                return false;
        }
    }
    return true;
}

// The edges a random graph was built from, read back from its lists (each undirected edge from
// the end whose list holds it first in edge order is unknowable, so directed graphs only).
void builders_reproduce_graph_lists(const testing::Case& c, unsigned seed) {
    const WeightedGraph graph = testing::random_graph(c, seed, testing::Weights::awkward);
    std::vector<std::int64_t> src, dst;
    std::vector<double> weight;
    for (int u = 0; u < graph.vertices(); ++u)
        for (const auto& [v, w] : graph.get_adj()[u])
            src.push_back(u), dst.push_back(v), weight.push_back(w);
    const auto m = static_cast<std::int64_t>(src.size());
    const std::vector<std::int32_t> src32(src.begin(), src.end()), dst32(dst.begin(), dst.end());
    for (int workers : testing::kWorkers) {
        Team team(workers);
        CHECK(same_lists(csr_from_lists(graph, c.directed, team), graph));
        if (!c.directed) continue;
        CHECK(same_lists(
            csr_from_edges(src.data(), dst.data(), weight.data(), m, c.n, true, false, team),
            graph));
        // Through the 64-bit cursors that only graphs of 2^32 entries or more need.
        CHECK(same_lists(csr_from_edges_through<std::int32_t, std::uint64_t>(
                             src32.data(), dst32.data(), weight.data(), m, c.n, true, false, team),
                         graph));
    }
}

void kernels_agree_on_both_layouts(const testing::Case& c, unsigned seed) {
    const WeightedGraph graph = testing::random_graph(c, seed);
    Team builder(2);
    const CsrGraph csr = csr_from_lists(graph, c.directed, builder);
    const CsrView view = csr.view();
    const int source = c.n / 3;
    for (int workers : testing::kWorkers) {
        CHECK(std::ranges::equal(hop_distances(view, source, workers),
                                 hop_distances(graph, source, workers)));
        CHECK(std::ranges::equal(connected_components(view, workers),
                                 connected_components(graph, workers)));
        CHECK(pagerank_gather(view, 7, 0.85, workers) == pagerank_gather(graph, 7, 0.85, workers));
        CHECK(pagerank_scatter(view, 7, 0.85, workers) ==
              pagerank_scatter(graph, 7, 0.85, workers));
        CHECK(std::ranges::equal(shortest_distances(view, source, workers),
                                 shortest_distances(graph, source, workers)));
        CHECK_EQ(triangle_count(view, workers), triangle_count(graph, workers));
    }
}

void simplified_lists_are_sorted_sets_without_loops() {
    const std::vector<int> src{0, 1, 0, 2, 2, 0, 1}, dst{1, 0, 1, 2, 0, 2, 1};
    const std::vector<double> weight{5, 3, 4, 1, 2, 9, 7};
    Team team(3);
    const CsrGraph csr =
        csr_from_edges(src.data(), dst.data(), weight.data(), 7, 3, false, true, team);
    CHECK((std::vector<std::int64_t>(csr.offsets.begin(), csr.offsets.end()) ==
           std::vector<std::int64_t>{0, 2, 3, 4}));
    CHECK(
        (std::vector<int>(csr.targets.begin(), csr.targets.end()) == std::vector<int>{1, 2, 0, 0}));
    CHECK((std::vector<double>(csr.weights.begin(), csr.weights.end()) ==
           std::vector<double>{3, 2, 3, 2}));
}

// Edges placed in batches give the lists of one build over all of them, and a batch that differs
// between counting and placing is refused.
void batches_build_the_same_graph() {
    const WeightedGraph graph = testing::random_graph({3000, 20000, false}, 9);
    std::vector<std::uint32_t> src, dst;
    for (int u = 0; u < graph.vertices(); ++u)
        for (int v : static_cast<const Graph&>(graph).get_adj()[u])
            if (u <= v) src.push_back(u), dst.push_back(v);
    const auto m = static_cast<std::int64_t>(src.size());
    for (int workers : {1, 3, 8}) {
        Team team(workers);
        const CsrGraph whole =
            csr_from_edges(src.data(), dst.data(), nullptr, m, 3000, false, false, team);
        CsrBuilder builder(3000, false, false, false);
        const std::int64_t cuts[] = {0, 1, 777, m / 2, m};
        for (int b = 0; b < 4; ++b)
            builder.count(src.data() + cuts[b], dst.data() + cuts[b], cuts[b + 1] - cuts[b], team);
        for (int b = 0; b < 4; ++b)
            builder.place(src.data() + cuts[b], dst.data() + cuts[b], nullptr,
                          cuts[b + 1] - cuts[b], team);
        const CsrGraph batched = builder.finish(team);
        CHECK(std::equal(whole.offsets.begin(), whole.offsets.end(), batched.offsets.begin()));
        CHECK(std::equal(whole.targets.begin(), whole.targets.end(), batched.targets.begin()));
    }
    Team team(2);
    CsrBuilder builder(3000, false, false, false);
    builder.count(src.data(), dst.data(), m, team);
    std::swap(src[5], src[m - 5]);
    bool refused = false;
    try {
        builder.place(src.data(), dst.data(), nullptr, m, team);
        builder.finish(team);
    } catch (const std::runtime_error&) {
        refused = true;
    }
    CHECK(refused);
}

// The kernels index lists by 64-bit offsets: a small graph whose lists lie past entry 2^31 of a
// sparse mapping (only the touched pages take memory) gives the answers of the same lists at 0.
void lists_past_entry_2_31() {
    const WeightedGraph graph = testing::random_graph({2000, 8000, false}, 3);
    Team team(2);
    const CsrGraph low = csr_from_lists(graph, false, team);
    const std::int64_t base = (std::int64_t{1} << 31) + 3, entries = low.offsets[graph.vertices()];
    const std::size_t bytes = static_cast<std::size_t>(base + entries) * sizeof(int);
    void* mapping = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapping == MAP_FAILED) {
        std::cout << "skipped: no room for a sparse mapping past 2^31 entries\n";
        return;
    }
    int* const targets = static_cast<int*>(mapping);
    std::copy(low.targets.begin(), low.targets.end(), targets + base);
    std::vector<std::int64_t> offsets(low.offsets.begin(), low.offsets.end());
    for (std::int64_t& offset : offsets) offset += base;
    const CsrView high(graph.vertices(), offsets.data(), targets, nullptr, true);
    for (int workers : {1, 3}) {
        CHECK(
            std::ranges::equal(hop_distances(high, 5, workers), hop_distances(graph, 5, workers)));
        CHECK(std::ranges::equal(connected_components(high, workers),
                                 connected_components(graph, workers)));
        CHECK(pagerank_gather(high, 5, 0.85, workers) == pagerank_gather(graph, 5, 0.85, workers));
        CHECK(pagerank_scatter(high, 5, 0.85, workers) ==
              pagerank_scatter(graph, 5, 0.85, workers));
        CHECK_EQ(triangle_count(high, workers), triangle_count(graph, workers));
    }
    CHECK(csr_problem(graph.vertices(), offsets.data(), targets, base + entries, true, team)
              .find("start at") != std::string::npos);
    munmap(mapping, bytes);
}

void damage_is_named() {
    // 0 - 1 - 2, undirected.
    std::vector<std::int64_t> offsets{0, 1, 3, 4};
    std::vector<int> targets{1, 0, 2, 1};
    Team team(2);
    const auto problem = [&] {
        return csr_problem(3, offsets.data(), targets.data(), 4, true, team);
    };
    bool ascending = false;
    CHECK(csr_problem(3, offsets.data(), targets.data(), 4, true, team, &ascending).empty());
    CHECK(ascending);  // the fall from 1 to 0 lies between two lists
    std::swap(targets[1], targets[2]);
    CHECK(csr_problem(3, offsets.data(), targets.data(), 4, true, team, &ascending).empty());
    CHECK(!ascending);
    std::swap(targets[1], targets[2]);
    CHECK(problem().empty());
    targets[2] = 3;
    CHECK(problem().find("targets[2] = 3") != std::string::npos);
    targets[2] = 0;
    CHECK(problem().find("mirror") != std::string::npos);
    CHECK(csr_problem(3, offsets.data(), targets.data(), 4, false, team).empty());
    offsets = {0, 3, 1, 4};
    CHECK(problem().find("decrease after vertex 1") != std::string::npos);
    offsets = {0, 1, 3, 5};
    CHECK(problem().find("end at 5") != std::string::npos);
}

}  // namespace

int main() {
    unsigned seed = 1;
    for (const auto& c : testing::kCases) {
        check::context() = c.name();
        builders_reproduce_graph_lists(c, seed);
        kernels_agree_on_both_layouts(c, seed++);
    }
    check::context() = "";
    simplified_lists_are_sorted_sets_without_loops();
    batches_build_the_same_graph();
    lists_past_entry_2_31();
    damage_is_named();
    return check::report();
}
