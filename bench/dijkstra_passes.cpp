// Time of shortest_distances on a weighted grid, the high-diameter case: thousands of distance
// buckets, each holding a thin band of the grid.
//
//   cmake -S . -B build/bench -DVELTRIX_PYTHON_MODULE=OFF -DVELTRIX_BENCH=ON && cmake --build build/bench
//   build/bench/dijkstra_passes [side=1000] [repeats=5]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "algorithms/shortest_distances.hpp"
#include "parallel/threads.hpp"

namespace {

// A side x side grid, undirected, each cell joined to its right and lower neighbour by an edge of
// integer-valued weight 1..100.
veltrix::WeightedGraph weighted_grid(int side) {
    std::mt19937 random(1);
    std::uniform_int_distribution<int> weight(1, 100);
    veltrix::WeightedEdgeList edges;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const int v = r * side + c;
            if (c + 1 < side) edges.emplace_back(v, v + 1, weight(random));
            if (r + 1 < side) edges.emplace_back(v, v + side, weight(random));
        }
    veltrix::WeightedGraph grid(side * side, false);
    grid.add_edges(edges);
    return grid;
}

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    const veltrix::WeightedGraph grid = weighted_grid(side);
    std::printf("%dx%d weighted grid, median of %d runs\n", side, side, repeats);
    for (int workers : {1, veltrix::hardware_threads()}) {
        std::vector<double> seconds;
        double farthest = 0.0;
        for (int run = 0; run < repeats; ++run) {
            const auto start = std::chrono::steady_clock::now();
            const std::vector<double> distance = veltrix::shortest_distances(grid, 0, workers);
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            farthest = *std::max_element(distance.begin(), distance.end());
        }
        std::sort(seconds.begin(), seconds.end());
        std::printf("  workers %d: farthest %.0f, %8.1f ms\n", workers, farthest, 1000 * seconds[seconds.size() / 2]);
    }
}
