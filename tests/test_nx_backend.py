"""The networkx backend against networkx itself: values, types, exceptions, declines, cache."""

import math

import pytest

nx = pytest.importorskip("networkx")
pytest.importorskip("scipy")  # networkx's PageRank, the reference

import veltrix  # noqa: E402
from veltrix.nx import algorithms  # noqa: E402

# networkx warns on every use of a cached conversion; these tests use the cache on purpose.
pytestmark = pytest.mark.filterwarnings("ignore:Note. conversions to backend graphs:UserWarning")


def undirected():
    G = nx.Graph([("a", "b"), ("b", "c"), ("c", "a"), ("c", "d"), ("x", "y"), ("d", "d")])
    G.add_node("lonely")
    return G


def directed():
    return nx.DiGraph([("a", "b"), ("b", "c"), ("c", "a"), ("c", "d"), ("e", "a"), ("d", "d")])


def multigraph():
    G = nx.MultiGraph([("a", "b"), ("a", "b"), ("b", "c"), ("c", "c"), ("c", "c")])
    G.add_edge("p", "q")
    return G


def weighted(kind, directed_graph=True):
    G = nx.DiGraph() if directed_graph else nx.Graph()
    edges = [
        ("s", "a", 4),
        ("s", "b", 1),
        ("b", "a", 2),
        ("a", "c", 1),
        ("b", "c", 5),
        ("c", "d", 3),
    ]
    G.add_weighted_edges_from((u, v, kind(w)) for u, v, w in edges)
    G.add_node("far")
    return G


def same(expected, actual):
    """Equal values of equal types, down through dicts, sets and lists (generators unrolled)."""
    if type(expected).__name__ == "generator":
        expected, actual = list(expected), list(actual)
    assert type(actual) is type(expected)
    assert actual == expected
    if isinstance(expected, dict):
        for key in expected:
            assert type(actual[key]) is type(expected[key]), key
    if isinstance(expected, list):
        for e, a in zip(expected, actual):
            same(e, a)


CALLS = [
    ("connected_components", undirected, ()),
    ("number_connected_components", undirected, ()),
    ("is_connected", undirected, ()),
    ("node_connected_component", undirected, ("b",)),
    ("connected_components", multigraph, ()),
    ("weakly_connected_components", directed, ()),
    ("number_weakly_connected_components", directed, ()),
    ("is_weakly_connected", directed, ()),
    ("single_source_shortest_path_length", undirected, ("a",)),
    ("single_source_shortest_path_length", directed, ("e",)),
    ("single_source_shortest_path_length", directed, ("e", 1)),
    ("single_source_shortest_path_length", directed, ("e", 1.5)),
    ("single_source_shortest_path_length", directed, ("e", -3)),
    ("shortest_path_length", directed, ("a",)),
    ("descendants", directed, ("b",)),
    ("descendants", undirected, ("x",)),
    ("has_path", directed, ("a", "e")),
    ("has_path", directed, ("e", "d")),
    ("has_path", multigraph, ("a", "a")),
    ("transitivity", undirected, ()),
    ("transitivity", lambda: nx.Graph([(1, 2)]), ()),
    ("transitivity", nx.Graph, ()),
    ("single_source_dijkstra_path_length", lambda: weighted(int), ("s",)),
    ("single_source_dijkstra_path_length", lambda: weighted(float), ("s",)),
    ("single_source_dijkstra_path_length", lambda: weighted(int), ("s", 3)),
    ("dijkstra_path_length", lambda: weighted(float), ("s", "d")),
    ("dijkstra_path_length", lambda: weighted(float), ("s", "s")),
    ("single_source_bellman_ford_path_length", lambda: weighted(int, False), ("d",)),
    ("bellman_ford_path_length", lambda: weighted(int), ("s", "d")),
]


@pytest.mark.parametrize(
    "name, make, args", CALLS, ids=[f"{c[0]}-{i}" for i, c in enumerate(CALLS)]
)
def test_results_equal_networkx(name, make, args):
    func = getattr(nx, name)
    same(func(make(), *args), func(make(), *args, backend="veltrix"))


@pytest.mark.parametrize(
    "name, low",
    [("single_source_dijkstra_path_length", 0), ("single_source_bellman_ford_path_length", -1)],
)
def test_multigraph_uses_lightest_parallel_edge(name, low):
    G = nx.MultiDiGraph()
    G.add_weighted_edges_from([(0, 1, 5), (0, 1, 2), (1, 2, low), (0, 2, 3), (2, 3, 4), (3, 2, 7)])
    func = getattr(nx, name)
    same(func(G, 0), func(G, 0, backend="veltrix"))


