"""The five graph algorithms against plain-Python references and networkx, over seeded random
graphs and every kind of thread count, plus their argument handling."""

import functools
import math
import random

import networkx as nx
import pytest

import _veltrix as vx
import algorithm_reference as ref

# 64 is above the hardware count of any machine these tests run on.
THREADS = (1, 2, -1, 0, 64)

# name: (seed, vertices, edges, directed, build, hubs)
GRAPHS = {
    "empty": (1, 0, 0, False, "edges", 0),
    "single-vertex": (2, 1, 0, True, "adjacency", 0),
    "dense-directed": (3, 12, 90, True, "edges", 0),
    "dense-undirected": (4, 15, 100, False, "add_edges", 0),
    "directed-lists": (5, 400, 1200, True, "lists", 2),
    "asymmetric-undirected": (6, 1000, 2500, False, "adjacency", 0),
    "weighted-undirected": (7, 600, 1500, False, "weighted_edges", 3),
    "weighted-directed-lists": (8, 500, 1500, True, "weighted_lists", 0),
    "hubs-undirected": (9, 3000, 6000, False, "edges", 5),
    "large-directed": (10, 20000, 50000, True, "add_edges", 4),
    "large-sparse-undirected": (11, 30000, 24000, False, "edges", 0),
}

# name: (native call, reference call); both take (graph or lists, source, threads).
ALGORITHMS = {
    "components": (
        lambda g, s, t: vx.parallel_connected_components(g, t),
        lambda a, s, t: ref.components(a),
    ),
    "bfs": (lambda g, s, t: vx.parallel_bfs(g, s, t), lambda a, s, t: ref.bfs(a, s)),
    "dfs": (lambda g, s, t: vx.parallel_dfs(g, s, t), lambda a, s, t: ref.reachable(a, s)),
    "triangles": (
        lambda g, s, t: vx.triangle_count_parallel(g, t),
        lambda a, s, t: ref.triangles(a),
    ),
    "pagerank": (
        lambda g, s, t: vx.parallel_pagerank(g, threads=t),
        lambda a, s, t: ref.pagerank_gather(a),
    ),
    "pagerank_bfs": (
        lambda g, s, t: vx.parallel_pagerank_bfs(g, threads=t),
        lambda a, s, t: ref.pagerank_scatter(a, threads=t),
    ),
}
NEEDS_SOURCE = {"bfs", "dfs"}


@functools.cache
def case(name):
    seed = GRAPHS[name][0]
    graph = ref.random_graph(*GRAPHS[name])
    adj = ref.adjacency(graph)
    return graph, adj, ref.source_of(adj, seed)


@functools.cache
def expected(name, algorithm, resolved_threads):
    _, adj, source = case(name)
    return ALGORITHMS[algorithm][1](adj, source, resolved_threads)


def reference_result(name, algorithm, threads):
    # Only the scattering PageRank depends on the thread count, and only through its resolution.
    key = vx.get_thread_count(threads) if algorithm == "pagerank_bfs" else None
    return expected(name, algorithm, key)


@pytest.mark.parametrize("threads", THREADS)
@pytest.mark.parametrize(
    "name, algorithm",
    [(n, a) for n in GRAPHS for a in ALGORITHMS if not (GRAPHS[n][1] == 0 and a in NEEDS_SOURCE)],
)
def test_matches_reference(name, algorithm, threads):
    graph, _, source = case(name)
    assert ALGORITHMS[algorithm][0](graph, source, threads) == reference_result(
        name, algorithm, threads
    )


def test_gathering_pagerank_bits_do_not_depend_on_threads():
    graph = case("large-directed")[0]
    first = vx.parallel_pagerank(graph, threads=1)
    assert all(vx.parallel_pagerank(graph, threads=t) == first for t in THREADS[1:])
    # With one slot the scatter adds the same shares in the same order as the gather.
    assert vx.parallel_pagerank_bfs(graph, threads=1) == first


