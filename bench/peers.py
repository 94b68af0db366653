"""Times every VELTRIX algorithm against the other graph libraries on the same generated graphs.

    python bench/peers.py [--quick] [--graphs rmat14,grid16-shuffled] [--kernels bfs,sssp]
                          [--gap PATH [--scale 18,22]] [--busy] [--markdown FILE]

Peers, each used where installed (``pip install .[bench]``): igraph, NetworKit, scipy.sparse.csgraph,
rustworkx, and networkx on graphs of at most 2**14 vertices. Every graph is undirected and built
once per library from the same edge arrays (repeats and self-loops kept); building is not timed.
Each timed call includes turning the result into plain Python objects (numpy arrays and native
vectors become lists), as VELTRIX returns lists. Every peer's result is checked against VELTRIX;
a disagreement is printed as MISMATCH and marked ``!`` in the table.

Beside the list API, every cell also times the array functions (``veltrix.hop_distances``, ...)
with 2 threads on CSRGraphs built once per graph by ``CSRGraph.from_edges`` from the same arrays
(the triangle count's with ``simplify=True``); their results must equal the list API's, and their
build times, against ``veltrix.from_edges``, get a table of their own.

The R-MAT 2**14 graph and the grids also run with their edges sorted (every neighbour list comes
out ascending) and shuffled (every list in random order), as ``rmat14-sorted``,
``grid20-shuffled`` and so on, so that no library wins by the order it happens to read.

Kernels and the call used for each peer:

- components: connected components (labels compared as partitions).
- pagerank / pagerank_scatter: PageRank, 20 iterations, damping 0.85. Ranked against peers that
  run exactly 20 iterations with the same rule for vertices without edges: scipy (20 sparse
  products, written out here) and NetworKit (20 iterations, tolerance 0, sinks distributed).
  igraph, rustworkx and networkx stop on their own tolerance: shown in parentheses, not ranked,
  and checked only loosely. Both VELTRIX variants are compared with the same peer timings.
- bfs: hop distances from vertex 0 (igraph: distances; NetworKit: BFS; scipy: shortest_path with
  unweighted=True; rustworkx: bfs_layers; networkx: single_source_shortest_path_length).
- reachability: the vertices reachable from 0 (scipy: breadth_first_order; igraph: subcomponent;
  NetworKit: BFS distances; rustworkx and networkx: node_connected_component).
- sssp: shortest distances from 0 with integer weights 1..100 (each library's Dijkstra). scipy
  and networkx cannot hold parallel edges with different weights, so they get the lightest of
  each parallel group; the distances are the same.
- triangles: the triangle count, on the simple graph (repeats and self-loops removed) for everyone,
  VELTRIX included, since libraries disagree on what a repeated edge adds (igraph: from its local
  transitivity; NetworKit: TriangleEdgeScore; networkx: triangles). scipy and rustworkx have no
  count.

NetworKit runs on all cores, the others on one. Each cell is the median of 5 calls, interleaved
over all variants of the cell (after one untimed warm-up call); a variant whose
first call takes over 2 s is timed 3 times, over 8 s once (marked ``[3]`` / ``[1]``).
``ratio`` is VELTRIX with all threads over the fastest ranked peer (below 1: VELTRIX wins);
``speed-up`` is VELTRIX with one thread over VELTRIX with all threads.

``--gap PATH`` times the C++ reference suite built in PATH (its converter and its bfs, cc, pr, sssp
and tc binaries) on R-MAT edges of each ``--scale`` (default 18) written as an edge list, with 2
OpenMP threads, each kernel's trials just before and just after VELTRIX's list API, array functions
on a Graph and array functions on a CSRGraph run the same kernel on the same edges (each API's calls
back to back, as the suite runs its trials; and each API timed after untimed calls of at least
0.2 s, as the suite's trials follow its reading of the graph: for tens of milliseconds after the
suite's process ended, two-thread calls of 2 ms ran here up to twice as long, as if on one
processor). The suite's builder drops repeats and self-loops, so VELTRIX's graphs are simplified
too (``CSRGraph.from_edges(simplify=True)``, and a Graph with the same lists); the build times of
both are compared as well. ``--graphs none`` runs only that.
``--busy`` keeps a process spinning on one core and times every cell quiet and busy in turn
(the spinner is stopped in between), then reports how much each side slows down.
"""

from __future__ import annotations

import argparse
import importlib
import os
import platform
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import warnings
from collections.abc import Callable
from dataclasses import dataclass, field
from datetime import UTC, datetime
from functools import cached_property
from pathlib import Path
from typing import Any

import numpy as np

import veltrix as vx
from veltrix.generators import grid_edges, integer_weights, rmat_edges, uniform_edges

warnings.filterwarnings("ignore")

REPEATS = 5
SUITE_WARM_SECONDS = 0.2
SLOW_SECONDS = 2.0
VERY_SLOW_SECONDS = 8.0
NETWORKX_MAX_VERTICES = 1 << 14
UNREACHED = -1
KERNELS = ["components", "pagerank", "pagerank_scatter", "bfs", "reachability", "sssp", "triangles"]


# ---------------------------------------------------------------------------------------------
# Graphs


@dataclass
class GraphCase:
    key: str
    label: str
    vertices: int
    make: Callable[[], tuple[np.ndarray, np.ndarray]]
    small: bool
    order: str = "generated"  # or "sorted", "shuffled": see reorder()


def _grid(side: int) -> Callable[[], tuple[np.ndarray, np.ndarray]]:
    return lambda: grid_edges(side, side)


def _orders(case: GraphCase) -> list[GraphCase]:
    """The case as generated, then with its edges sorted and shuffled (keys ``-sorted``, ``-shuffled``)."""
    return [case] + [
        GraphCase(
            f"{case.key}-{order}",
            f"{case.label}, {order}",
            case.vertices,
            case.make,
            case.small,
            order,
        )
        for order in ("sorted", "shuffled")
    ]


GRAPHS = {
    case.key: case
    for case in [
        GraphCase("rmat10", "R-MAT 2^10", 1 << 10, lambda: rmat_edges(10), True),
        *_orders(GraphCase("rmat14", "R-MAT 2^14", 1 << 14, lambda: rmat_edges(14), True)),
        GraphCase("rmat18", "R-MAT 2^18", 1 << 18, lambda: rmat_edges(18), False),
        GraphCase("uniform18", "uniform 2^18", 1 << 18, lambda: uniform_edges(18), False),
        *_orders(GraphCase("grid12", "grid 64x64", 1 << 12, _grid(64), True)),
        *_orders(GraphCase("grid16", "grid 256x256", 1 << 16, _grid(256), True)),
        *_orders(GraphCase("grid20", "grid 1024x1024", 1 << 20, _grid(1024), False)),
    ]
}


