"""networkx alone against networkx dispatching to the veltrix backend, per served function.

The graph is R-MAT with 2**16 vertices and edge factor 16 (seeded), as a networkx Graph and
DiGraph with integer weights 1..100. For every served function the table gives networkx's own
time, the backend's first call (conversion included, cache emptied before it) and the backend
on the cached conversion (median of --repeat calls), and the two speed-ups. A second table
compares converting the Graph with networkx's own connected_components on it.

Usage: ``python3 bench/networkx_backend.py [--scale 16] [--repeat 3] [--only name,...]``
"""

from __future__ import annotations

import argparse
import statistics
import time

import networkx as nx
import numpy as np

from veltrix.nx.graph import convert

RMAT = (0.57, 0.19, 0.19, 0.05)


def rmat(scale: int, edge_factor: int, seed: int) -> tuple[np.ndarray, np.ndarray]:
    """R-MAT edges: each edge picks one quadrant per level of the adjacency matrix."""
    rng = np.random.default_rng(seed)
    m = edge_factor << scale
    rows = np.zeros(m, np.int64)
    cols = np.zeros(m, np.int64)
    cumulative = np.cumsum(RMAT)
    for _ in range(scale):
        quadrant = np.searchsorted(cumulative, rng.random(m), side="right").clip(0, 3)
        rows = rows * 2 + (quadrant >> 1)
        cols = cols * 2 + (quadrant & 1)
    return rows, cols


def graphs(scale: int) -> tuple[nx.Graph, nx.DiGraph]:
    rows, cols = rmat(scale, 16, seed=1)
    weights = np.random.default_rng(2).integers(1, 101, len(rows))
    edges = list(zip(rows.tolist(), cols.tolist(), weights.tolist()))
    G, D = nx.Graph(), nx.DiGraph()
    for H in (G, D):
        H.add_nodes_from(range(1 << scale))
        H.add_weighted_edges_from(edges)
    return G, D


def calls(G: nx.Graph, D: nx.DiGraph) -> list[tuple[str, object, tuple, dict]]:
    # The reachable node farthest from the hub: networkx's pair searches stop early on near pairs.
    hops = nx.single_source_shortest_path_length(G, 0, backend="veltrix")
    far = max(hops, key=hops.__getitem__)
    return [
        ("connected_components", G, (), {}),
        ("number_connected_components", G, (), {}),
        ("is_connected", G, (), {}),
        ("node_connected_component", G, (0,), {}),
        ("weakly_connected_components", D, (), {}),
        ("number_weakly_connected_components", D, (), {}),
        ("is_weakly_connected", D, (), {}),
        ("single_source_shortest_path_length", G, (0,), {}),
        ("shortest_path_length", G, (0,), {}),
        ("descendants", D, (0,), {}),
        ("has_path", G, (0, far), {}),
        ("single_source_dijkstra_path_length", G, (0,), {}),
        ("dijkstra_path_length", G, (0, far), {}),
        ("single_source_bellman_ford_path_length", G, (0,), {}),
        ("bellman_ford_path_length", G, (0, far), {}),
        ("transitivity", G, (), {}),
        ("pagerank", G, (), {"weight": None}),
    ]


def timed(f) -> tuple[float, object]:
    start = time.perf_counter()
    result = f()
    if type(result).__name__ == "generator":
        result = list(result)
    return time.perf_counter() - start, result


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scale", type=int, default=16)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--only", default="")
    options = parser.parse_args()
    nx.config.warnings_to_ignore.add("cache")

    G, D = graphs(options.scale)
    print(
        f"R-MAT 2^{options.scale}: {G.number_of_nodes()} nodes, Graph {G.number_of_edges()} edges, "
        f"DiGraph {D.number_of_edges()} edges\n"
    )

    conversion, components = [], []
    for _ in range(options.repeat):  # interleaved, medians: the machine may be shared
        conversion.append(timed(lambda: convert(G, {}))[0])
        components.append(timed(lambda: nx.connected_components(G))[0])
    c, n = statistics.median(conversion), statistics.median(components)
    print(
        f"conversion of the Graph {c:.3f} s, networkx connected_components {n:.3f} s, ratio {c / n:.2f}\n"
    )

    print(
        "| function | networkx (s) | backend, first call (s) | backend, cached (s) | speed-up first | speed-up cached |"
    )
    print("|---|---:|---:|---:|---:|---:|")
    only = set(filter(None, options.only.split(",")))
    for name, H, args, kwargs in calls(G, D):
        if only and name not in only:
            continue
        func = getattr(nx, name)
        t_nx, expected = timed(lambda: func(H, *args, **kwargs))
        H.__networkx_cache__.clear()
        t_first, first = timed(lambda: func(H, *args, backend="veltrix", **kwargs))
        t_cached = statistics.median(
            timed(lambda: func(H, *args, backend="veltrix", **kwargs))[0]
            for _ in range(options.repeat)
        )
        if name != "pagerank":
            assert first == expected, name
        print(
            f"| {name} | {t_nx:.3f} | {t_first:.3f} | {t_cached:.4f} | {t_nx / t_first:.1f}x | {t_nx / t_cached:.0f}x |"
        )


if __name__ == "__main__":
    main()