@functools.cache
def contended_graph():
    # Hubs make many workers hook, claim and push the same vertices at once; a long path in
    # shuffled order forces many hook-and-compress rounds.
    rng = random.Random(99)
    n = 20000
    edges = ref.random_edges(rng, n, 40000, hubs=8)
    order = rng.sample(range(n), n // 2)
    edges += list(zip(order, order[1:]))
    graph = vx.Graph(n, edges, False)
    return graph, graph.get_adj(), ref.source_of(graph.get_adj(), 99)


@pytest.mark.parametrize("algorithm", ALGORITHMS)
def test_repeated_runs_never_vary(algorithm):
    graph, adj, source = contended_graph()
    native, reference = ALGORITHMS[algorithm]
    want = reference(adj, source, -1)
    for _ in range(30):
        assert native(graph, source, -1) == want


# --- small worked examples, checked against both the module and the references -----------------


def directed(n, edges):
    return vx.Graph(n, edges, True)


def undirected(n, edges):
    return vx.Graph(n, edges, False)


TRIANGLE = [(0, 1), (1, 2), (0, 2)]


def weighted_path():
    g = vx.WeightedGraph(3)
    g.add_edges([(0, 1, 5.0), (1, 2, 0.25), (0, 2, 100.0), (2, 0, 1.0)])
    return g


EXAMPLES = [
    ("components", lambda: undirected(5, [(3, 1), (1, 4)]), None, [0, 1, 2, 1, 1]),
    ("components", lambda: directed(3, [(2, 0)]), None, [0, 1, 0]),
    ("components", lambda: directed(5, [(4, 3), (3, 2)]), None, [0, 1, 2, 2, 2]),
    ("bfs", lambda: directed(3, [(0, 1), (2, 0)]), 0, [0, 1, -1]),
    ("bfs", lambda: undirected(4, [(0, 1), (1, 2), (2, 3), (2, 2), (3, 2)]), 2, [2, 1, 0, 1]),
    ("bfs", weighted_path, 0, [0, 1, 1]),
    ("dfs", lambda: directed(3, [(0, 1), (1, 2), (2, 1)]), 1, [False, True, True]),
    ("dfs", lambda: undirected(5, [(0, 1), (3, 4), (4, 4)]), 4, [False, False, False, True, True]),
    (
        "triangles",
        lambda: undirected(5, [(u, v) for u in range(5) for v in range(u + 1, 5)]),
        None,
        10,
    ),
    ("triangles", lambda: undirected(3, TRIANGLE + [(1, 1)]), None, 1),
    ("triangles", lambda: undirected(3, TRIANGLE + [(0, 1)]), None, 2),
    ("triangles", lambda: undirected(3, TRIANGLE + [(0, 2)]), None, 1),
    ("triangles", lambda: undirected(3, TRIANGLE + [(1, 2)]), None, 1),
    ("triangles", lambda: directed(3, [(0, 1), (0, 2), (1, 2)]), None, 1),
    ("triangles", lambda: directed(3, [(2, 1), (1, 0), (2, 0)]), None, 0),
    ("triangles", lambda: directed(3, [(0, 1), (1, 2), (2, 0)]), None, 0),
    # u's list holds v twice and w three times, v's list holds w twice: 2 * min(3, 2).
    ("triangles", lambda: vx.Graph([[1, 2, 1, 2, 2], [2, 2], []], True), None, 4),
]


@pytest.mark.parametrize("threads", (1, -1))
@pytest.mark.parametrize(
    "algorithm, make, source, want", EXAMPLES, ids=[f"{e[0]}-{i}" for i, e in enumerate(EXAMPLES)]
)
def test_worked_examples(algorithm, make, source, want, threads):
    graph = make()
    native, reference = ALGORITHMS[algorithm]
    assert reference(ref.adjacency(graph), source, threads) == want
    got = native(graph, source, threads)
    assert got == want
    # True == 1, so compare the element types too.
    assert (
        [type(x) for x in got] == [type(x) for x in want]
        if isinstance(want, list)
        else type(got) is int
    )


@pytest.mark.parametrize("function", [vx.parallel_pagerank, vx.parallel_pagerank_bfs])
@pytest.mark.parametrize("iterations, want", [(1, [0.2875, 0.7125]), (20, [0.350877, 0.649123])])
def test_pagerank_two_vertices(function, iterations, want):
    graph = directed(2, [(0, 1)])
    got = function(graph, iterations)
    assert got == pytest.approx(want, abs=1e-6)
    assert got == ref.pagerank_gather(graph.get_adj(), iterations)


# --- networkx cross-checks ---------------------------------------------------------------------

NX_GRAPHS = [
    "dense-directed",
    "dense-undirected",
    "directed-lists",
    "asymmetric-undirected",
    "weighted-directed-lists",
    "hubs-undirected",
]


def as_digraph(adj):
    g = nx.DiGraph()
    g.add_nodes_from(range(len(adj)))
    g.add_edges_from((u, v) for u, row in enumerate(adj) for v in row)
    return g


@pytest.mark.parametrize("name", NX_GRAPHS)
def test_networkx_agrees(name):
    graph, adj, source = case(name)
    g = as_digraph(adj)

    labels = [0] * len(adj)
    for component in nx.weakly_connected_components(g):
        for v in component:
            labels[v] = min(component)
    assert vx.parallel_connected_components(graph) == labels

    hops = nx.single_source_shortest_path_length(g, source)
    assert vx.parallel_bfs(graph, source) == [hops.get(v, -1) for v in range(len(adj))]

    reached = nx.descendants(g, source) | {source}
    assert vx.parallel_dfs(graph, source) == [v in reached for v in range(len(adj))]


@pytest.mark.parametrize("n, m, seed", [(30, 200, 1), (300, 3000, 2), (2000, 12000, 3)])
def test_networkx_triangles_on_simple_graphs(n, m, seed):
    g = nx.gnm_random_graph(n, m, seed=seed)
    want = sum(nx.triangles(g).values()) // 3
    assert vx.triangle_count_parallel(vx.Graph(n, list(g.edges()), False)) == want
    # The same graph given as lists, each edge in both directions, in shuffled order.
    rng = random.Random(seed)
    lists = [rng.sample(list(g.neighbors(v)), g.degree(v)) for v in range(n)]
    assert vx.triangle_count_parallel(vx.Graph(lists, False), threads=1) == want


def test_networkx_pagerank_limit():
    pytest.importorskip("scipy")
    g = nx.gnm_random_graph(200, 600, seed=5, directed=True)  # leaves some vertices dangling
    graph = directed(200, list(g.edges()))
    want = nx.pagerank(g, alpha=0.85, tol=1e-14, max_iter=1000)
    for function in (vx.parallel_pagerank, vx.parallel_pagerank_bfs):
        assert function(graph, 200) == pytest.approx([want[v] for v in range(200)], rel=1e-9)


# --- arguments ---------------------------------------------------------------------------------

PAGERANKS = [vx.parallel_pagerank, vx.parallel_pagerank_bfs]
ITERATIONS = "^iterations must be positive$"
DAMPING = r"^damping must be in \(0,1\)$"


@pytest.mark.parametrize("function", PAGERANKS)
@pytest.mark.parametrize(
    "iterations, damping, message",
    [
        (0, 0.85, ITERATIONS),
        (-7, 0.85, ITERATIONS),
        (0, 2.0, ITERATIONS),  # iterations are checked first
        (-1, math.nan, ITERATIONS),
        (1, 0.0, DAMPING),
        (1, 1.0, DAMPING),
        (1, 1, DAMPING),  # the int converts to 1.0, then fails the check
        (1, -0.5, DAMPING),
        (1, math.nan, DAMPING),
        (1, math.inf, DAMPING),
        (1, -math.inf, DAMPING),
    ],
)
def test_pagerank_rejects_arguments(function, iterations, damping, message):
    with pytest.raises(ValueError, match=message):
        function(vx.Graph(3, [(0, 1)], True), iterations, damping)


@pytest.mark.parametrize("function", PAGERANKS)
@pytest.mark.parametrize("iterations, damping", [(20, 0.85), (0, 2.0), (-1, math.nan)])
def test_pagerank_of_empty_graph_checks_nothing(function, iterations, damping):
    assert function(vx.Graph(), iterations, damping) == []


@pytest.mark.parametrize("damping", [0.5, 0.999])
def test_pagerank_accepts_damping(damping):
    graph, adj, _ = case("dense-undirected")
    assert vx.parallel_pagerank(graph, 7, damping) == ref.pagerank_gather(adj, 7, damping)
    assert vx.parallel_pagerank_bfs(graph, 7, damping) == ref.pagerank_scatter(adj, 7, damping)


@pytest.mark.parametrize("function", [vx.parallel_bfs, vx.parallel_dfs])
@pytest.mark.parametrize(
    "n, source", [(0, 0), (0, -1), (3, 3), (3, -1), (3, 2**31 - 1), (3, -(2**31))]
)
def test_search_rejects_bad_source(function, n, source):
    with pytest.raises(IndexError, match="^Vertex index out of range$"):
        function(vx.Graph(n, [], True), source)


def test_keyword_arguments():
    graph, adj, source = case("weighted-undirected")
    assert vx.parallel_connected_components(graph=graph, threads=2) == ref.components(adj)
    assert vx.parallel_bfs(graph=graph, source=source, threads=1) == ref.bfs(adj, source)
    assert vx.parallel_dfs(graph=graph, source=source, threads=-1) == ref.reachable(adj, source)
    assert vx.triangle_count_parallel(graph=graph, threads=0) == ref.triangles(adj)
    assert vx.parallel_pagerank(
        graph=graph, iterations=3, damping=0.6, threads=2
    ) == ref.pagerank_gather(adj, 3, 0.6)
    scores = vx.parallel_pagerank_bfs(graph=graph, iterations=3, damping=0.6, threads=1)
    assert scores == ref.pagerank_scatter(adj, 3, 0.6, 1)


@pytest.mark.parametrize(
    "call",
    [
        lambda g: vx.parallel_bfs(None, 0),
        lambda g: vx.parallel_dfs(g, 1.0),
        lambda g: vx.parallel_pagerank(g, 2.5),
    ],
)
def test_unconvertible_arguments(call):
    with pytest.raises(TypeError):
        call(vx.Graph(3, [(0, 1)], False))
