"""Times every VELTRIX algorithm against the other graph libraries on the same generated graphs.

    python bench/peers.py [--quick] [--graphs rmat14,grid16] [--kernels bfs,sssp]
                          [--gap PATH] [--busy] [--markdown FILE]

Peers, each used where installed (``pip install .[bench]``): igraph, NetworKit, scipy.sparse.csgraph,
rustworkx, and networkx on graphs of at most 2**14 vertices. Every graph is undirected and built
once per library from the same edge arrays (repeats and self-loops kept); building is not timed.
Each timed call includes turning the result into plain Python objects (numpy arrays and native
vectors become lists), as VELTRIX returns lists. Every peer's result is checked against VELTRIX;
a disagreement is printed as MISMATCH and marked ``!`` in the table.

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

``--gap PATH`` times the C++ reference suite built in PATH (its bfs, cc, pr, sssp and tc binaries)
on the R-MAT 2**18 edges written as an edge list (the suite's reader removes repeats and
self-loops), with 2 OpenMP threads, before and after the VELTRIX R-MAT 2**18 cells.
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
from datetime import datetime, timezone
from functools import cached_property
from pathlib import Path
from typing import Any

import numpy as np

import veltrix as vx
from veltrix.generators import grid_edges, integer_weights, rmat_edges, uniform_edges

warnings.filterwarnings("ignore")

REPEATS = 5
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


def _grid(side: int) -> Callable[[], tuple[np.ndarray, np.ndarray]]:
    return lambda: grid_edges(side, side)


GRAPHS = {
    case.key: case
    for case in [
        GraphCase("rmat10", "R-MAT 2^10", 1 << 10, lambda: rmat_edges(10), True),
        GraphCase("rmat14", "R-MAT 2^14", 1 << 14, lambda: rmat_edges(14), True),
        GraphCase("rmat18", "R-MAT 2^18", 1 << 18, lambda: rmat_edges(18), False),
        GraphCase("uniform18", "uniform 2^18", 1 << 18, lambda: uniform_edges(18), False),
        GraphCase("grid12", "grid 64x64", 1 << 12, _grid(64), True),
        GraphCase("grid16", "grid 256x256", 1 << 16, _grid(256), True),
        GraphCase("grid20", "grid 1024x1024", 1 << 20, _grid(1024), False),
    ]
}


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
        "components": Call(lambda: unasked[0].connected_components().membership, _labels_to_partition,
                           prepare=fresh_graph),
        "pagerank": Call(lambda: multi.pagerank(damping=0.85), lambda r: _scores(r, n), ranked=False),
        "bfs": Call(lambda: multi.distances(source=0)[0], lambda r: _hops(r, n)),
        "reachability": Call(lambda: multi.subcomponent(0), lambda r: _reached(r, n)),
        "sssp": Call(lambda: multi.distances(source=0, weights="weight")[0], lambda r: _distances(r, n)),
        "triangles": Call(triangles, int),
    }


def networkit_calls(edges: Edges) -> dict[str, Call]:
    import networkit as nk

    nk.setNumberOfThreads(len(os.sched_getaffinity(0)))
    n = edges.n
    src, dst = edges.src.astype(np.uint64), edges.dst.astype(np.uint64)
    multi = nk.GraphFromCoo((edges.weights, (src, dst)), n=n, weighted=True)  # unweighted kernels ignore weights
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
        rank = nk.centrality.PageRank(both_ways, damp=0.85, tol=0.0, distributeSinks=nk.centrality.SinkHandling.DistributeSinks)
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
        "sssp": Call(lambda: nk.distance.Dijkstra(multi, 0, storePaths=False).run().getDistances(),
                     lambda r: _distances(np.where(np.asarray(r) > 1e300, np.inf, r), n)),
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
    lightest = csr_matrix((np.concatenate([w, w]), (np.concatenate([low, high]), np.concatenate([high, low]))), shape=(n, n))

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
        "components": Call(lambda: csgraph.connected_components(counts, directed=False)[1].tolist(), _labels_to_partition),
        "pagerank": Call(pagerank, lambda r: _scores(r, n)),
        "bfs": Call(lambda: csgraph.shortest_path(counts, method="D", unweighted=True, indices=0).tolist(),
                    lambda r: _hops(r, n)),
        "reachability": Call(lambda: csgraph.breadth_first_order(counts, 0, directed=False, return_predecessors=False).tolist(),
                             lambda r: _reached(r, n)),
        "sssp": Call(lambda: csgraph.dijkstra(lightest, directed=False, indices=0).tolist(), lambda r: _distances(r, n)),
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
    arcs, multiplicity = np.unique(np.concatenate([edges.src * n + edges.dst, edges.dst * n + edges.src]), return_counts=True)
    both_ways = rx.PyDiGraph()
    both_ways.add_nodes_from(range(n))
    both_ways.extend_from_weighted_edge_list(_pairs(arcs // n, arcs % n, multiplicity.astype(np.float64)))

    def bfs() -> list[int]:
        hops = np.full(n, UNREACHED, dtype=np.int64)
        for level, layer in enumerate(rx.bfs_layers(graph, [0])):
            hops[layer] = level
        return hops.tolist()

    return {
        "components": Call(lambda: rx.connected_components(graph), lambda r: _sets_to_partition(r, n)),
        "pagerank": Call(lambda: dict(rx.pagerank(both_ways, alpha=0.85, weight_fn=float, tol=1e-8)), lambda r: _scores(r, n), ranked=False),
        "bfs": Call(bfs, lambda r: np.asarray(r)),
        "reachability": Call(lambda: rx.node_connected_component(graph, 0), lambda r: _reached(r, n)),
        "sssp": Call(lambda: dict(rx.graph_dijkstra_shortest_path_lengths(graph, 0, edge_cost_fn=float)),
                     lambda r: _distances(r, n)),
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
        "components": Call(lambda: list(nx.connected_components(simple)), lambda r: _sets_to_partition(r, n)),
        "pagerank": Call(lambda: nx.pagerank(multi, alpha=0.85), lambda r: _scores(r, n), ranked=False),
        "bfs": Call(lambda: nx.single_source_shortest_path_length(simple, 0), lambda r: _hops(r, n)),
        "reachability": Call(lambda: nx.node_connected_component(simple, 0), lambda r: _reached(r, n)),
        "sssp": Call(lambda: nx.single_source_dijkstra_path_length(simple, 0), lambda r: _distances(r, n)),
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


def veltrix_graph(n: int, src: np.ndarray, dst: np.ndarray, weights: np.ndarray | None = None) -> Any:
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
    return (veltrix_graph(edges.n, edges.src, edges.dst), veltrix_graph(edges.n, edges.src, edges.dst, edges.weights),
            veltrix_graph(edges.n, *edges.simple))


def veltrix_calls(graphs: tuple[Any, Any, Any], n: int, threads: int) -> dict[str, Call]:
    graph, weighted, simple = graphs
    same = lambda r: r

    return {
        "components": Call(lambda: vx.parallel_connected_components(graph, threads=threads), _labels_to_partition),
        "pagerank": Call(lambda: vx.parallel_pagerank(graph, threads=threads), np.asarray),
        "pagerank_scatter": Call(lambda: vx.parallel_pagerank_bfs(graph, threads=threads), np.asarray),
        "bfs": Call(lambda: vx.parallel_bfs(graph, 0, threads=threads), np.asarray),
        "reachability": Call(lambda: vx.parallel_dfs(graph, 0, threads=threads), np.asarray),
        "sssp": Call(lambda: vx.parallel_dijkstra(weighted, 0, threads=threads), lambda r: _distances(r, n)),
        "triangles": Call(lambda: vx.triangle_count_parallel(simple, threads=threads), same),
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


def time_cell(calls: dict[str, Call], spinner: Spinner | None) -> tuple[dict[str, Timing], dict[str, Any]]:
    """Median times of every variant of one cell, interleaved; also each variant's first result."""
    states = ["quiet", "busy"] if spinner else ["quiet"]
    timings = {name: Timing({state: [] for state in states}) for name in calls}
    results: dict[str, Any] = {}
    wanted: dict[str, int] = {}
    for name, call in calls.items():
        seconds, results[name] = _once(call)  # warms caches and lazy set-up; kept only when slow
        wanted[name] = 1 if seconds > VERY_SLOW_SECONDS else 3 if seconds > SLOW_SECONDS else REPEATS
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
    ("triangles", "tc", ["-n", "3"], False),
]