def reorder(
    order: str, src: np.ndarray, dst: np.ndarray, weights: np.ndarray
) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """The same edges (each keeping its weight) in another order, and so other neighbour orders.

    ``sorted``: by lower endpoint, then higher, so every vertex's list comes out ascending.
    ``shuffled``: a seeded random permutation, so every list comes out in random order.
    """
    if order == "generated":
        return src, dst, weights
    if order == "sorted":
        permutation = np.lexsort((np.maximum(src, dst), np.minimum(src, dst)))
    elif order == "shuffled":
        permutation = np.random.default_rng(2).permutation(len(src))
    else:
        raise ValueError(f"unknown edge order {order!r}")
    return src[permutation], dst[permutation], weights[permutation]


@dataclass
class Edges:
    """One generated graph and the derived edge sets some libraries need."""

    n: int
    src: np.ndarray
    dst: np.ndarray
    weights: np.ndarray

    @cached_property
    def lightest(self) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
        """Each group of parallel edges reduced to its lightest member; self-loops dropped."""
        low, high = np.minimum(self.src, self.dst), np.maximum(self.src, self.dst)
        keep = low != high
        low, high, w = low[keep], high[keep], self.weights[keep]
        order = np.lexsort((w, high, low))
        low, high, w = low[order], high[order], w[order]
        first = np.ones(len(low), dtype=bool)
        first[1:] = (low[1:] != low[:-1]) | (high[1:] != high[:-1])
        return low[first], high[first], w[first]

    @property
    def simple(self) -> tuple[np.ndarray, np.ndarray]:
        low, high, _ = self.lightest
        return low, high


def _pairs(*columns: np.ndarray) -> list[tuple]:
    return list(zip(*(column.tolist() for column in columns)))


# ---------------------------------------------------------------------------------------------
# Results in one comparable form (not timed)


def _labels_to_partition(labels: Any) -> np.ndarray:
    """Any labelling -> the smallest vertex of each vertex's component (VELTRIX's form)."""
    labels = np.asarray(labels)
    _, dense = np.unique(labels, return_inverse=True)
    smallest = np.full(dense.max() + 1 if len(dense) else 0, len(dense), dtype=np.int64)
    np.minimum.at(smallest, dense, np.arange(len(dense)))
    return smallest[dense]


def _sets_to_partition(sets: list, n: int) -> np.ndarray:
    labels = np.empty(n, dtype=np.int64)
    for component in sets:
        members = np.fromiter(component, dtype=np.int64)
        labels[members] = members.min()
    return labels


def _hops(values: Any, n: int) -> np.ndarray:
    """Distances with any 'unreached' marker (inf, max float, missing key) -> ints, -1 unreached."""
    if isinstance(values, dict):
        hops = np.full(n, UNREACHED, dtype=np.int64)
        hops[list(values.keys())] = list(values.values())
        return hops
    values = np.asarray(values, dtype=np.float64)
    hops = np.full(n, UNREACHED, dtype=np.int64)
    reached = (values < 1e300) & (values >= 0)
    hops[reached] = values[reached].astype(np.int64)
    return hops


def _distances(values: Any, n: int, source: int = 0) -> np.ndarray:
    if isinstance(values, dict):
        out = np.full(n, np.inf)
        out[list(values.keys())] = list(values.values())
        out[source] = 0.0
        return out
    out = np.asarray(values, dtype=np.float64).copy()
    out[out >= 1e18] = np.inf
    return out


def _reached(values: Any, n: int) -> np.ndarray:
    out = np.zeros(n, dtype=bool)
    out[np.fromiter(values, dtype=np.int64)] = True
    return out


def _scores(values: Any, n: int) -> np.ndarray:
    if isinstance(values, dict):
        out = np.zeros(n)
        out[list(values.keys())] = list(values.values())
        return out
    return np.asarray(values, dtype=np.float64)


@dataclass
class Call:
    """One timed way to compute a kernel, and how to read its result for the cross-check."""

    run: Callable[[], Any]
    normalise: Callable[[Any], Any]
    ranked: bool = True
    prepare: Callable[[], None] | None = None  # untimed, before every run


# ---------------------------------------------------------------------------------------------
# Peers: each builds its graphs once and returns {kernel: Call}


def igraph_calls(edges: Edges) -> dict[str, Call]:
    import igraph as ig

    n = edges.n
    multi = ig.Graph(n=n, edges=np.column_stack([edges.src, edges.dst]))
    multi.es["weight"] = edges.weights.tolist()
    simple = multi.copy()
    simple.simplify()

    # igraph caches whether a graph is connected and then answers component queries without a
    # search, so every timed components call gets a graph that has never been asked.
    unasked = [multi]

    def fresh_graph() -> None:
        unasked[0] = ig.Graph(n=n, edges=np.column_stack([edges.src, edges.dst]))

    def triangles() -> int:
        local = np.asarray(simple.transitivity_local_undirected(mode="zero"))
        degree = np.asarray(simple.degree(), dtype=np.float64)
        return int(np.rint(local * degree * (degree - 1) / 2).sum()) // 3

    return {
        "components": Call(
            lambda: unasked[0].connected_components().membership,
            _labels_to_partition,
            prepare=fresh_graph,
        ),
        "pagerank": Call(
            lambda: multi.pagerank(damping=0.85), lambda r: _scores(r, n), ranked=False
        ),
        "bfs": Call(lambda: multi.distances(source=0)[0], lambda r: _hops(r, n)),
        "reachability": Call(lambda: multi.subcomponent(0), lambda r: _reached(r, n)),
        "sssp": Call(
            lambda: multi.distances(source=0, weights="weight")[0], lambda r: _distances(r, n)
        ),
        "triangles": Call(triangles, int),
    }


def networkit_calls(edges: Edges) -> dict[str, Call]:
    import networkit as nk

    nk.setNumberOfThreads(len(os.sched_getaffinity(0)))
    n = edges.n
    src, dst = edges.src.astype(np.uint64), edges.dst.astype(np.uint64)
    multi = nk.GraphFromCoo(
        (edges.weights, (src, dst)), n=n, weighted=True
    )  # unweighted kernels ignore weights
    simple = nk.graphtools.toUnweighted(multi)
    simple.removeMultiEdges()
    simple.removeSelfLoops()
    simple.indexEdges()
    # Its sink rule applies to directed graphs only, and an undirected self-loop counts once in
    # its degree: a directed copy with every self-loop doubled matches VELTRIX on both counts.
    both_ways = nk.Graph(nk.graphtools.toUnweighted(multi), False, True)
    loops = src[src == dst]
    both_ways.addEdges((loops, loops))

    def pagerank() -> list[float]:
        rank = nk.centrality.PageRank(
            both_ways,
            damp=0.85,
            tol=0.0,
            distributeSinks=nk.centrality.SinkHandling.DistributeSinks,
        )
        rank.maxIterations = 20
        rank.run()
        return rank.scores()

    def components() -> list[int]:
        cc = nk.components.ConnectedComponents(multi)
        cc.run()
        return cc.getPartition().getVector()

    def bfs() -> list[float]:
        return nk.distance.BFS(multi, 0, storePaths=False).run().getDistances()

    def triangles() -> int:
        score = nk.sparsification.TriangleEdgeScore(simple)
        score.run()
        return int(sum(score.scores())) // 3

    return {
        "components": Call(components, _labels_to_partition),
        "pagerank": Call(pagerank, lambda r: _scores(r, n)),
        "bfs": Call(bfs, lambda r: _hops(r, n)),
        "reachability": Call(bfs, lambda r: _hops(r, n) != UNREACHED),
        "sssp": Call(
            lambda: nk.distance.Dijkstra(multi, 0, storePaths=False).run().getDistances(),
            lambda r: _distances(np.where(np.asarray(r) > 1e300, np.inf, r), n),
        ),
        "triangles": Call(triangles, int),
    }


