"""The serial references of the graph algorithms, and a seeded generator of awkward graphs to run
them on.

The references are the C++ ones the native tests use (tests/native/reference/), reached through a
small shared library that is compiled on first use into build/test-reference/ and reused while
its sources stay the same; it never ships with the package. Every reference reads the lists
exactly as get_adj() returns them (weights stripped where the algorithm ignores them), never the
directed flag, and returns what the matching _veltrix function returns, as Python lists.
"""

import ctypes
import hashlib
import itertools
import os
import random
import shutil
import subprocess
import tempfile
from functools import cache
from pathlib import Path

import numpy as np

import _veltrix

ROOT = Path(__file__).resolve().parent.parent
SOURCES = sorted((ROOT / "tests" / "native" / "reference").glob("*.[ch]pp")) + [
    ROOT / "graph" / "graph.hpp",
    ROOT / "graph" / "weighted_graph.hpp",
]
FLAGS = [
    "-std=c++20",
    "-O2",
    "-shared",
    "-fPIC",
    "-ffp-contract=off",
    "-Wall",
    "-Wextra",
    f"-I{ROOT}",
]


def _compiler():
    name = os.environ.get("CXX") or shutil.which("c++") or shutil.which("g++")
    if name is None:
        raise RuntimeError("no C++ compiler found (set CXX): the references are compiled from C++")
    return name


@cache
def _library():
    """The compiled references, built once per content of their sources and flags."""
    compiler = _compiler()
    digest = hashlib.sha256(" ".join([compiler, *FLAGS]).encode())
    for source in SOURCES:
        digest.update(source.read_bytes())
    folder = ROOT / "build" / "test-reference"
    path = folder / f"reference-{digest.hexdigest()[:16]}.so"
    if not path.exists():
        folder.mkdir(parents=True, exist_ok=True)
        # A sanitizer runtime preloaded into the test run must not be preloaded into the compiler.
        env = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}
        with tempfile.TemporaryDirectory(dir=folder) as scratch:
            built = Path(scratch) / path.name
            command = [
                compiler,
                *FLAGS,
                str(ROOT / "tests" / "native" / "reference" / "exports.cpp"),
                "-o",
                str(built),
            ]
            proc = subprocess.run(command, capture_output=True, text=True, env=env, timeout=600)
            if proc.returncode != 0:
                raise RuntimeError(
                    f"building the references failed:\n{' '.join(command)}\n{proc.stderr}"
                )
            # Concurrent test processes may race here; the rename is atomic and both builds equal.
            os.replace(built, path)
    lib = ctypes.CDLL(str(path))
    i32, i64, f64, u8 = (
        np.ctypeslib.ndpointer(t, flags="C_CONTIGUOUS")
        for t in (np.int32, np.int64, np.float64, np.uint8)
    )
    c_int, c_double = ctypes.c_int, ctypes.c_double
    signatures = {
        "reference_connected_components": ([c_int, i64, i32, i32], None),
        "reference_hop_distances": ([c_int, i64, i32, c_int, i32], None),
        "reference_reachability": ([c_int, i64, i32, c_int, u8], None),
        "reference_triangle_count": ([c_int, i64, i32], ctypes.c_int64),
        "reference_pagerank_gather": ([c_int, i64, i32, c_int, c_double, f64], None),
        "reference_pagerank_scatter": ([c_int, i64, i32, c_int, c_double, c_int, f64], None),
        "reference_shortest_distances": ([c_int, i64, i32, f64, c_int, f64], c_int),
    }
    for name, (arguments, result) in signatures.items():
        function = getattr(lib, name)
        function.argtypes, function.restype = arguments, result
    return lib


def _compressed(adj):
    """(n, offsets, targets) of neighbour lists, in list order."""
    offsets = np.zeros(len(adj) + 1, dtype=np.int64)
    np.cumsum([len(row) for row in adj], out=offsets[1:])
    targets = np.fromiter(
        itertools.chain.from_iterable(adj), dtype=np.int32, count=int(offsets[-1])
    )
    return len(adj), offsets, targets


def _check_source(adj, source):
    if not 0 <= source < len(adj):
        raise IndexError("source out of range")


def adjacency(graph):
    """The neighbour lists the algorithms read, without weights."""
    lists = graph.get_adj()
    if isinstance(graph, _veltrix.WeightedGraph):
        return [[v for v, _ in row] for row in lists]
    return lists


def components(adj):
    """Smallest vertex of every vertex's component, edge direction ignored."""
    n, offsets, targets = _compressed(adj)
    out = np.empty(n, dtype=np.int32)
    _library().reference_connected_components(n, offsets, targets, out)
    return out.tolist()


