// Seeded generators on a counter-based random stream.
//
// The random word at position p of seed s is splitmix64's output for step p of the stream keyed by
// s, computed directly as mix(key + p * gamma) rather than by walking the stream. No state passes
// from one edge to the next, so the edges are cut into blocks that any worker may take in any
// order, and each edge still gets the same words. An R-MAT edge at scale s owns ceil(s / 2)
// consecutive words: each supplies two 32-bit draws, one per level, which pick the level's quadrant
// by comparison with the cumulative quadrant probabilities scaled to 2^32. Bounded integers use the
// multiply-shift reduction with rejection; a rejected draw takes the next word of a stream keyed
// by its own position, so the rare redraw is as reproducible as the first.

#include "graph/generators.hpp"

#include <algorithm>
#include <cmath>

#include "graph/mix.hpp"

namespace veltrix {

namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr std::uint64_t kGamma = 0x9e3779b97f4a7c15ULL;
// Each generator draws from its own stream, so one seed gives unrelated graphs and weights.
constexpr std::uint64_t kRmatStream = 1;
constexpr std::uint64_t kUniformStream = 2;
constexpr std::uint64_t kWeightStream = 3;
// Edges per task: long enough that claiming a task costs nothing, short enough that an interrupt
// is seen within a few milliseconds and the last tasks balance across workers.
constexpr std::int64_t kBlock = 1 << 16;
constexpr std::int64_t kMaxTasks = std::int64_t{1} << 30;

inline std::uint64_t stream_key(std::uint64_t seed, std::uint64_t stream) {
    return mix(mix(seed) + stream * kGamma);
}

inline std::uint64_t word(std::uint64_t key, std::uint64_t position) {
    return mix(key + position * kGamma);
}

// A uniform integer in [0, span), span >= 1, drawn at `position`.
inline std::uint64_t below(std::uint64_t key, std::uint64_t position, std::uint64_t span) {
    Wide product = static_cast<Wide>(word(key, position)) * span;
    if (static_cast<std::uint64_t>(product) < span) {
        const std::uint64_t threshold = (0 - span) % span;
        const std::uint64_t redraws = mix(key ^ position);
        for (std::uint64_t retry = 0; static_cast<std::uint64_t>(product) < threshold; ++retry)
            product = static_cast<Wide>(word(redraws, retry)) * span;
    }
    return static_cast<std::uint64_t>(product >> 64);
}

// Runs fill(begin, end) over [0, count) in blocks on a team no larger than the block count.
template <class Fill>
void in_blocks(std::int64_t count, int workers, Interrupt* interrupt, Fill&& fill) {
    if (count <= 0) return;
    const std::int64_t block = std::max(kBlock, (count + kMaxTasks - 1) / kMaxTasks);
    const std::int64_t tasks = (count + block - 1) / block;
    Team team(static_cast<int>(std::clamp<std::int64_t>(tasks, 1, std::max(workers, 1))),
              interrupt);
    team.run(static_cast<int>(tasks), [&](int t, int) {
        const std::int64_t begin = block * t;
        fill(begin, std::min(begin + block, count));
    });
}

// Bits 0, 2, 4, ... of x packed into bits 0, 1, 2, ...
inline std::uint32_t even_bits(std::uint64_t x) {
    x &= 0x5555555555555555ULL;
    x = (x | (x >> 1)) & 0x3333333333333333ULL;
    x = (x | (x >> 2)) & 0x0f0f0f0f0f0f0f0fULL;
    x = (x | (x >> 4)) & 0x00ff00ff00ff00ffULL;
    x = (x | (x >> 8)) & 0x0000ffff0000ffffULL;
    return static_cast<std::uint32_t>(x | (x >> 16));
}

// p scaled to a 32-bit threshold: a draw u in [0, 2^32) falls below it with probability p.
std::uint64_t threshold(double p) {
    const double scaled = std::round(p * 4294967296.0);
    return static_cast<std::uint64_t>(std::clamp(scaled, 0.0, 4294967296.0));
}

}  // namespace