def scipy_calls(edges: Edges) -> dict[str, Call]:
    from scipy.sparse import csgraph, csr_matrix

    n = edges.n
    rows = np.concatenate([edges.src, edges.dst])
    columns = np.concatenate([edges.dst, edges.src])
    # Duplicates add up: entry (u, v) counts the parallel edges, as VELTRIX's lists do.
    counts = csr_matrix((np.ones(len(rows)), (rows, columns)), shape=(n, n))
    low, high, w = edges.lightest
    lightest = csr_matrix(
        (np.concatenate([w, w]), (np.concatenate([low, high]), np.concatenate([high, low]))),
        shape=(n, n),
    )

    def pagerank(iterations: int = 20, damping: float = 0.85) -> list[float]:
        degree = np.asarray(counts.sum(axis=1)).ravel()
        dangling = degree == 0
        inverse = np.divide(1.0, degree, out=np.zeros(n), where=~dangling)
        gather = counts.T
        scores = np.full(n, 1.0 / n)
        for _ in range(iterations):
            spread = scores[dangling].sum() / n
            scores = damping * (spread + gather @ (scores * inverse)) + (1.0 - damping) / n
        return scores.tolist()

    return {
        "components": Call(
            lambda: csgraph.connected_components(counts, directed=False)[1].tolist(),
            _labels_to_partition,
        ),
        "pagerank": Call(pagerank, lambda r: _scores(r, n)),
        "bfs": Call(
            lambda: csgraph.shortest_path(counts, method="D", unweighted=True, indices=0).tolist(),
            lambda r: _hops(r, n),
        ),
        "reachability": Call(
            lambda: csgraph.breadth_first_order(
                counts, 0, directed=False, return_predecessors=False
            ).tolist(),
            lambda r: _reached(r, n),
        ),
        "sssp": Call(
            lambda: csgraph.dijkstra(lightest, directed=False, indices=0).tolist(),
            lambda r: _distances(r, n),
        ),
    }