NEGATIVE_CYCLES = [
    nx.DiGraph([(0, 1, {"weight": 1}), (1, 2, {"weight": -3}), (2, 1, {"weight": 1})]),
    nx.Graph([(0, 1, {"weight": 2}), (1, 2, {"weight": -1})]),  # an undirected negative edge
    nx.DiGraph([(0, 0, {"weight": -1})]),
]


@pytest.mark.parametrize("G", NEGATIVE_CYCLES)
def test_reachable_negative_cycle_raises_unbounded(G):
    for name, args in (
        ("single_source_bellman_ford_path_length", (0,)),
        ("bellman_ford_path_length", (0, 1)),
    ):
        with pytest.raises(nx.NetworkXUnbounded, match="Negative cycle detected."):
            getattr(nx, name)(G, *args, backend="veltrix")


def test_unreachable_negative_cycle_is_ignored():
    G = nx.DiGraph([(0, 1, {"weight": 2}), (5, 6, {"weight": -3}), (6, 5, {"weight": 1})])
    same(
        nx.single_source_bellman_ford_path_length(G, 0),
        nx.single_source_bellman_ford_path_length(G, 0, backend="veltrix"),
    )


ERRORS = [
    ("single_source_shortest_path_length", directed, ("zz",)),
    ("has_path", directed, ("zz", "a")),
    ("has_path", directed, ("a", "zz")),
    ("descendants", directed, ("zz",)),
    ("descendants", undirected, ("zz",)),
    ("node_connected_component", undirected, ("zz",)),
    ("is_connected", nx.Graph, ()),
    ("is_weakly_connected", nx.DiGraph, ()),
    ("single_source_dijkstra_path_length", lambda: weighted(int), ("zz",)),
    ("dijkstra_path_length", lambda: weighted(int), ("zz", "a")),
    ("dijkstra_path_length", lambda: weighted(int), ("a", "s")),
    ("single_source_bellman_ford_path_length", lambda: weighted(int), ("zz",)),
    ("bellman_ford_path_length", lambda: weighted(int), ("zz", "zz")),
    ("bellman_ford_path_length", lambda: weighted(int), ("d", "far")),
]


@pytest.mark.parametrize(
    "name, make, args", ERRORS, ids=[f"{e[0]}-{i}" for i, e in enumerate(ERRORS)]
)
def test_exceptions_equal_networkx(name, make, args):
    func = getattr(nx, name)
    with pytest.raises(Exception) as expected:
        func(make(), *args)
    with pytest.raises(type(expected.value)) as actual:
        func(make(), *args, backend="veltrix")
    assert str(actual.value) == str(expected.value)


def mixed_weights():
    G = weighted(int)
    G["s"]["a"]["weight"] = 4.0
    return G


def infinite_weight():
    G = weighted(float)
    G["s"]["a"]["weight"] = math.inf
    return G


def fractional_negative():
    G = weighted(float)
    G["b"]["a"]["weight"] = -0.5
    return G


def varied_weights():
    return weighted(int)


DECLINES = [
    ("single_source_dijkstra_path_length", fractional_negative, ("s",), {}),
    ("single_source_dijkstra_path_length", mixed_weights, ("s",), {}),
    ("single_source_dijkstra_path_length", infinite_weight, ("s",), {}),
    ("single_source_dijkstra_path_length", varied_weights, ("s",), {"weight": lambda u, v, d: 1}),
    ("single_source_bellman_ford_path_length", fractional_negative, ("s",), {}),
    ("shortest_path_length", directed, ("a", "d"), {}),
    ("transitivity", directed, (), {}),
    ("pagerank", directed, (), {"personalization": {"a": 1}}),
    ("pagerank", directed, (), {"tol": 1e-12}),
    ("pagerank", varied_weights, (), {}),
]


@pytest.mark.parametrize(
    "name, make, args, kwargs", DECLINES, ids=[f"{d[0]}-{i}" for i, d in enumerate(DECLINES)]
)
def test_declined_calls_fall_back_and_refuse_explicit_dispatch(name, make, args, kwargs):
    func = getattr(nx, name)
    expected = func(make(), *args, **kwargs)
    with nx.config(backend_priority=["veltrix"]):
        assert func(make(), *args, **kwargs) == expected
    with pytest.raises(NotImplementedError):
        func(make(), *args, backend="veltrix", **kwargs)