def gap_files(gap: Path, edges: Edges, workdir: Path) -> tuple[Path, Path]:
    """The graph in the suite's own serialised form, converted from our edge list."""
    plain, weighted = workdir / "rmat18.sg", workdir / "rmat18.wsg"
    if not weighted.exists():
        np.savetxt(workdir / "rmat18.el", np.column_stack([edges.src, edges.dst]), fmt="%d")
        np.savetxt(workdir / "rmat18.wel", np.column_stack([edges.src, edges.dst, edges.weights.astype(np.int64)]), fmt="%d")
        for source, target, flag in [("rmat18.el", plain, "-b"), ("rmat18.wel", weighted, "-wb")]:
            subprocess.run([str(gap / "converter"), "-s", "-f", str(workdir / source), flag, str(target)],
                           check=True, capture_output=True)
    return plain, weighted


def run_gap(gap: Path, plain: Path, weighted: Path, kernels: list[str]) -> dict[str, float]:
    """Median trial time of each of the suite's kernels, 2 OpenMP threads."""
    env = dict(os.environ, OMP_NUM_THREADS="2")
    times = {}
    for kernel, binary, args, needs_weights in GAP_KERNELS:
        if kernel not in kernels:
            continue
        graph = weighted if needs_weights else plain
        out = subprocess.run([str(gap / binary), "-f", str(graph), *args], env=env, check=True,
                             capture_output=True, text=True).stdout
        trials = [float(t) for t in re.findall(r"Trial Time:\s+([0-9.]+)", out)]
        times[kernel] = statistics.median(trials)
    return times


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

    def fastest(self, state: str = "quiet") -> tuple[str, float] | None:
        ranked = [(t.median(state), name) for name, (t, is_ranked, _) in self.peers.items() if is_ranked]
        if not ranked:
            return None
        seconds, name = min(ranked)
        return name, seconds