def rustworkx_calls(edges: Edges) -> dict[str, Call]:
    import rustworkx as rx

    n = edges.n
    graph = rx.PyGraph(multigraph=True)
    graph.add_nodes_from(range(n))
    graph.extend_from_weighted_edge_list(_pairs(edges.src, edges.dst, edges.weights))
    # Its PageRank takes directed graphs and sees parallel edges through their weights: one
    # weighted arc per direction, weighing as many edges as it stands for. Its tolerance bounds
    # the summed change times n, so the default stops far from the answer on large graphs.
    arcs, multiplicity = np.unique(
        np.concatenate([edges.src * n + edges.dst, edges.dst * n + edges.src]), return_counts=True
    )
    both_ways = rx.PyDiGraph()
    both_ways.add_nodes_from(range(n))
    both_ways.extend_from_weighted_edge_list(
        _pairs(arcs // n, arcs % n, multiplicity.astype(np.float64))
    )

    def bfs() -> list[int]:
        hops = np.full(n, UNREACHED, dtype=np.int64)
        for level, layer in enumerate(rx.bfs_layers(graph, [0])):
            hops[layer] = level
        return hops.tolist()

    return {
        "components": Call(
            lambda: rx.connected_components(graph), lambda r: _sets_to_partition(r, n)
        ),
        "pagerank": Call(
            lambda: dict(rx.pagerank(both_ways, alpha=0.85, weight_fn=float, tol=1e-8)),
            lambda r: _scores(r, n),
            ranked=False,
        ),
        "bfs": Call(bfs, lambda r: np.asarray(r)),
        "reachability": Call(
            lambda: rx.node_connected_component(graph, 0), lambda r: _reached(r, n)
        ),
        "sssp": Call(
            lambda: dict(rx.graph_dijkstra_shortest_path_lengths(graph, 0, edge_cost_fn=float)),
            lambda r: _distances(r, n),
        ),
    }


def networkx_calls(edges: Edges) -> dict[str, Call]:
    import networkx as nx

    n = edges.n
    if n > NETWORKX_MAX_VERTICES:
        return {}
    multi = nx.MultiGraph()
    multi.add_nodes_from(range(n))
    multi.add_edges_from(_pairs(edges.src, edges.dst))
    simple = nx.Graph()
    simple.add_nodes_from(range(n))
    simple.add_weighted_edges_from(_pairs(*edges.lightest))

    return {
        "components": Call(
            lambda: list(nx.connected_components(simple)), lambda r: _sets_to_partition(r, n)
        ),
        "pagerank": Call(
            lambda: nx.pagerank(multi, alpha=0.85), lambda r: _scores(r, n), ranked=False
        ),
        "bfs": Call(
            lambda: nx.single_source_shortest_path_length(simple, 0), lambda r: _hops(r, n)
        ),
        "reachability": Call(
            lambda: nx.node_connected_component(simple, 0), lambda r: _reached(r, n)
        ),
        "sssp": Call(
            lambda: nx.single_source_dijkstra_path_length(simple, 0), lambda r: _distances(r, n)
        ),
        "triangles": Call(lambda: sum(nx.triangles(simple).values()) // 3, int),
    }


PEER_CALLS = {
    "igraph": ("igraph", igraph_calls),
    "networkit": ("networkit", networkit_calls),
    "scipy": ("scipy.sparse.csgraph", scipy_calls),
    "rustworkx": ("rustworkx", rustworkx_calls),
    "networkx": ("networkx", networkx_calls),
}


def installed_peers() -> list[str]:
    found = []
    for name, (module, _) in PEER_CALLS.items():
        try:
            importlib.import_module(module)
            found.append(name)
        except ImportError:
            pass
    return found


def peer_version(name: str) -> str:
    module = importlib.import_module(PEER_CALLS[name][0].split(".")[0])
    return getattr(module, "__version__", "?")


# ---------------------------------------------------------------------------------------------
# VELTRIX


def veltrix_graph(
    n: int, src: np.ndarray, dst: np.ndarray, weights: np.ndarray | None = None
) -> Any:
    """The graph through the package's array path where it has one, else through edge tuples."""
    from_edges = getattr(vx, "from_edges", None)
    if from_edges is not None:
        return from_edges(src, dst, n, weights=weights)
    if weights is None:
        return vx.Graph(n, _pairs(src, dst))
    graph = vx.WeightedGraph(n)
    graph.add_edges(_pairs(src, dst, weights))
    return graph


def veltrix_graphs(edges: Edges) -> tuple[Any, Any, Any]:
    """The graph, the same edges with weights, and the simple graph the triangle count reads."""
    return (
        veltrix_graph(edges.n, edges.src, edges.dst),
        veltrix_graph(edges.n, edges.src, edges.dst, edges.weights),
        veltrix_graph(edges.n, *edges.simple),
    )


def veltrix_calls(graphs: tuple[Any, Any, Any], n: int, threads: int) -> dict[str, Call]:
    graph, weighted, simple = graphs

    def same(r: Any) -> Any:
        return r

    return {
        "components": Call(
            lambda: vx.parallel_connected_components(graph, threads=threads), _labels_to_partition
        ),
        "pagerank": Call(lambda: vx.parallel_pagerank(graph, threads=threads), np.asarray),
        "pagerank_scatter": Call(
            lambda: vx.parallel_pagerank_bfs(graph, threads=threads), np.asarray
        ),
        "bfs": Call(lambda: vx.parallel_bfs(graph, 0, threads=threads), np.asarray),
        "reachability": Call(lambda: vx.parallel_dfs(graph, 0, threads=threads), np.asarray),
        "sssp": Call(
            lambda: vx.parallel_dijkstra(weighted, 0, threads=threads), lambda r: _distances(r, n)
        ),
        "triangles": Call(lambda: vx.triangle_count_parallel(simple, threads=threads), same),
    }


ARRAY_THREADS = 2
BUILD_REPEATS = 3


def median_seconds(run: Callable[[], Any], repeats: int = BUILD_REPEATS) -> tuple[float, Any]:
    """Median time of `repeats` calls, and the last call's result."""
    times, result = [], None
    for _ in range(repeats):
        result = None  # the previous graph is freed before the next is built
        start = time.perf_counter()
        result = run()
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


@dataclass
class Builds:
    """Median build times, in seconds, of one graph's VELTRIX forms."""

    graph: float  # veltrix.from_edges -> Graph (neighbour lists)
    csr: float  # CSRGraph.from_edges
    csr_weighted: float
    csr_simple: float  # simplify=True, the form the triangle count reads


def csr_graphs(edges: Edges, threads: int = ARRAY_THREADS) -> tuple[tuple[Any, Any, Any], Builds]:
    """The three graphs of `veltrix_graphs` as CSRGraphs built from the raw edge arrays, and the
    build times; the simple graph is built by the builder's own simplify, not from `edges.simple`."""
    build = vx.CSRGraph.from_edges
    n, src, dst = edges.n, edges.src, edges.dst
    graph_time, _ = median_seconds(lambda: vx.from_edges(src, dst, n))
    plain_time, plain = median_seconds(lambda: build(src, dst, n, threads=threads))
    weighted_time, weighted = median_seconds(
        lambda: build(src, dst, n, weights=edges.weights, threads=threads)
    )
    simple_time, simple = median_seconds(lambda: build(src, dst, n, simplify=True, threads=threads))
    return (plain, weighted, simple), Builds(graph_time, plain_time, weighted_time, simple_time)


def array_calls(
    graphs: tuple[Any, Any, Any], n: int, threads: int = ARRAY_THREADS
) -> dict[str, Call]:
    """The array functions (numpy results, interpreter lock released) on a Graph or CSRGraph triple."""
    graph, weighted, simple = graphs
    return {
        "components": Call(
            lambda: vx.connected_components(graph, threads=threads), _labels_to_partition
        ),
        "pagerank": Call(lambda: vx.pagerank(graph, threads=threads), np.asarray),
        "pagerank_scatter": Call(lambda: vx.pagerank_scatter(graph, threads=threads), np.asarray),
        "bfs": Call(lambda: vx.hop_distances(graph, 0, threads=threads), np.asarray),
        "reachability": Call(lambda: vx.reachable(graph, 0, threads=threads), np.asarray),
        "sssp": Call(
            lambda: vx.shortest_distances(weighted, 0, threads=threads), lambda r: _distances(r, n)
        ),
        "triangles": Call(lambda: vx.triangle_count(simple, threads=threads), int),
    }


def agrees(kernel: str, expected: Any, got: Any, ranked: bool) -> tuple[bool, str]:
    """Whether a peer's normalised result matches VELTRIX's, and a short reason when not."""
    if kernel in ("pagerank", "pagerank_scatter"):
        expected, got = np.asarray(expected), np.asarray(got)
        if ranked:
            worst = float(np.max(np.abs(expected - got) / np.maximum(expected, 1e-300)))
            return worst <= 1e-9, f"largest relative difference {worst:.2e}"
        distance = float(np.abs(expected - got).sum())
        return distance <= 0.05, f"L1 distance {distance:.3g} (tolerance-based peer)"
    if kernel == "triangles":
        return expected == got, f"{got} triangles, VELTRIX {expected}"
    expected, got = np.asarray(expected), np.asarray(got)
    if expected.shape != got.shape:
        return False, f"shape {got.shape}, VELTRIX {expected.shape}"
    differ = np.flatnonzero(expected != got)
    if len(differ) == 0:
        return True, ""
    v = int(differ[0])
    return False, f"{len(differ)} vertices differ, first {v}: {got[v]} vs VELTRIX {expected[v]}"


# ---------------------------------------------------------------------------------------------
# Timing


class Spinner:
    """A busy process pinned to one core, stopped while quiet timings run."""

    def __init__(self) -> None:
        cores = sorted(os.sched_getaffinity(0))
        self.process = subprocess.Popen([sys.executable, "-c", "while True: pass"])
        os.sched_setaffinity(self.process.pid, {cores[-1]})
        self.core = cores[-1]
        self.quiet()

    def quiet(self) -> None:
        self.process.send_signal(signal.SIGSTOP)

    def busy(self) -> None:
        self.process.send_signal(signal.SIGCONT)
        time.sleep(0.02)

    def close(self) -> None:
        self.process.send_signal(signal.SIGCONT)
        self.process.terminate()
        self.process.wait()


def _once(call: Call) -> tuple[float, Any]:
    if call.prepare is not None:
        call.prepare()
    start = time.perf_counter()
    result = call.run()
    return time.perf_counter() - start, result


@dataclass
class Timing:
    times: dict[str, list[float]] = field(default_factory=dict)

    def median(self, state: str = "quiet") -> float:
        return statistics.median(self.times[state])

    @property
    def repeats(self) -> int:
        return len(self.times["quiet"])


def time_cell(
    calls: dict[str, Call], spinner: Spinner | None, warm_seconds: float = 0.0
) -> tuple[dict[str, Timing], dict[str, Any]]:
    """Median times of every variant of one cell, interleaved; also each variant's first result.

    Each variant is first called untimed, again until `warm_seconds` have passed.
    """
    states = ["quiet", "busy"] if spinner else ["quiet"]
    timings = {name: Timing({state: [] for state in states}) for name in calls}
    results: dict[str, Any] = {}
    wanted: dict[str, int] = {}
    for name, call in calls.items():
        warm_until = time.perf_counter() + warm_seconds
        seconds, results[name] = _once(call)  # warms caches and lazy set-up; kept only when slow
        while time.perf_counter() < warm_until:
            _once(call)
        wanted[name] = (
            1 if seconds > VERY_SLOW_SECONDS else 3 if seconds > SLOW_SECONDS else REPEATS
        )
        if seconds > SLOW_SECONDS:
            timings[name].times["quiet"].append(seconds)
    for _ in range(REPEATS):
        for state in states:
            if spinner:
                spinner.busy() if state == "busy" else spinner.quiet()
            for name, call in calls.items():
                if len(timings[name].times[state]) < wanted[name]:
                    timings[name].times[state].append(_once(call)[0])
    if spinner:
        spinner.quiet()
    return timings, results


# ---------------------------------------------------------------------------------------------
# The reference suite


GAP_KERNELS = [
    ("bfs", "bfs", ["-r", "0", "-n", "5"], False),
    ("components", "cc", ["-n", "5"], False),
    ("pagerank", "pr", ["-i", "20", "-t", "0", "-n", "5"], False),
    ("sssp", "sssp", ["-r", "0", "-d", "2", "-n", "5"], True),
    ("triangles", "tc", ["-n", "3", "-a"], False),
]
SUITE_KERNELS = [kernel for kernel, *_ in GAP_KERNELS]
GAP_ENV = dict(os.environ, OMP_NUM_THREADS="2")
EDGE_LIST_CHUNK = 1 << 22


def suite_output(gap: Path, program: str, *args: str) -> str:
    """What one of the suite's programs prints, run with 2 OpenMP threads."""
    return subprocess.run(
        [str(gap / program), *args], env=GAP_ENV, check=True, capture_output=True, text=True
    ).stdout


def suite_seconds(out: str, what: str) -> float:
    """A time the suite printed, such as "Build Time" or "Trial Time" (the first)."""
    return float(re.search(rf"{what}:\s+([0-9.]+)", out).group(1))


def write_edge_list(path: Path, *columns: np.ndarray) -> None:
    """Whitespace-separated integer columns, one row per edge, each field right-aligned.

    The suite's reader skips any whitespace, so fixed-width fields let numpy print the digits of
    tens of millions of edges in seconds instead of formatting them one by one.
    """
    widths = [len(str(int(column.max()))) if len(column) else 1 for column in columns]
    with path.open("wb") as out:
        for begin in range(0, len(columns[0]), EDGE_LIST_CHUNK):
            fields = []
            for number, (column, width) in enumerate(zip(columns, widths)):
                values = column[begin : begin + EDGE_LIST_CHUNK].astype(
                    np.uint32
                )  # vertex ids and weights fit
                digits = np.empty((len(values), width + 1), dtype=np.uint8)
                rest = values.copy()
                for place in range(width - 1, -1, -1):
                    digits[:, place] = rest % 10
                    rest //= 10
                digits[:, :width] += 48
                for place in range(width - 1):  # leading zeros become spaces
                    digits[values < 10 ** (width - 1 - place), place] = 32
                digits[:, width] = 10 if number == len(columns) - 1 else 32
                fields.append(digits)
            np.hstack(fields).tofile(out)


@dataclass
class SuiteGraph:
    """The suite's serialised graphs of one edge set, what its builder reported, and its edge count."""

    plain: Path
    weighted: Path
    build_seconds: float
    weighted_build_seconds: float
    edges: int  # undirected edges after its builder dropped repeats and self-loops


def gap_files(
    gap: Path, name: str, src: np.ndarray, dst: np.ndarray, weights: np.ndarray, workdir: Path
) -> SuiteGraph:
    """The graph in the suite's own serialised form, converted from our edge list by its converter
    (symmetrised, repeats and self-loops dropped, the lightest of parallel weights kept)."""
    plain, weighted = workdir / f"{name}.sg", workdir / f"{name}.wsg"
    times = []
    for text, target, columns, flag in [
        (f"{name}.el", plain, (src, dst), "-b"),
        (f"{name}.wel", weighted, (src, dst, weights), "-wb"),
    ]:
        write_edge_list(workdir / text, *columns)
        out = suite_output(gap, "converter", "-s", "-f", str(workdir / text), flag, str(target))
        (workdir / text).unlink()
        times.append(suite_seconds(out, "Build Time"))
    stats = suite_output(gap, "bfs", "-f", str(plain), "-n", "0")
    edges = int(re.search(r"Graph has \d+ nodes and (\d+) undirected edges", stats).group(1))
    return SuiteGraph(plain, weighted, times[0], times[1], edges)


def run_gap(
    gap: Path, graph: SuiteGraph, kernels: list[str], trials: int | None = None
) -> tuple[dict[str, list[float]], int | None]:
    """Every trial time of each of the suite's kernels (2 OpenMP threads), and its triangle count;
    `trials` replaces each kernel's own number of trials."""
    times, triangles = {}, None
    for kernel, binary, args, needs_weights in GAP_KERNELS:
        if kernel not in kernels:
            continue
        if trials is not None:
            args = [*args[: args.index("-n") + 1], str(trials), *args[args.index("-n") + 2 :]]
        out = suite_output(
            gap, binary, "-f", str(graph.weighted if needs_weights else graph.plain), *args
        )
        times[kernel] = [float(t) for t in re.findall(r"Trial Time:\s+([0-9.]+)", out)]
        if kernel == "triangles":
            triangles = int(re.findall(r"^(\d+) triangles", out, re.MULTILINE)[-1])
    return times, triangles


SUITE_APIS = {
    "list": "list API on a Graph",
    "graph": "arrays on a Graph",
    "csr": "arrays on a CSRGraph",
}


@dataclass
class SuiteRun:
    """VELTRIX's three APIs and the suite on one simplified R-MAT graph."""

    scale: int
    edges: int
    load: float  # load average before the run
    suite: SuiteGraph
    suite_before: dict[str, list[float]]
    suite_after: dict[str, list[float]]
    csr_simple: float  # CSRGraph.from_edges(simplify=True), unweighted and weighted
    csr_simple_weighted: float
    csr_plain: float  # simplify=False: no repeats dropped, as the suite's timed build
    ours: dict[str, dict[str, Timing]]  # kernel -> api -> timing

    def suite_median(self, kernel: str) -> float:
        return statistics.median(self.suite_before[kernel] + self.suite_after[kernel])


def bench_suite(
    gap: Path, scale: int, kernels: list[str], workdir: Path, mismatches: list[str]
) -> SuiteRun:
    """The suite's kernels on the same R-MAT edges as VELTRIX's, both simplified.

    VELTRIX's graphs are CSRGraph.from_edges(simplify=True) and a Graph with the same lists (read
    back from the CSRGraph, so both hold the sorted simple lists the suite's builder makes). Each
    kernel runs in the suite just before and just after VELTRIX runs it, so that a machine whose
    speed drifts during the run moves both sides of a ratio alike.
    """
    load = os.getloadavg()[0]
    label = f"R-MAT 2^{scale}, simplified"
    src, dst = rmat_edges(scale)
    n, count, weights = 1 << scale, len(src), integer_weights(len(src))
    print(f"\n{label}: {n} vertices, {len(src)} edges; load average {load:.2f}", flush=True)
    suite = gap_files(gap, f"rmat{scale}", src, dst, weights, workdir)
    build = vx.CSRGraph.from_edges
    csr_plain, _ = median_seconds(lambda: build(src, dst, n, threads=ARRAY_THREADS))
    csr_simple, csr = median_seconds(
        lambda: build(src, dst, n, simplify=True, threads=ARRAY_THREADS)
    )
    csr_weighted, csr_w = median_seconds(
        lambda: build(src, dst, n, weights=weights, simplify=True, threads=ARRAY_THREADS)
    )
    del src, dst, weights
    if csr.num_arcs != 2 * suite.edges:
        mismatches.append(
            f"{label}: CSRGraph has {csr.num_arcs // 2} edges, the suite's graph {suite.edges}"
        )
    # The Graph gets each simple edge once, in (lower, higher) order: its lists come out sorted too.
    sources = np.repeat(np.arange(n, dtype=np.int32), np.diff(csr.offsets))
    once = sources < csr.targets
    graph = vx.from_edges(sources[once], csr.targets[once], n)
    weighted_sources = np.repeat(np.arange(n, dtype=np.int32), np.diff(csr_w.offsets))
    once = weighted_sources < csr_w.targets
    weighted = vx.from_edges(
        weighted_sources[once], csr_w.targets[once], n, weights=csr_w.weights[once]
    )
    del sources, weighted_sources, once
    triple = {
        "list": (graph, weighted, graph),
        "graph": (graph, weighted, graph),
        "csr": (csr, csr_w, csr),
    }
    calls = {
        "list": veltrix_calls(triple["list"], n, -1),
        "graph": array_calls(triple["graph"], n),
        "csr": array_calls(triple["csr"], n),
    }
    ours: dict[str, dict[str, Timing]] = {}
    before: dict[str, list[float]] = {}
    after: dict[str, list[float]] = {}
    for kernel in kernels:
        times, suite_triangles = run_gap(gap, suite, [kernel])
        before.update(times)
        # Each API's calls back to back, as the suite runs its trials: calls of the three
        # interleaved would leave each to start on caches the one before filled with its own graph.
        cell = {api: calls[api][kernel] for api in SUITE_APIS}
        timings, results = {}, {}
        for api, call in cell.items():
            timed, first = time_cell({api: call}, None, SUITE_WARM_SECONDS)
            timings[api], results[api] = timed[api], first[api]
        ours[kernel] = timings
        expected = cell["list"].normalise(results["list"])
        for api in ("graph", "csr"):
            ok, why = agrees(kernel, expected, cell[api].normalise(results[api]), True)
            if not ok:
                mismatches.append(
                    f"{label} {kernel}: {SUITE_APIS[api]} differs from the list API: {why}"
                )
        if kernel == "triangles" and suite_triangles is not None and expected != suite_triangles:
            mismatches.append(f"{label} triangles: VELTRIX {expected}, the suite {suite_triangles}")
        after.update(run_gap(gap, suite, [kernel])[0])
        suite_ms = statistics.median(before[kernel] + after[kernel])
        print(
            f"  {kernel:<11} suite {fmt_ms(suite_ms)} ms; "
            + ", ".join(
                f"{api} {fmt_ms(timings[api].median())} ({timings[api].median() / suite_ms:.2f})"
                for api in SUITE_APIS
            ),
            flush=True,
        )
    del graph, weighted, csr, csr_w, triple, calls
    for path in (suite.plain, suite.weighted):
        path.unlink()
    return SuiteRun(
        scale, count, load, suite, before, after, csr_simple, csr_weighted, csr_plain, ours
    )


# ---------------------------------------------------------------------------------------------
# Report


def fmt_ms(seconds: float | None, repeats: int = REPEATS) -> str:
    if seconds is None:
        return "-"
    ms = 1000 * seconds
    text = f"{ms:.2f}" if ms < 10 else f"{ms:.1f}" if ms < 1000 else f"{ms:.0f}"
    return text + (f" [{repeats}]" if repeats < REPEATS else "")


@dataclass
class Row:
    graph: str
    kernel: str
    one: Timing
    many: Timing
    peers: dict[str, tuple[Timing, bool, bool]]  # name -> (timing, ranked, agrees)
    arrays: Timing  # the array functions on a CSRGraph

    def fastest(self, state: str = "quiet") -> tuple[str, float] | None:
        ranked = [
            (t.median(state), name) for name, (t, is_ranked, _) in self.peers.items() if is_ranked
        ]
        if not ranked:
            return None
        seconds, name = min(ranked)
        return name, seconds


def _ratio(seconds: float, best: float) -> str:
    return f"**{seconds / best:.2f}**" if seconds > best else f"{seconds / best:.2f}"


def table(rows: list[Row], peers: list[str], threads: int) -> list[str]:
    head = [
        "graph",
        "kernel",
        "VELTRIX 1 thread",
        f"VELTRIX {threads} threads",
        "speed-up",
        *peers,
        "fastest peer",
        "ratio",
        f"arrays, CSRGraph, {ARRAY_THREADS} threads",
        "arrays ratio",
    ]
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for row in rows:
        cells = [
            row.graph,
            row.kernel,
            fmt_ms(row.one.median(), row.one.repeats),
            fmt_ms(row.many.median(), row.many.repeats),
            f"{row.one.median() / row.many.median():.2f}",
        ]
        for peer in peers:
            if peer not in row.peers:
                cells.append("-")
                continue
            timing, ranked, ok = row.peers[peer]
            text = fmt_ms(timing.median(), timing.repeats)
            cells.append((text if ranked else f"({text})") + ("" if ok else " !"))
        best = row.fastest()
        arrays = fmt_ms(row.arrays.median(), row.arrays.repeats)
        if best:
            name, seconds = best
            cells += [
                name,
                _ratio(row.many.median(), seconds),
                arrays,
                _ratio(row.arrays.median(), seconds),
            ]
        else:
            cells += ["-", "-", arrays, "-"]
        lines.append("| " + " | ".join(cells) + " |")
    return lines


def build_table(builds: dict[str, Builds]) -> list[str]:
    head = [
        "graph",
        "Graph (from_edges)",
        "CSRGraph.from_edges",
        "weighted",
        "simplify=True",
        "CSRGraph / Graph",
    ]
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for label, b in builds.items():
        cells = [
            label,
            fmt_ms(b.graph),
            fmt_ms(b.csr),
            fmt_ms(b.csr_weighted),
            fmt_ms(b.csr_simple),
            f"{b.csr / b.graph:.2f}",
        ]
        lines.append("| " + " | ".join(cells) + " |")
    return lines


def busy_table(rows: list[Row], threads: int) -> list[str]:
    head = [
        "graph",
        "kernel",
        f"VELTRIX {threads} thr. quiet",
        "busy",
        "slow-down",
        "VELTRIX 1 thr. slow-down",
        "fastest peer",
        "peer quiet",
        "busy",
        "slow-down",
    ]
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for row in rows:
        quiet, busy = row.many.median("quiet"), row.many.median("busy")
        cells = [
            row.graph,
            row.kernel,
            fmt_ms(quiet),
            fmt_ms(busy),
            f"{busy / quiet:.2f}",
            f"{row.one.median('busy') / row.one.median('quiet'):.2f}",
        ]
        best = row.fastest()
        if best:
            timing = row.peers[best[0]][0]
            cells += [
                best[0],
                fmt_ms(timing.median("quiet")),
                fmt_ms(timing.median("busy")),
                f"{timing.median('busy') / timing.median('quiet'):.2f}",
            ]
        else:
            cells += ["-"] * 4
        lines.append("| " + " | ".join(cells) + " |")
    return lines


def machine() -> str:
    cpu = "unknown CPU"
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return (
        f"{cpu}, {len(os.sched_getaffinity(0))} cores available, {platform.system()} {platform.release()}, "
        f"Python {platform.python_version()}, numpy {np.__version__}"
    )


# ---------------------------------------------------------------------------------------------


def bench_graph(
    case: GraphCase,
    kernels: list[str],
    peers: list[str],
    spinner: Spinner | None,
    mismatches: list[str],
    builds: dict[str, Builds],
) -> list[Row]:
    start = time.perf_counter()
    src, dst = case.make()
    src, dst, weights = reorder(case.order, src, dst, integer_weights(len(src)))
    edges = Edges(case.vertices, src, dst, weights)
    graphs = veltrix_graphs(edges)
    one, many = veltrix_calls(graphs, edges.n, 1), veltrix_calls(graphs, edges.n, -1)
    csr, builds[case.label] = csr_graphs(edges)
    arrays = array_calls(csr, edges.n)
    peer_calls = {name: PEER_CALLS[name][1](edges) for name in peers}
    print(
        f"\n{case.label}: {edges.n} vertices, {len(src)} edges (built in {time.perf_counter() - start:.1f} s; "
        f"CSRGraph.from_edges {fmt_ms(builds[case.label].csr)} ms)",
        flush=True,
    )
    rows = []
    for kernel in kernels:
        peer_kernel = "pagerank" if kernel == "pagerank_scatter" else kernel
        calls = {"veltrix-1": one[kernel], "veltrix": many[kernel], "veltrix-csr": arrays[kernel]}
        # The scattering variant meets only the peers it is ranked against.
        calls |= {
            name: c[peer_kernel]
            for name, c in peer_calls.items()
            if peer_kernel in c and (kernel == peer_kernel or c[peer_kernel].ranked)
        }
        timings, results = time_cell(calls, spinner)
        expected = many[kernel].normalise(results["veltrix"])
        same_threads, _ = agrees(
            kernel, expected, one[kernel].normalise(results["veltrix-1"]), True
        )
        if not same_threads:
            mismatches.append(f"{case.label} {kernel}: VELTRIX threads=1 and threads=-1 differ")
        same_api, why = agrees(
            kernel, expected, arrays[kernel].normalise(results["veltrix-csr"]), True
        )
        if not same_api:
            message = f"{case.label} {kernel}: VELTRIX arrays on a CSRGraph differ from the list API: {why}"
            mismatches.append(message)
            print(f"  MISMATCH {message}", file=sys.stderr, flush=True)
        verdicts = {}
        for name in calls:
            if name.startswith("veltrix"):
                continue
            call = calls[name]
            ok, why = agrees(kernel, expected, call.normalise(results[name]), call.ranked)
            verdicts[name] = ok
            if not ok:
                message = f"{case.label} {kernel}: {name} disagrees with VELTRIX: {why}"
                mismatches.append(message)
                print(f"  MISMATCH {message}", file=sys.stderr, flush=True)
        row = Row(
            case.label,
            kernel,
            timings["veltrix-1"],
            timings["veltrix"],
            {
                name: (timings[name], calls[name].ranked, verdicts[name])
                for name in calls
                if not name.startswith("veltrix")
            },
            timings["veltrix-csr"],
        )
        best = row.fastest()
        summary = (
            (
                f"fastest {best[0]} {fmt_ms(best[1])}, ratio {row.many.median() / best[1]:.2f}, "
                f"arrays {row.arrays.median() / best[1]:.2f}"
            )
            if best
            else "no ranked peer"
        )
        print(
            f"  {kernel:<17} VELTRIX {fmt_ms(row.one.median())} / {fmt_ms(row.many.median())} ms, "
            f"arrays {fmt_ms(row.arrays.median())} ms; {summary}",
            flush=True,
        )
        rows.append(row)
    return rows


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument(
        "--quick", action="store_true", help="only the graphs of at most 2^16 vertices"
    )
    parser.add_argument("--graphs", help=f"comma-separated subset of {','.join(GRAPHS)}")
    parser.add_argument("--kernels", help=f"comma-separated subset of {','.join(KERNELS)}")
    parser.add_argument(
        "--gap", type=Path, metavar="PATH", help="directory of a build of the C++ reference suite"
    )
    parser.add_argument(
        "--scale",
        action="append",
        metavar="N",
        help="R-MAT scale(s) to run against the reference suite (repeatable or comma-separated; default 18)",
    )
    parser.add_argument(
        "--busy", action="store_true", help="also time every cell with a busy process on one core"
    )
    parser.add_argument("--markdown", type=Path, metavar="FILE", help="write the tables to FILE")
    args = parser.parse_args()

    graphs = (
        args.graphs.split(",")
        if args.graphs
        else [k for k, c in GRAPHS.items() if c.small or not args.quick]
    )
    graphs = [] if graphs == ["none"] else graphs
    scales = [int(n) for item in args.scale or ["18"] for n in item.split(",")] if args.gap else []
    if args.scale and not args.gap:
        parser.error("--scale needs --gap PATH")
    kernels = args.kernels.split(",") if args.kernels else KERNELS
    for name, known in [(g, GRAPHS) for g in graphs] + [(k, KERNELS) for k in kernels]:
        if name not in known:
            parser.error(f"unknown name {name!r}; choose from {', '.join(known)}")
    peers = installed_peers()
    threads = vx.get_thread_count(-1)
    started, cpu_started, load_before = time.perf_counter(), time.process_time(), os.getloadavg()[0]
    print(f"{machine()}\npeers: {', '.join(f'{p} {peer_version(p)}' for p in peers)}", flush=True)

    spinner = Spinner() if args.busy else None
    mismatches: list[str] = []
    rows: list[Row] = []
    builds: dict[str, Builds] = {}
    suite_runs: list[SuiteRun] = []

    def report() -> list[str]:
        elapsed, cpu = time.perf_counter() - started, time.process_time() - cpu_started
        lines = [
            f"Machine: {machine()}",
            "",
            (
                f"Date: {datetime.now(UTC):%Y-%m-%d %H:%M} UTC; VELTRIX with 1 and {threads} threads; "
                f"peers: {', '.join(f'{p} {peer_version(p)}' for p in peers)}; whole run {elapsed / 60:.1f} min "
                f"({cpu / 60:.1f} min of CPU); "
                f"load average {load_before:.1f} before, {os.getloadavg()[0]:.1f} after."
            ),
        ]
        if rows:
            lines += [
                "",
                (
                    "Milliseconds, median of 5 (`[n]`: median of n). `(...)`: stops on its own tolerance, not ranked. "
                    "`!`: result disagrees with VELTRIX. ratio = VELTRIX all threads / fastest ranked peer "
                    f"(bold: over 1); arrays ratio = the array functions on a CSRGraph ({ARRAY_THREADS} threads) "
                    "/ the same peer."
                ),
                "",
                *table(rows, peers, threads),
            ]
        if args.busy and rows:
            lines += [
                "",
                "Under load: a process spinning on one core, timed alternately with the quiet runs.",
                "",
                *busy_table(rows, threads),
            ]
        if builds:
            lines += [
                "",
                (
                    f"Building each graph from the edge arrays, milliseconds, median of {BUILD_REPEATS}: "
                    f"`veltrix.from_edges` (neighbour lists) and `CSRGraph.from_edges` with {ARRAY_THREADS} "
                    "threads, plain, weighted and with simplify=True."
                ),
                "",
                *build_table(builds),
            ]
        if suite_runs:
            lines += ["", *suite_report(suite_runs)]
        lines += ["", "Mismatches: " + ("; ".join(mismatches) if mismatches else "none")]
        if args.markdown:  # rewritten after every graph, so a run cut short still leaves its tables
            args.markdown.write_text("\n".join(lines) + "\n")
        return lines

    workdir = tempfile.TemporaryDirectory(prefix="veltrix-gap-")
    try:
        for key in graphs:
            rows += bench_graph(GRAPHS[key], kernels, peers, spinner, mismatches, builds)
            report()
        if spinner:
            spinner.close()
            spinner = None
        suite_kernels = [k for k in SUITE_KERNELS if k in kernels]
        for scale in scales:
            suite_runs.append(
                bench_suite(args.gap, scale, suite_kernels, Path(workdir.name), mismatches)
            )
            report()
    finally:
        if spinner:
            spinner.close()
        workdir.cleanup()
    print("\n" + "\n".join(report()))
    if mismatches:
        print(f"\n*** {len(mismatches)} MISMATCH(ES) ***", file=sys.stderr)
        sys.exit(1)


def suite_report(runs: list[SuiteRun]) -> list[str]:
    """Each R-MAT scale: the suite's kernels and builds beside VELTRIX's three ways to call them."""
    lines = [
        (
            "Reference suite (2 OpenMP threads) and VELTRIX on the same R-MAT edges, both simplified (repeats and "
            "self-loops dropped, the lightest parallel weight kept, lists sorted). Milliseconds; the suite's figure is "
            "the median of its trials, run just before and just after VELTRIX's calls of the same kernel; VELTRIX's the median of 5 calls (`[n]`: of n) after 0.2 s of untimed ones, "
            "with 2 threads, the list API including its conversion to Python lists. ratio = VELTRIX / the suite's median "
            "(below 1: VELTRIX faster)."
        ),
        "",
    ]
    head = ["graph", "kernel", "suite, before", "suite, after", "suite median"]
    for name in SUITE_APIS.values():
        head += [name, "ratio"]
    lines += ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for run in runs:
        for kernel, timings in run.ours.items():
            suite = run.suite_median(kernel)
            cells = [
                f"R-MAT 2^{run.scale}",
                kernel,
                fmt_ms(statistics.median(run.suite_before[kernel])),
                fmt_ms(statistics.median(run.suite_after[kernel])),
                fmt_ms(suite),
            ]
            for api in SUITE_APIS:
                cells += [
                    fmt_ms(timings[api].median(), timings[api].repeats),
                    _ratio(timings[api].median(), suite),
                ]
            lines.append("| " + " | ".join(cells) + " |")
    lines += [
        "",
        (
            "Building the graph from edges in memory: the suite's own `Build Time` (from its converter's output; it "
            "covers the symmetrised CSR without its later pass dropping repeats) against `CSRGraph.from_edges` "
            f"with {ARRAY_THREADS} threads, median of {BUILD_REPEATS}: with simplify=True (drops repeats and "
            "self-loops and sorts every list) and without."
        ),
        "",
    ]
    head = [
        "graph",
        "edges drawn",
        "edges kept",
        "load before",
        "suite build",
        "CSRGraph simplify=True",
        "ratio",
        "suite build, weighted",
        "CSRGraph simplify=True, weighted",
        "ratio",
        "CSRGraph plain",
        "ratio",
    ]
    lines += ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for run in runs:
        s = run.suite
        cells = [
            f"R-MAT 2^{run.scale}",
            str(run.edges),
            str(s.edges),
            f"{run.load:.2f}",
            fmt_ms(s.build_seconds),
            fmt_ms(run.csr_simple),
            _ratio(run.csr_simple, s.build_seconds),
            fmt_ms(s.weighted_build_seconds),
            fmt_ms(run.csr_simple_weighted),
            _ratio(run.csr_simple_weighted, s.weighted_build_seconds),
            fmt_ms(run.csr_plain),
            _ratio(run.csr_plain, s.build_seconds),
        ]
        lines.append("| " + " | ".join(cells) + " |")
    return lines


if __name__ == "__main__":
    main()