void rmat_edges(int scale, RmatProbabilities p, std::uint64_t seed, std::int64_t first,
                std::int64_t count, int* src, int* dst, int workers, Interrupt* interrupt) {
    const std::uint64_t key = stream_key(seed, kRmatStream);
    const std::uint64_t top_left = threshold(p.a);
    const std::uint64_t top = threshold(p.a + p.b);
    const std::uint64_t not_bottom_right = threshold(p.a + p.b + p.c);
    const std::uint64_t words = (static_cast<std::uint64_t>(scale) + 1) / 2;
    in_blocks(count, workers, interrupt, [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t e = begin; e < end; ++e) {
            std::uint64_t position = key + static_cast<std::uint64_t>(first + e) * words * kGamma;
            // The number of thresholds a draw passes is the quadrant, 0..3 = (row bit, column bit)
            // in binary; the quadrants are collected two bits per level and split once per edge,
            // which costs far less than building the row and the column bit by bit.
            std::uint64_t quadrants = 0;
            const auto descend = [&](std::uint64_t u) {
                quadrants =
                    (quadrants << 2) + (u >= top_left) + (u >= top) + (u >= not_bottom_right);
            };
            for (int level = 0; level < scale; level += 2, position += kGamma) {
                const std::uint64_t w = mix(position);
                descend(w >> 32);
                if (level + 1 < scale) descend(w & 0xffffffffULL);
            }
            src[e] = static_cast<int>(even_bits(quadrants >> 1));
            dst[e] = static_cast<int>(even_bits(quadrants));
        }
    });
}

void uniform_edges(std::int64_t vertices, std::uint64_t seed, std::int64_t first,
                   std::int64_t count, int* src, int* dst, int workers, Interrupt* interrupt) {
    const std::uint64_t key = stream_key(seed, kUniformStream);
    const auto span = static_cast<std::uint64_t>(vertices);
    in_blocks(count, workers, interrupt, [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t e = begin; e < end; ++e) {
            const std::uint64_t position = 2 * static_cast<std::uint64_t>(first + e);
            src[e] = static_cast<int>(below(key, position, span));
            dst[e] = static_cast<int>(below(key, position + 1, span));
        }
    });
}

std::int64_t grid_edge_count(std::int64_t rows, std::int64_t columns) {
    return rows * std::max<std::int64_t>(columns - 1, 0) +
           std::max<std::int64_t>(rows - 1, 0) * columns;
}

void grid_edges(std::int64_t rows, std::int64_t columns, int* src, int* dst, int workers,
                Interrupt* interrupt) {
    const std::int64_t width = std::max<std::int64_t>(columns - 1, 0);
    const std::int64_t rightward = rows * width;
    in_blocks(grid_edge_count(rows, columns), workers, interrupt,
              [&](std::int64_t begin, std::int64_t end) {
                  std::int64_t i = begin;
                  if (i < rightward) {
                      // One division per block; the cell then steps along its row.
                      std::int64_t row = i / width;
                      std::int64_t column = i % width;
                      for (const std::int64_t stop = std::min(end, rightward); i < stop; ++i) {
                          const std::int64_t cell = row * columns + column;
                          src[i] = static_cast<int>(cell);
                          dst[i] = static_cast<int>(cell + 1);
                          if (++column == width) {
                              column = 0;
                              ++row;
                          }
                      }
                  }
                  // The downward edges leave the cells of every row but the last, in order.
                  for (; i < end; ++i) {
                      const std::int64_t cell = i - rightward;
                      src[i] = static_cast<int>(cell);
                      dst[i] = static_cast<int>(cell + columns);
                  }
              });
}

void integer_weights(std::int64_t low, std::int64_t high, std::uint64_t seed, std::int64_t first,
                     std::int64_t count, double* weights, int workers, Interrupt* interrupt) {
    const std::uint64_t key = stream_key(seed, kWeightStream);
    const std::uint64_t span =
        static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low) + 1;
    in_blocks(count, workers, interrupt, [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t i = begin; i < end; ++i) {
            const std::uint64_t drawn = below(key, static_cast<std::uint64_t>(first + i), span);
            weights[i] = static_cast<double>(low + static_cast<std::int64_t>(drawn));
        }
    });
}

}  // namespace veltrix
