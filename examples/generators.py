"""Seeded graph generators for the examples and benchmarks, in plain Python."""

import random
from itertools import accumulate

# Quadrant probabilities (top-left, top-right, bottom-left, bottom-right) of the recursive
# matrix model: a few hub vertices with very high degree and a long tail of small ones.
RMAT_PROBABILITIES = (0.57, 0.19, 0.19, 0.05)


def _quadrant_paths(levels, probabilities):
    """Every sequence of `levels` quadrant choices as (row bits, column bits), with its probability."""
    paths = [((0, 0), 1.0)]
    for _ in range(levels):
        paths = [
            ((row * 2 + (q >> 1), column * 2 + (q & 1)), p * pq)
            for (row, column), p in paths
            for q, pq in enumerate(probabilities)
        ]
    return paths


def rmat_edges(scale, edge_factor=16, seed=1, probabilities=RMAT_PROBABILITIES):
    """edge_factor * 2**scale edges over 2**scale vertices; repeats and self-loops are kept.

    Each edge descends `scale` levels of the adjacency matrix; six levels are drawn at a time
    from the 4096 possible paths, which keeps the generator fast enough for millions of edges.
    """
    rng = random.Random(seed)
    count = edge_factor << scale
    rows = [0] * count
    columns = [0] * count
    level = 0
    while level < scale:
        levels = min(6, scale - level)
        paths = _quadrant_paths(levels, probabilities)
        picks = rng.choices([bits for bits, _ in paths], cum_weights=list(accumulate(p for _, p in paths)), k=count)
        rows = [(r << levels) | pr for r, (pr, _) in zip(rows, picks)]
        columns = [(c << levels) | pc for c, (_, pc) in zip(columns, picks)]
        level += levels
    return list(zip(rows, columns))


def grid_edges(rows, columns):
    """The edges of a rows x columns grid: each cell to its right and lower neighbour."""
    edges = []
    for r in range(rows):
        for c in range(columns):
            v = r * columns + c
            if c + 1 < columns:
                edges.append((v, v + 1))
            if r + 1 < rows:
                edges.append((v, v + columns))
    return edges


def with_weights(edges, low=1, high=100, seed=1):
    """The edges as (u, v, weight) triples with integer-valued weights drawn from [low, high]."""
    rng = random.Random(seed)
    return [(u, v, float(rng.randint(low, high))) for u, v in edges]
