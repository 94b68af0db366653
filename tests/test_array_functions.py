"""The array functions give the list API's values on every kind of graph, for every thread count,
and run without the interpreter lock while a Graph they read stays unchangeable."""

import random
import threading
import time

import numpy as np
import pytest

import _veltrix
import veltrix as vx
from algorithm_reference import random_graph, source_of
from veltrix import generators

THREADS = (1, 2, 3, 8)
BUILDS = ("edges", "lists", "weighted_edges", "weighted_lists")


def graphs(seed, n, m, directed, build):
    """The Graph (or WeightedGraph) and the CSRGraph of the same lists."""
    g = random_graph(seed, n, m, directed, build, hubs=3)
    return g, vx.CSRGraph.from_graph(g)


CASES = [
    (seed, n, m, directed, build)
    for seed, (n, m) in enumerate([(1, 0), (40, 90), (700, 5000)])
    for directed in (False, True)
    for build in BUILDS
]


@pytest.mark.parametrize("threads", THREADS)
@pytest.mark.parametrize("seed, n, m, directed, build", CASES)
def test_same_values_as_the_list_api(seed, n, m, directed, build, threads):
    g, csr = graphs(seed, n, m, directed, build)
    s = source_of(_veltrix.Graph.get_adj(g), seed)
    expected = {
        "hop_distances": _veltrix.parallel_bfs(g, s, threads),
        "reachable": _veltrix.parallel_dfs(g, s, threads),
        "connected_components": _veltrix.parallel_connected_components(g, threads),
        "pagerank": _veltrix.parallel_pagerank(g, 20, 0.85, threads),
        "pagerank_scatter": _veltrix.parallel_pagerank_bfs(g, 20, 0.85, threads),
        "triangle_count": _veltrix.triangle_count_parallel(g, threads),
    }
    if isinstance(g, _veltrix.WeightedGraph):
        expected["shortest_distances"] = _veltrix.parallel_dijkstra(g, s, threads)
    for graph in (g, csr):
        for name, want in expected.items():
            args = (
                (graph, s)
                if name in ("hop_distances", "reachable", "shortest_distances")
                else (graph,)
            )
            got = getattr(vx, name)(*args, threads=threads)
            if name == "triangle_count":
                assert got == want
                continue
            # Bit for bit: PageRank's sums run in the same order on both layouts.
            assert got.tolist() == want, (name, type(graph).__name__)


@pytest.mark.parametrize("threads", THREADS)
@pytest.mark.parametrize(
    "name, listed",
    [
        ("pagerank", _veltrix.parallel_pagerank),
        ("pagerank_scatter", _veltrix.parallel_pagerank_bfs),
    ],
)
def test_pagerank_reads_sorted_undirected_lists_in_place_with_the_same_bits(name, listed, threads):
    # Edges in (smaller, larger) order leave every list of the undirected graph sorted, so its
    # lists serve as the in-edges; shuffled, the lists must be transposed. Both give the list API's
    # bits, self-loops and repeats included.
    rng = np.random.default_rng(threads)
    n = 400
    src, dst = rng.integers(0, n, 3000), rng.integers(0, n, 3000)
    src[:30] = dst[:30]
    src, dst = np.concatenate([src, dst[:200]]), np.concatenate([dst, src[:200]])
    low, high = np.minimum(src, dst), np.maximum(src, dst)
    order = np.lexsort((high, low))
    in_order = vx.CSRGraph.from_edges(low[order], high[order], n)
    assert all(
        np.all(np.diff(in_order.targets[a:b]) >= 0)
        for a, b in zip(in_order.offsets, in_order.offsets[1:])
    )
    shuffled = vx.CSRGraph.from_edges(src, dst, n)
    want = listed(_veltrix.Graph(n, list(zip(src.tolist(), dst.tolist()))), 20, 0.85, threads)
    for graph in (in_order, shuffled):
        assert getattr(vx, name)(graph, threads=threads).tolist() == want


@pytest.mark.parametrize(
    "name, dtype",
    [
        ("hop_distances", np.int32),
        ("reachable", np.bool_),
        ("connected_components", np.int32),
        ("pagerank", np.float64),
        ("pagerank_scatter", np.float64),
        ("shortest_distances", np.float64),
    ],
)
def test_results_are_writable_arrays_of_their_own(name, dtype):
    g = vx.from_edges([0, 1], [1, 2], weights=[1.0, 2.0])
    result = getattr(vx, name)(
        *((g, 0) if name in ("hop_distances", "reachable", "shortest_distances") else (g,))
    )
    assert result.dtype == dtype and result.shape == (3,) and result.flags.owndata is not None
    result[0] = result[1]  # the caller may do what it likes with it


@pytest.mark.parametrize(
    "make", [lambda: vx.Graph(3, [(0, 1)]), lambda: vx.CSRGraph.from_edges([0], [1], 3)]
)
def test_argument_errors_match_the_list_api(make):
    g = make()
    with pytest.raises(IndexError, match="Vertex index out of range"):
        vx.hop_distances(g, 3)
    with pytest.raises(ValueError, match="iterations must be positive"):
        vx.pagerank(g, 0)
    with pytest.raises(ValueError, match=r"damping must be in \(0,1\)"):
        vx.pagerank_scatter(g, 5, 1.0)
    with pytest.raises(ValueError, match="weighted graph"):
        vx.shortest_distances(g, 0)
    with pytest.raises(TypeError, match="Graph, WeightedGraph or CSRGraph"):
        vx.connected_components([[1], [0]])


def big_graph():
    src, dst = generators.rmat_edges(15, 16, seed=3)
    return vx.from_edges(src, dst, 1 << 15)


def test_other_threads_run_during_a_call():
    g = big_graph()
    ticks = 0
    done = threading.Event()

    def count():
        nonlocal ticks
        while not done.is_set():
            ticks += 1

    counter = threading.Thread(target=count)
    counter.start()
    try:
        time.sleep(0.05)
        before = ticks
        vx.pagerank(g, 60, threads=1)
        during = ticks - before
    finally:
        done.set()
        counter.join()
    # Holding the lock for the whole call, the kernel would let the counter run only at the switch
    # interval; released, it counts the whole time.
    assert during > 10_000


def test_another_thread_cannot_change_a_graph_being_read():
    g = big_graph()
    before = _veltrix.Graph.get_adj(g)
    refused = []
    caller = threading.Thread(target=lambda: vx.pagerank(g, 300, threads=1))
    caller.start()
    while caller.is_alive() and not refused:
        try:
            g.add_edge(0, 1)
            before = _veltrix.Graph.get_adj(g)  # the call had not started yet
        except RuntimeError as error:
            refused.append(str(error))
        time.sleep(0.001)
    caller.join()
    assert refused == ["cannot change a graph while an algorithm is reading it"]
    assert _veltrix.Graph.get_adj(g) == before


def test_every_kind_of_graph_answers_the_same_random_queries():
    rng = random.Random(5)
    src = np.array([rng.randrange(300) for _ in range(2000)], dtype=np.int64)
    dst = np.array([rng.randrange(300) for _ in range(2000)], dtype=np.int64)
    w = np.array([rng.uniform(0, 4) for _ in range(2000)])
    graphs_ = [
        vx.from_edges(src, dst, 300, weights=w),
        vx.CSRGraph.from_edges(src, dst, 300, weights=w),
        vx.CSRGraph.from_edges(src.astype(np.uint32), dst.astype(np.uint32), 300, weights=w),
    ]
    answers = [vx.shortest_distances(g, 7).tolist() for g in graphs_]
    assert answers[0] == answers[1] == answers[2]