def table(rows: list[Row], peers: list[str], threads: int) -> list[str]:
    head = ["graph", "kernel", "VELTRIX 1 thread", f"VELTRIX {threads} threads", "speed-up", *peers, "fastest peer", "ratio"]
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for row in rows:
        cells = [row.graph, row.kernel, fmt_ms(row.one.median(), row.one.repeats), fmt_ms(row.many.median(), row.many.repeats),
                 f"{row.one.median() / row.many.median():.2f}"]
        for peer in peers:
            if peer not in row.peers:
                cells.append("-")
                continue
            timing, ranked, ok = row.peers[peer]
            text = fmt_ms(timing.median(), timing.repeats)
            cells.append((text if ranked else f"({text})") + ("" if ok else " !"))
        best = row.fastest()
        if best:
            name, seconds = best
            cells += [name, f"**{row.many.median() / seconds:.2f}**" if row.many.median() > seconds else f"{row.many.median() / seconds:.2f}"]
        else:
            cells += ["-", "-"]
        lines.append("| " + " | ".join(cells) + " |")
    return lines


def busy_table(rows: list[Row], threads: int) -> list[str]:
    head = ["graph", "kernel", f"VELTRIX {threads} thr. quiet", "busy", "slow-down", "VELTRIX 1 thr. slow-down",
            "fastest peer", "peer quiet", "busy", "slow-down"]
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for row in rows:
        quiet, busy = row.many.median("quiet"), row.many.median("busy")
        cells = [row.graph, row.kernel, fmt_ms(quiet), fmt_ms(busy), f"{busy / quiet:.2f}",
                 f"{row.one.median('busy') / row.one.median('quiet'):.2f}"]
        best = row.fastest()
        if best:
            timing = row.peers[best[0]][0]
            cells += [best[0], fmt_ms(timing.median("quiet")), fmt_ms(timing.median("busy")),
                      f"{timing.median('busy') / timing.median('quiet'):.2f}"]
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
    return (f"{cpu}, {len(os.sched_getaffinity(0))} cores available, {platform.system()} {platform.release()}, "
            f"Python {platform.python_version()}, numpy {np.__version__}")


# ---------------------------------------------------------------------------------------------