def bfs(adj, source):
    """Hop distance from source along the lists, -1 where unreachable."""
    _check_source(adj, source)
    n, offsets, targets = _compressed(adj)
    out = np.empty(n, dtype=np.int32)
    _library().reference_hop_distances(n, offsets, targets, source, out)
    return out.tolist()


def reachable(adj, source):
    """Whether each vertex can be reached from source along the lists."""
    _check_source(adj, source)
    n, offsets, targets = _compressed(adj)
    out = np.empty(n, dtype=np.uint8)
    _library().reference_reachability(n, offsets, targets, source, out)
    return out.astype(bool).tolist()


def triangles(adj):
    """Triples u < v < w with v, w in u's list and w in v's list; repeated entries counted as the
    native kernel counts them."""
    return int(_library().reference_triangle_count(*_compressed(adj)))


def pagerank_gather(adj, iterations=20, damping=0.85):
    """The gathering PageRank, bit for bit."""
    n, offsets, targets = _compressed(adj)
    out = np.empty(n, dtype=np.float64)
    if n:
        _library().reference_pagerank_gather(n, offsets, targets, iterations, damping, out)
    return out.tolist()


def pagerank_scatter(adj, iterations=20, damping=0.85, threads=-1):
    """The scattering PageRank with as many accumulator slots as the call resolves threads to."""
    n, offsets, targets = _compressed(adj)
    out = np.empty(n, dtype=np.float64)
    if n:
        slots = _veltrix.get_thread_count(threads)
        _library().reference_pagerank_scatter(n, offsets, targets, iterations, damping, slots, out)
    return out.tolist()


def shortest_distances(weighted_adj, source):
    """Lightest path totals from source over (neighbour, weight) lists, 1e18 where unreached; the
    relaxation passes stop after n - 1 passes when a negative cycle holds them up."""
    _check_source(weighted_adj, source)
    n, offsets, targets = _compressed([[v for v, _ in row] for row in weighted_adj])
    weights = np.fromiter(
        (w for row in weighted_adj for _, w in row), dtype=np.float64, count=len(targets)
    )
    out = np.empty(n, dtype=np.float64)
    _library().reference_shortest_distances(n, offsets, targets, weights, source, out)
    return out.tolist()


# --- random graphs ---------------------------------------------------------------------------


def random_edges(rng, n, m, hubs=0):
    """m edges over n vertices: about a quarter of the vertices stay isolated, some edges are
    self-loops, some repeat an earlier edge, and with hubs a share of the ends goes to a few
    high-degree vertices."""
    if n == 0:
        return []
    active = rng.sample(range(n), max(1, n - n // 4))
    hub_set = active[:hubs]

    def pick():
        return rng.choice(hub_set) if hub_set and rng.random() < 0.3 else rng.choice(active)

    edges = []
    for _ in range(m):
        r = rng.random()
        if r < 0.05:
            u = pick()
            edges.append((u, u))
        elif r < 0.15 and edges:
            edges.append(rng.choice(edges))
        else:
            edges.append((pick(), pick()))
    return edges


def random_graph(seed, n, m, directed, build, hubs=0):
    """A seeded graph built from an edge list, by add_edges, through the adjacency-list
    constructor, by build_from_adj_list, or as a WeightedGraph by add_edges or
    build_from_adj_list. The list builds put each edge in its first end's list only, so an
    undirected graph built that way is asymmetric."""
    rng = random.Random(seed)
    edges = random_edges(rng, n, m, hubs)
    lists = [[] for _ in range(n)]
    for u, v in edges:
        lists[u].append(v)
    if build == "edges":
        return _veltrix.Graph(n, edges, directed)
    if build == "adjacency":
        return _veltrix.Graph(lists, directed)
    if build == "add_edges":
        g = _veltrix.Graph(n, directed)
        g.add_edges(edges)
    elif build == "lists":
        g = _veltrix.Graph(0, directed)
        g.build_from_adj_list(lists)
    elif build == "weighted_edges":
        g = _veltrix.WeightedGraph(n, directed)
        g.add_edges([(u, v, rng.uniform(0.5, 8.0)) for u, v in edges])
    elif build == "weighted_lists":
        g = _veltrix.WeightedGraph(0, directed)
        g.build_from_adj_list([[(v, rng.uniform(0.5, 8.0)) for v in row] for row in lists])
    else:
        raise ValueError(build)
    return g


def source_of(adj, seed):
    """A vertex with out-edges when there is one, so that searches go somewhere."""
    busy = [u for u, row in enumerate(adj) if row]
    return random.Random(seed).choice(busy or [0])
