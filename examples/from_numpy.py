"""Builds a graph of a few million edges from numpy arrays and times every algorithm on it.

Usage: python examples/from_numpy.py [scale]     (default 20: 2**20 vertices, 4 * 2**20 edges)

Nothing is downloaded: the edges are drawn uniformly at random with a fixed seed.
"""

from __future__ import annotations

import sys
import time
from collections.abc import Callable
from typing import TypeVar

import veltrix as vx
from veltrix.generators import integer_weights, uniform_edges

T = TypeVar("T")


def timed(label: str, run: Callable[[], T]) -> T:
    print(f"{label:<32}", end=" ", flush=True)
    start = time.perf_counter()
    result = run()
    print(f"{time.perf_counter() - start:8.3f} s", flush=True)
    return result


def main() -> None:
    scale = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    n = 1 << scale
    src, dst = uniform_edges(scale, edge_factor=4)
    weights = integer_weights(len(src))
    print(f"{n:,} vertices, {len(src):,} undirected edges, {vx.get_thread_count(-1)} threads")

    graph = timed("build Graph", lambda: vx.from_edges(src, dst, n))
    weighted = timed("build WeightedGraph", lambda: vx.from_edges(src, dst, n, weights=weights))

    labels = timed("parallel_connected_components", lambda: vx.parallel_connected_components(graph))
    scores = timed("parallel_pagerank", lambda: vx.parallel_pagerank(graph))
    timed("parallel_pagerank_bfs", lambda: vx.parallel_pagerank_bfs(graph))
    hops = timed("parallel_bfs", lambda: vx.parallel_bfs(graph, 0))
    reached = timed("parallel_dfs", lambda: vx.parallel_dfs(graph, 0))
    distances = timed("parallel_dijkstra", lambda: vx.parallel_dijkstra(weighted, 0))
    triangles = timed("triangle_count_parallel", lambda: vx.triangle_count_parallel(graph))

    print(
        f"\n{len(set(labels)):,} components; vertex 0 reaches {sum(reached):,} vertices in at most "
        f"{max(hops):,} hops; farthest weighted distance {max(d for d in distances if d < 1e18):.2f}; "
        f"{triangles:,} triangles; top PageRank score {max(scores):.3g}"
    )


if __name__ == "__main__":
    main()