def bench_graph(case: GraphCase, kernels: list[str], peers: list[str], spinner: Spinner | None,
                mismatches: list[str], before_peers: Callable[[Edges], None] | None = None) -> list[Row]:
    start = time.perf_counter()
    src, dst = case.make()
    edges = Edges(case.vertices, src, dst, integer_weights(len(src)))
    graphs = veltrix_graphs(edges)
    one, many = veltrix_calls(graphs, edges.n, 1), veltrix_calls(graphs, edges.n, -1)
    peer_calls = {name: PEER_CALLS[name][1](edges) for name in peers}
    if before_peers:
        before_peers(edges)
    print(f"\n{case.label}: {edges.n} vertices, {len(src)} edges (built in {time.perf_counter() - start:.1f} s)", flush=True)
    rows = []
    for kernel in kernels:
        peer_kernel = "pagerank" if kernel == "pagerank_scatter" else kernel
        calls = {"veltrix-1": one[kernel], "veltrix": many[kernel]}
        # The scattering variant meets only the peers it is ranked against.
        calls |= {name: c[peer_kernel] for name, c in peer_calls.items()
                  if peer_kernel in c and (kernel == peer_kernel or c[peer_kernel].ranked)}
        timings, results = time_cell(calls, spinner)
        expected = many[kernel].normalise(results["veltrix"])
        same_threads, _ = agrees(kernel, expected, one[kernel].normalise(results["veltrix-1"]), True)
        if not same_threads:
            mismatches.append(f"{case.label} {kernel}: VELTRIX threads=1 and threads=-1 differ")
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
        row = Row(case.label, kernel, timings["veltrix-1"], timings["veltrix"],
                  {name: (timings[name], calls[name].ranked, verdicts[name]) for name in calls if not name.startswith("veltrix")})
        best = row.fastest()
        summary = f"fastest {best[0]} {fmt_ms(best[1])}, ratio {row.many.median() / best[1]:.2f}" if best else "no ranked peer"
        print(f"  {kernel:<17} VELTRIX {fmt_ms(row.one.median())} / {fmt_ms(row.many.median())} ms; {summary}", flush=True)
        rows.append(row)
    return rows


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="only the graphs of at most 2^16 vertices")
    parser.add_argument("--graphs", help=f"comma-separated subset of {','.join(GRAPHS)}")
    parser.add_argument("--kernels", help=f"comma-separated subset of {','.join(KERNELS)}")
    parser.add_argument("--gap", type=Path, metavar="PATH", help="directory of a build of the C++ reference suite")
    parser.add_argument("--busy", action="store_true", help="also time every cell with a busy process on one core")
    parser.add_argument("--markdown", type=Path, metavar="FILE", help="write the tables to FILE")
    args = parser.parse_args()

    graphs = args.graphs.split(",") if args.graphs else [k for k, c in GRAPHS.items() if c.small or not args.quick]
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
    gap_times: list[dict[str, float]] = []
    workdir = tempfile.TemporaryDirectory(prefix="veltrix-gap-")
    try:
        gap_graph: list[tuple[Path, Path]] = []

        def gap_before(edges: Edges) -> None:
            gap_graph.append(gap_files(args.gap, edges, Path(workdir.name)))
            gap_times.append(run_gap(args.gap, *gap_graph[0], kernels))

        for key in graphs:
            with_gap = args.gap is not None and key == "rmat18"
            rows += bench_graph(GRAPHS[key], kernels, peers, spinner, mismatches, gap_before if with_gap else None)
            if with_gap:
                gap_times.append(run_gap(args.gap, *gap_graph[0], kernels))
    finally:
        if spinner:
            spinner.close()
        workdir.cleanup()
    elapsed, cpu = time.perf_counter() - started, time.process_time() - cpu_started

    lines = [f"Machine: {machine()}", "",
             (f"Date: {datetime.now(timezone.utc):%Y-%m-%d %H:%M} UTC; VELTRIX with 1 and {threads} threads; "
              f"peers: {', '.join(f'{p} {peer_version(p)}' for p in peers)}; whole run {elapsed / 60:.1f} min "
              f"({cpu / 60:.1f} min of CPU); "
              f"load average {load_before:.1f} before, {os.getloadavg()[0]:.1f} after."), "",
             ("Milliseconds, median of 5 (`[n]`: median of n). `(...)`: stops on its own tolerance, not ranked. "
              "`!`: result disagrees with VELTRIX. ratio = VELTRIX all threads / fastest ranked peer "
              "(bold: over 1)."), "", *table(rows, peers, threads)]
    if spinner:
        lines += ["", f"Under load: a process spinning on core {spinner.core}, timed alternately with the quiet runs.", "",
                  *busy_table(rows, threads)]
    if gap_times:
        lines += ["", gap_report(rows, gap_times)]
    elif args.gap:
        lines += ["", "Reference suite not run: it is timed on rmat18 only."]
    lines += ["", "Mismatches: " + ("; ".join(mismatches) if mismatches else "none")]
    print("\n" + "\n".join(lines))
    if args.markdown:
        args.markdown.write_text("\n".join(lines) + "\n")
    if mismatches:
        print(f"\n*** {len(mismatches)} MISMATCH(ES) ***", file=sys.stderr)
        sys.exit(1)


def gap_report(rows: list[Row], gap_times: list[dict[str, float]]) -> str:
    """The reference suite's two runs beside VELTRIX's R-MAT 2^18 times."""
    ours = {row.kernel: row.many.median() for row in rows if row.graph == GRAPHS["rmat18"].label}
    head = "| kernel | reference, before | reference, after | VELTRIX | VELTRIX / best reference |\n|---|---|---|---|---|"
    lines = []
    for kernel, *_ in GAP_KERNELS:
        runs = [times[kernel] for times in gap_times if kernel in times]
        if not runs:
            continue
        mine = ours.get(kernel)
        ratio = f"{mine / min(runs):.2f}" if mine else "-"
        lines.append(f"| {kernel} | {' | '.join(fmt_ms(t) for t in runs)} | {fmt_ms(mine)} | {ratio} |")
    return ("Reference suite (2 OpenMP threads) on the same R-MAT 2^18 edges, in milliseconds, its median trial; "
            "its graph has repeats and self-loops removed, VELTRIX's keeps them (triangles: both simple).\n\n"
            + head + "\n" + "\n".join(lines))


if __name__ == "__main__":
    main()
