#pragma once

// Seeded synthetic graphs written straight into the caller's int32 edge arrays.
//
// Every random value is a function of (seed, position) alone: edge e of a graph is the same
// whichever worker draws it and however the edges are cut into tasks, so the arrays are identical
// for every worker count. Generators that take `first` write edges [first, first + count) of the
// graph's endless edge sequence, so a large graph can also be made in pieces.

#include <cstdint>

#include "parallel/team.hpp"

namespace veltrix {

// Quadrant probabilities of the recursive matrix: top-left, top-right, bottom-left, bottom-right.
struct RmatProbabilities {
    double a, b, c, d;
};

// R-MAT edges over 2^scale vertices (scale 0..31). Each edge descends `scale` levels of the
// adjacency matrix and fixes one row bit and one column bit per level, most significant first, so
// low vertex numbers are the hubs. Repeats and self-loops stay. The probabilities must be
// non-negative and sum to 1 (the caller checks).
void rmat_edges(int scale, RmatProbabilities probabilities, std::uint64_t seed, std::int64_t first,
                std::int64_t count, int* src, int* dst, int workers,
                Interrupt* interrupt = nullptr);

// Edges whose endpoints are drawn uniformly and independently from [0, vertices), 1 <= vertices
// <= 2^31. Repeats and self-loops stay.
void uniform_edges(std::int64_t vertices, std::uint64_t seed, std::int64_t first,
                   std::int64_t count, int* src, int* dst, int workers,
                   Interrupt* interrupt = nullptr);

// Edges of a rows x columns lattice numbered row by row (rows * columns <= 2^31): every rightward
// edge in vertex order, then every downward edge in vertex order.
std::int64_t grid_edge_count(std::int64_t rows, std::int64_t columns);
void grid_edges(std::int64_t rows, std::int64_t columns, int* src, int* dst, int workers,
                Interrupt* interrupt = nullptr);

// Whole numbers drawn uniformly from [low, high] and stored as doubles; |low|, |high| <= 2^53 so
// that every one of them is exact.
void integer_weights(std::int64_t low, std::int64_t high, std::uint64_t seed, std::int64_t first,
                     std::int64_t count, double* weights, int workers,
                     Interrupt* interrupt = nullptr);

}  // namespace veltrix
