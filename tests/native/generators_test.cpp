// The seeded generators: the same arrays for every worker count and when made in pieces (also
// past 2^32 edges into the sequence), ids and weights in range, R-MAT quadrants drawn at their
// probabilities at every level, lattices edge for edge, and long calls that stop when interrupted.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "check.hpp"
#include "graph/generators.hpp"
#include "interrupted.hpp"

namespace {

using namespace veltrix;

constexpr RmatProbabilities kSkewed{0.57, 0.19, 0.19, 0.05};
// Several blocks of edges, and a ragged last one, so that workers share every call.
constexpr std::int64_t kEdges = 5 * (1 << 16) + 123;

struct Edges {
    std::vector<int> src, dst;
    bool operator==(const Edges&) const = default;
};

Edges rmat(int scale, RmatProbabilities p, std::uint64_t seed, std::int64_t first,
           std::int64_t count, int workers) {
    Edges e{std::vector<int>(count), std::vector<int>(count)};
    rmat_edges(scale, p, seed, first, count, e.src.data(), e.dst.data(), workers);
    return e;
}

Edges uniform(std::int64_t n, std::uint64_t seed, std::int64_t first, std::int64_t count,
              int workers) {
    Edges e{std::vector<int>(count), std::vector<int>(count)};
    uniform_edges(n, seed, first, count, e.src.data(), e.dst.data(), workers);
    return e;
}

Edges grid(std::int64_t rows, std::int64_t columns, int workers) {
    const std::int64_t count = grid_edge_count(rows, columns);
    Edges e{std::vector<int>(count), std::vector<int>(count)};
    grid_edges(rows, columns, e.src.data(), e.dst.data(), workers);
    return e;
}

std::vector<double> weights(std::int64_t low, std::int64_t high, std::uint64_t seed,
                            std::int64_t first, std::int64_t count, int workers) {
    std::vector<double> w(count);
    integer_weights(low, high, seed, first, count, w.data(), workers);
    return w;
}

Edges slice(const Edges& e, std::int64_t from, std::int64_t to) {
    return {{e.src.begin() + from, e.src.begin() + to}, {e.dst.begin() + from, e.dst.begin() + to}};
}

void same_for_every_worker_count() {
    const Edges r = rmat(20, kSkewed, 7, 0, kEdges, 1);
    const Edges u = uniform(1'000'003, 7, 0, kEdges, 1);
    const Edges g = grid(701, 599, 1);
    const std::vector<double> w = weights(1, 100, 7, 0, kEdges, 1);
    for (int workers = 2; workers <= 8; ++workers) {
        check::context() = "workers=" + std::to_string(workers);
        CHECK(rmat(20, kSkewed, 7, 0, kEdges, workers) == r);
        CHECK(uniform(1'000'003, 7, 0, kEdges, workers) == u);
        CHECK(grid(701, 599, workers) == g);
        CHECK(weights(1, 100, 7, 0, kEdges, workers) == w);
    }
    check::context().clear();
    CHECK(!(rmat(20, kSkewed, 8, 0, kEdges, 2) == r));
    CHECK(!(uniform(1'000'003, 8, 0, kEdges, 2) == u));
    CHECK(weights(1, 100, 8, 0, kEdges, 2) != w);
}

// Edge e depends on e alone, far into the sequence too: a position cut to 32 bits would repeat the
// start of the graph, and one that lost the offset would shift it.
void pieces_join_up() {
    for (const std::int64_t first : {std::int64_t{0}, (std::int64_t{1} << 32) - 1000}) {
        check::context() = "first=" + std::to_string(first);
        const Edges r = rmat(31, kSkewed, 3, first, 3000, 2);
        CHECK(rmat(31, kSkewed, 3, first + 1000, 2000, 2) == slice(r, 1000, 3000));
        const Edges u = uniform(std::int64_t{1} << 31, 3, first, 3000, 2);
        CHECK(uniform(std::int64_t{1} << 31, 3, first + 1000, 2000, 2) == slice(u, 1000, 3000));
        const std::vector<double> w = weights(-5, 5, 3, first, 3000, 2);
        CHECK(weights(-5, 5, 3, first + 1000, 2000, 2) ==
              std::vector<double>(w.begin() + 1000, w.end()));
    }
    check::context().clear();
    const std::int64_t far = std::int64_t{1} << 32;
    CHECK(!(rmat(31, kSkewed, 3, far, 1000, 2) == rmat(31, kSkewed, 3, 0, 1000, 2)));
    CHECK(!(uniform(1000, 3, far, 1000, 2) == uniform(1000, 3, 0, 1000, 2)));
}

void ids_and_weights_in_range() {
    for (int scale : {0, 1, 5, 31}) {
        const Edges r = rmat(scale, kSkewed, 1, 0, 20'000, 2);
        const std::int64_t n = std::int64_t{1} << scale;
        bool inside = true;
        for (std::size_t i = 0; i < r.src.size(); ++i)
            inside &= r.src[i] >= 0 && r.src[i] < n && r.dst[i] >= 0 && r.dst[i] < n;
        CHECK(inside);
    }
    for (std::int64_t n :
         {std::int64_t{1}, std::int64_t{3}, std::int64_t{1'000'003}, std::int64_t{1} << 31}) {
        const Edges u = uniform(n, 1, 0, 20'000, 2);
        bool inside = true;
        for (std::size_t i = 0; i < u.src.size(); ++i)
            inside &= u.src[i] >= 0 && u.src[i] < n && u.dst[i] >= 0 && u.dst[i] < n;
        CHECK(inside);
    }
    // Small spans reach both ends; the widest allowed keeps every weight whole and inside.
    const std::vector<double> w = weights(-3, 4, 1, 0, 20'000, 2);
    std::vector<int> seen(8, 0);
    for (double x : w) {
        CHECK(x >= -3 && x <= 4 && x == std::floor(x));
        if (x >= -3 && x <= 4) ++seen[static_cast<int>(x) + 3];
    }
    for (int value = 0; value < 8; ++value) CHECK(std::abs(seen[value] - 2500) < 250);
    const std::int64_t limit = std::int64_t{1} << 53;
    for (double x : weights(-limit, limit, 1, 0, 1000, 2))
        CHECK(x >= -limit && x <= limit && x == std::floor(x));
    for (double x : weights(9, 9, 1, 0, 100, 2)) CHECK_EQ(x, 9.0);
}

// Every level draws its quadrant independently: at every bit position the pair (row bit, column
// bit) is (0,0), (0,1), (1,0), (1,1) with probabilities a, b, c, d.
void rmat_quadrants_at_every_level() {
    for (const RmatProbabilities p : {kSkewed, RmatProbabilities{0.25, 0.25, 0.25, 0.25},
                                      RmatProbabilities{0.1, 0.2, 0.3, 0.4}}) {
        const int scale = 10;
        const std::int64_t count = 1 << 18;
        const Edges r = rmat(scale, p, 11, 0, count, 2);
        const double expected[4] = {p.a, p.b, p.c, p.d};
        for (int bit = 0; bit < scale; ++bit) {
            std::int64_t quadrant[4] = {0, 0, 0, 0};
            for (std::int64_t i = 0; i < count; ++i)
                ++quadrant[2 * ((r.src[i] >> bit) & 1) + ((r.dst[i] >> bit) & 1)];
            for (int q = 0; q < 4; ++q) {
                check::context() = "bit=" + std::to_string(bit) + " quadrant=" + std::to_string(q);
                CHECK(std::abs(static_cast<double>(quadrant[q]) / count - expected[q]) < 0.005);
            }
        }
    }
    check::context().clear();
    // A certain quadrant fixes every bit: top-right always gives row 0 and the last column.
    const Edges r = rmat(6, RmatProbabilities{0, 1, 0, 0}, 1, 0, 1000, 2);
    for (std::size_t i = 0; i < r.src.size(); ++i) CHECK(r.src[i] == 0 && r.dst[i] == 63);
}

void grids_edge_for_edge() {
    for (const auto& [rows, columns] :
         std::vector<std::pair<int, int>>{{0, 0}, {0, 4}, {3, 0}, {1, 1}, {1, 5}, {4, 1}, {3, 4}}) {
        check::context() = std::to_string(rows) + "x" + std::to_string(columns);
        Edges expected;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c + 1 < columns; ++c) {
                expected.src.push_back(r * columns + c);
                expected.dst.push_back(r * columns + c + 1);
            }
        for (int r = 0; r + 1 < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                expected.src.push_back(r * columns + c);
                expected.dst.push_back((r + 1) * columns + c);
            }
        CHECK_EQ(grid_edge_count(rows, columns), static_cast<std::int64_t>(expected.src.size()));
        CHECK(grid(rows, columns, 3) == expected);
    }
    check::context().clear();
    // The largest cell id: a single row or column of 2^31 cells still fits the int ids.
    CHECK_EQ(grid_edge_count(1, std::int64_t{1} << 31), (std::int64_t{1} << 31) - 1);
}

void long_calls_stop_when_interrupted() {
    std::vector<int> src(kEdges), dst(kEdges);
    std::vector<double> w(kEdges);
    testing::stops_when_interrupted([&](int workers, Interrupt* interrupt) {
        rmat_edges(20, kSkewed, 1, 0, kEdges, src.data(), dst.data(), workers, interrupt);
    });
    testing::stops_when_interrupted([&](int workers, Interrupt* interrupt) {
        uniform_edges(100, 1, 0, kEdges, src.data(), dst.data(), workers, interrupt);
    });
    testing::stops_when_interrupted([&](int workers, Interrupt* interrupt) {
        integer_weights(1, 100, 1, 0, kEdges, w.data(), workers, interrupt);
    });
}

}  // namespace

int main() {
    same_for_every_worker_count();
    pieces_join_up();
    ids_and_weights_in_range();
    rmat_quadrants_at_every_level();
    grids_edge_for_edge();
    long_calls_stop_when_interrupted();
    return check::report();
}