def pagerank_graphs():
    G = nx.gnp_random_graph(60, 0.08, seed=3, directed=True)
    G.add_edge(7, 7)
    H = nx.relabel_nodes(nx.Graph(nx.karate_club_graph().edges), str)
    H.add_edge("0", "0")
    M = nx.MultiDiGraph([(0, 1), (0, 1), (1, 2), (2, 0), (3, 3)])
    W = nx.cycle_graph(5)
    nx.set_edge_attributes(W, 2.5, "weight")
    return [G, H, M, W]


@pytest.mark.parametrize(
    "G", pagerank_graphs(), ids=["digraph", "karate-str", "multidigraph", "one-weight"]
)
def test_pagerank_within_networkx_tolerance(G):
    n, tol, alpha = len(G), 1e-6, 0.85
    expected = nx.pagerank(G, alpha=alpha, tol=tol)
    actual = nx.pagerank(G, alpha=alpha, tol=tol, backend="veltrix")
    assert list(actual) == list(expected)
    assert all(type(x) is float for x in actual.values())
    assert sum(abs(actual[k] - expected[k]) for k in G) < n * tol * alpha / (1 - alpha)
    # The bound on the iteration count holds: networkx converges within it.
    nx.pagerank(G, alpha=alpha, tol=tol, max_iter=algorithms.pagerank_iterations(n, alpha, tol))


def test_pagerank_iterations_cover_defaults_and_refuse_bad_parameters():
    assert [algorithms.pagerank_iterations(n, 0.85, 1e-6) for n in (1, 10, 100, 10**4, 10**6)] == [
        91,
        77,
        62,
        34,
        6,
    ]
    assert algorithms.pagerank_iterations(10, 1.0, 1e-6) is None
    assert algorithms.pagerank_iterations(10, 0.85, 0.0) is None


def test_weighted_and_unweighted_calls_share_one_conversion():
    G = weighted(int)
    nx.number_weakly_connected_components(G, backend="veltrix")
    first = [g for g in G.__networkx_cache__["backends"]["veltrix"].values()]
    nx.single_source_dijkstra_path_length(G, "s", backend="veltrix")
    nx.single_source_dijkstra_path_length(G, "s", weight="other", backend="veltrix")
    cached = set(map(id, G.__networkx_cache__["backends"]["veltrix"].values()))
    assert cached == {id(first[0])}
    G.add_edge("far", "s", weight=1)  # a networkx mutation drops the conversion
    assert nx.has_path(G, "far", "d", backend="veltrix")


def test_threads_config_and_labels_already_indices():
    G = nx.gnm_random_graph(200, 600, seed=2)
    expected = list(nx.connected_components(G))
    with nx.config.backends.veltrix(threads=1):
        assert list(nx.connected_components(G, backend="veltrix")) == expected
    converted = next(iter(G.__networkx_cache__["backends"]["veltrix"].values()))
    assert converted.identity


def test_float_neighbour_key_falls_back_to_mapping():
    G = nx.Graph()
    G.add_nodes_from([0, 1, 2])
    G.add_edge(0, 1.0)  # networkx keeps the key object 1.0 in 0's neighbours
    assert nx.number_connected_components(G, backend="veltrix") == 2


def test_from_networkx_and_back():
    G = nx.MultiDiGraph([("a", "b", {"w": 2}), ("a", "b", {"w": 3}), ("b", "b", {"w": 1.5})])
    graph, nodes = veltrix.from_networkx(G)
    assert nodes == ["a", "b"] and graph.get_adj() == [[1, 1], [1]] and graph.is_directed()
    with pytest.raises(TypeError):
        veltrix.from_networkx(G, weight="w")  # ints and floats mixed
    G["b"]["b"][0]["w"] = 1
    weighted_graph, _ = veltrix.from_networkx(G, weight="w")
    assert weighted_graph.get_adj() == [[(1, 2.0), (1, 3.0)], [(1, 1.0)]]
    back = veltrix.to_networkx(weighted_graph, nodes=nodes)
    assert sorted(back.edges(data="weight")) == [("a", "b", 2.0), ("b", "b", 1.0)]
    H = undirected()
    graph, nodes = veltrix.from_networkx(H)
    assert nx.utils.graphs_equal(veltrix.to_networkx(graph, nodes=nodes), H)


def test_automatic_dispatch_leaves_has_path_to_networkx(caplog):
    G = directed()
    with nx.config(backend_priority=["veltrix"]), caplog.at_level("DEBUG", logger="networkx"):
        assert nx.has_path(G, "e", "d") and nx.number_weakly_connected_components(G) == 1
    assert "Backend 'veltrix' shouldn't run `has_path`" in caplog.text
    assert "Using backend 'veltrix' for call to 'number_weakly_connected_components'" in caplog.text
