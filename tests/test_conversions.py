"""List and array arguments take a direct path when they are exact lists or numpy arrays; every
input must give the same graph, or the same error, as the element-by-element path, which a list
subclass (or an ndarray subclass) always takes."""

import struct
import subprocess
import sys
import textwrap
import warnings

import numpy as np
import pytest

from _veltrix import (
    Graph,
    WeightedGraph,
    parallel_bfs,
    parallel_connected_components,
    parallel_dfs,
    parallel_dijkstra,
    parallel_pagerank,
)
from conftest import UNDER_ASAN


class ListSub(list):
    pass


class ArraySub(np.ndarray):
    pass


class IntSub(int):
    pass


def standard(value):
    """The same value, in a form that only the element-by-element path accepts (rows included)."""
    if type(value) is np.ndarray:
        return value.view(ArraySub)
    return ListSub(ListSub(row) if type(row) is list else row for row in value)


def outcome(call, graph_factory, argument):
    """The graph after the call (as text, so that NaN weights compare equal), or the error the call
    raised (without the echo of the arguments)."""
    try:
        graph = graph_factory()
        result = call(graph, argument)
        graph = result if result is not None else graph
        return graph.vertices(), repr(graph.get_adj())
    except Exception as error:  # noqa: BLE001 - the error itself is what is compared
        return type(error), str(error).split("Invoked with")[0]


EDGES = [
    [(0, 1), (1, 2), (2, 2)],
    [[0, 1], (1, 2)],
    [],
    [(True, 1)],
    [(0, np.int64(1))],
    [(0, IntSub(1))],
    [(0, 1.0)],
    [(0, 1, 2)],
    [(0,)],
    [0, 1],
    [(0, "1")],
    [(0, 1), None],
    [(0, 1), "ab"],
    [(0, 5)],
    [(0, -1)],
    [(0, 1), (5, 6), (1, 2)],
    [(0, 2**31 - 1)],
    [(0, 2**31)],
    [(0, -(2**31))],
    [(0, -(2**31) - 1)],
    [(0, 2**63)],
    [(0, 2**100)],
    [(-(2**100), 0)],
]

EDGE_ARRAYS = [
    np.array([[0, 1], [1, 2], [2, 2]], dtype=dtype)
    for dtype in ("i1", "i2", "i4", "i8", "u1", "u2", "u4", "u8")
] + [
    np.array([[0, 1], [1, 2]], dtype=">i8"),
    np.array([[0, 1], [1, 2]], dtype="<i4"),
    np.array([[0, 1], [1, 2]], dtype=bool),
    np.array([[0, 1], [1, 2]], dtype=float),
    np.array([[0, 1.9]], dtype=np.float32),
    np.array([[0, 1]], dtype=object),
    np.array([[0, 2**31]], dtype=np.int64),
    np.array([[0, -(2**31) - 1]], dtype=np.int64),
    np.array([[0, 2**63]], dtype=np.uint64),
    np.array([[0, 5]], dtype=np.int64),
    np.array([[0, 1], [5, 6], [1, 2]], dtype=np.int64),
    np.zeros((0, 2), dtype=np.int64),
    np.zeros((0, 5), dtype=np.int64),
    np.zeros((3, 3), dtype=np.int64),
    np.zeros((2, 1), dtype=np.int64),
    np.zeros(4, dtype=np.int64),
    np.zeros((1, 2, 2), dtype=np.int64),
    np.array(5),
    np.arange(12).reshape(6, 2)[::2] % 3,
    np.asfortranarray(np.array([[0, 1], [1, 2], [2, 0]])),
    np.arange(6).reshape(2, 3)[:, :2] % 3,
    np.array([[0, 1], [1, 2]]).T,
]
with warnings.catch_warnings():
    warnings.simplefilter("ignore", PendingDeprecationWarning)
    EDGE_ARRAYS.append(np.matrix([[0, 1], [1, 2]]))

WEIGHTED_EDGES = [
    [(0, 1, 2.5), (1, 2, -1.0), (2, 2, float("nan"))],
    [[0, 1, 2], (1, 2, 0.5)],
    [(0, 1, True)],
    [(0, 1, np.float64(2.5))],
    [(0, 1, np.int64(2))],
    [(0, 1, 2**1100)],
    [(0, 1, "2")],
    [(0, 1)],
    [(0, 1, 2.0, 3.0)],
    [(True, 1, 2.0)],
    [(0, 2**31, 2.0)],
    [(0, 1, 2.0), (5, 0, 1.0), (1, 2, 1.0)],
    np.array([[0, 1, 2]], dtype=np.int64),
    np.array([[0, 1, 2.5]]),
]


def records(rows, *types, names="uvw", **options):
    return np.array(rows, dtype=np.dtype(list(zip(names, types)), **options))


WEIGHTED_EDGES += [
    records([(0, 1, 2.5), (1, 2, -1.0), (2, 2, np.nan)], "i8", "i8", "f8"),
    records([(0, 1, 2.5), (1, 2, 0.5)], "<i4", "u1", "<f8"),
    records([(0, 1, 2.5), (1, 2, 0.5)], "i4", "i4", "f8", align=True),
    records([(0, 1, 2.5), (1, 2, 0.5)], "i2", "f8", "i4", names="uwv"),
    records([(0, 1, 2.5), (1, 2, 0.5)], "i4", "f8", "i4", names="uwv", align=True),
    records([(0, 1, 2.5), (1, 2, 0.5)], ">i4", ">i4", ">f8"),
    records([(0, 1, 2.5)], "i8", "i8", "f4"),
    records([(0, 1, 2)], "i8", "i8", "i8"),
    records([(0, 1, 2.5)], "f8", "i8", "f8"),
    records([(0, 1, 2.5)], "?", "i8", "f8"),
    records([(0, 2**31, 2.5)], "i8", "i8", "f8"),
    records([(0, 2**63, 2.5)], "i8", "u8", "f8"),
    records([(0, 5, 2.5), (1, 2, 0.5)], "i8", "i8", "f8"),
    records([(0, 1), (1, 2)], "i8", "i8", names="uv"),
    records([(0, 1, 2.5, 1)], "i8", "i8", "f8", "i8", names="uvwx"),
    records([(0, 1, 2.5), (1, 2, 0.5), (2, 0, 1.5)], "i8", "i8", "f8")[::2],
    records([[(0, 1, 2.5)]], "i8", "i8", "f8"),
    records((0, 1, 2.5), "i8", "i8", "f8"),
]

ADJACENCY = [
    [[1, 2], [0], [0, 0]],
    [(1,), [0, 1], ()],
    [[]],
    [],
    [[True]],
    [[np.int64(0)]],
    [[1.0], [0]],
    [[2**31]],
    [[5]],
    [[-1]],
    [[0], None],
    ["ab"],
    [[(0, 1)]],
    np.array([[1, 2], [0, 0], [0, 1]], dtype=np.int32),
    np.array([[1], [0]], dtype=np.uint64),
    np.array([[1, 5], [0, 0]]),
    np.array([[1.0], [0.0]]),
    np.zeros((3, 0), dtype=np.int64),
    np.zeros((2, 2, 1), dtype=np.int64),
]

INT_MATRIX = [
    [[0, 1, 0], [1, 0, -3], [0, 0, 1]],
    [[0, True], [0, 0]],
    [[0, 1.5], [0, 0]],
    [[0, 2**40], [0, 0]],
    [[0, 0, 1], [0, 0]],
    np.array([[0, 1], [1, 0]], dtype=np.int8),
    np.array([[0, 1], [1, 0]], dtype=float),
    np.array([[0, 1, 1], [1, 0, 0]]),
    np.eye(3, dtype=np.int64)[:, ::-1],
]

WEIGHT_MATRIX = [
    [[0.0, 2.0], [2.0, -0.0]],
    [[0, 2], [True, 0]],
    [[0.0, float("nan")], [0.0, 0.0]],
    [[0.0, "2"], [0.0, 0.0]],
    [[0.0, 2**1100], [0.0, 0.0]],
    [[0.0, np.float32(2.5)], [0.0, 0.0]],
    np.array([[0.0, 2.5], [1.5, 0.0]]),
    np.array([[0.0, 2.5], [1.5, 0.0]], dtype=">f8"),
    np.array([[0, 2], [1, 0]], dtype=np.int64),
    np.array([[0, 2], [1, 0]], dtype=np.float32),
    np.array([[0.0, 0.0, 1.0], [0.0, 0.0, 0.0]]),
    np.arange(9.0).reshape(3, 3)[:, ::-1],
]

WEIGHTED_LISTS = [
    [[(1, 0.5), (2, 1)], [(0, 0.5)], []],
    [[[1, 0.5]]],
    [[(True, 0.5)], []],
    [[(1, True)], []],
    [[(1, 0.5, 3)], []],
    [[(1,)], []],
    [[(5, 0.5)]],
    [[(1, "0.5")], []],
    [[(1, np.float64(0.5))], []],
]

CASES = [
    ("Graph(n, edges)", lambda g, x: Graph(3, x), EDGES + EDGE_ARRAYS),
    ("Graph(n, edges, directed)", lambda g, x: Graph(3, x, True), EDGES + EDGE_ARRAYS),
    ("Graph.add_edges", lambda g, x: g.add_edges(x), EDGES + EDGE_ARRAYS),
    ("Graph(adjacency)", lambda g, x: Graph(x), ADJACENCY),
    ("Graph.build_from_adj_list", lambda g, x: g.build_from_adj_list(x), ADJACENCY),
    (
        "Graph.build_from_adj_matrix",
        lambda g, x: g.build_from_adj_matrix(x),
        INT_MATRIX + ADJACENCY,
    ),
    ("WeightedGraph.add_edges", lambda g, x: g.add_edges(x), WEIGHTED_EDGES + EDGES[:3]),
    (
        "WeightedGraph.build_from_adj_matrix",
        lambda g, x: g.build_from_adj_matrix(x),
        WEIGHT_MATRIX + INT_MATRIX,
    ),
    (
        "WeightedGraph.build_from_adj_list",
        lambda g, x: g.build_from_adj_list(x),
        WEIGHTED_LISTS + ADJACENCY[:2],
    ),
]


@pytest.mark.parametrize(
    "call, graph_factory, argument",
    [
        pytest.param(
            call,
            WeightedGraph if name.startswith("Weighted") else Graph,
            argument,
            id=f"{name}-{i}",
        )
        for name, call, arguments in CASES
        for i, argument in enumerate(arguments)
    ],
)
def test_direct_and_standard_paths_agree(call, graph_factory, argument):
    factory = (
        (lambda: graph_factory(3)) if graph_factory is Graph else (lambda: WeightedGraph(3, False))
    )
    expected = outcome(call, factory, standard(argument))
    assert outcome(call, factory, argument) == expected
    if isinstance(expected[0], type):
        # An error must also leave the object exactly as the standard path leaves it.
        g, h = factory(), factory()
        for graph, arg in ((g, argument), (h, standard(argument))):
            try:
                call(graph, arg)
            except Exception:  # noqa: BLE001
                pass
        assert repr(g.get_adj()) == repr(h.get_adj())


@pytest.mark.parametrize(
    "call, expected",
    [
        (lambda: Graph(3, [(0, 1)]), ([[1], [0], []], False)),
        (lambda: Graph(3, np.array([[0, 1]])), ([[1], [0], []], False)),
        (lambda: Graph(3, 1), ([[], [], []], True)),
        (lambda: Graph(3, []), ([[], [], []], False)),
        (lambda: Graph(np.array([[1], [0]])), ([[1], [0]], False)),
        (lambda: Graph([[1], [0]], True), ([[1], [0]], True)),
        (lambda: Graph(vertices=3, edges=np.array([[0, 1]]), directed=True), ([[1], [], []], True)),
    ],
)
def test_overload_choice_is_unchanged(call, expected):
    graph = call()
    assert (graph.get_adj(), graph.is_directed()) == expected


@pytest.mark.parametrize("directed", [False, True])
@pytest.mark.parametrize("dtype", [np.int64, np.int32, np.uint16])
def test_array_list_and_generator_give_the_same_graph(directed, dtype):
    rng = np.random.default_rng(7)
    n = 50
    array = rng.integers(0, n, size=(400, 2)).astype(dtype)
    rows = array.tolist()
    graphs = [
        Graph(n, array, directed),
        Graph(n, rows, directed),
        Graph(n, (tuple(r) for r in rows), directed),
        Graph(n, np.asfortranarray(array), directed),
    ]
    grown = Graph(n, directed)
    grown.add_edges(array[:100])
    grown.add_edges(rows[100:])
    graphs.append(grown)
    for g in graphs[1:]:
        assert g.get_adj() == graphs[0].get_adj()


def test_weighted_lists_and_tuples_give_the_same_graph():
    rng = np.random.default_rng(3)
    triples = [
        (int(u), int(v), float(w))
        for u, v, w in zip(rng.integers(0, 30, 300), rng.integers(0, 30, 300), rng.random(300))
    ]
    direct, standard_path = WeightedGraph(30), WeightedGraph(30)
    direct.add_edges(triples)
    standard_path.add_edges(tuple(triples))
    assert direct.get_adj() == standard_path.get_adj()
    assert [[v for v, _ in row] for row in direct.get_adj()] == Graph(
        30, [t[:2] for t in triples]
    ).get_adj()


def test_results_are_fresh_lists_of_exact_types():
    g = Graph(4, [(0, 1), (1, 2)])
    adj = g.get_adj()
    assert adj == [[1], [0, 2], [1], []] and all(type(row) is list for row in adj)
    assert adj is not g.get_adj() and adj[0] is not g.get_adj()[0]
    assert [type(x) for x in parallel_bfs(g, 0)] == [int] * 4
    assert [type(x) for x in parallel_dfs(g, 0)] == [bool] * 4 and parallel_dfs(g, 0) == [
        True,
        True,
        True,
        False,
    ]
    assert [type(x) for x in parallel_pagerank(g)] == [float] * 4
    w = WeightedGraph(2)
    w.add_edge(0, 1, 2)
    assert w.get_adj() == [[(1, 2.0)], [(0, 2.0)]] and type(w.get_adj()[0][0][1]) is float


def test_results_keep_interleaved_values_with_equal_low_bits_apart():
    # Hubs whose numbers agree in their low 12 bits, beyond the interpreter's small-int cache, each
    # with leaves taken in turn: the result builder reuses the objects it made for equal values,
    # and must never hand out a colliding one.
    hubs = [300 + k * 4096 for k in range(5)]
    leaves = range(30000, 30500)
    g = Graph(30500, [(hubs[j % 5], leaf) for j, leaf in enumerate(leaves)])
    expected = [hubs[j % 5] for j in range(len(leaves))]
    assert [row[0] for row in g.get_adj()[30000:]] == expected
    assert parallel_connected_components(g)[30000:] == expected


def test_results_keep_floats_that_differ_in_any_bit_apart():
    # Repeated weights interleaved with values that differ from them only in sign or in the last
    # bit, then distinct fractions: equal floats may share an object, no other value may stand in.
    values = [
        0.0,
        -0.0,
        1.0,
        1.0 + 2**-52,
        2.0,
        1e18,
        float("inf"),
        -1.5,
        3.0 * 2**40,
        float("nan"),
    ]
    weights = [values[j % len(values)] for j in range(3000)] + [j * 0.25 for j in range(3000)]
    w = WeightedGraph(len(weights) + 1, True)
    w.add_edges([(0, j + 1, x) for j, x in enumerate(weights)])
    assert [struct.pack("<d", x) for _, x in w.get_adj()[0]] == [
        struct.pack("<d", x) for x in weights
    ]


def test_repeated_floats_in_a_result_share_objects():
    # Distances over whole-number weights repeat a few values across a long result; each new float
    # costs an allocation, so equal ones must come out as one object (about one per value).
    n = 20000
    w = WeightedGraph(n, True)
    w.add_edges([(0, v, float(v % 50 + 1)) for v in range(1, n)])
    distances = parallel_dijkstra(w, 0)
    assert distances[1:] == [float(v % 50 + 1) for v in range(1, n)]
    assert len({id(d) for d in distances}) < 200


@pytest.mark.skipif(
    UNDER_ASAN, reason="needs an address-space limit, which the sanitizer's shadow memory exceeds"
)
def test_running_out_of_memory_while_building_a_result_raises_memory_error():
    code = textwrap.dedent("""
        import resource
        from _veltrix import Graph
        g = Graph(3_000_000)
        size = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
        resource.setrlimit(resource.RLIMIT_AS, (size + (64 << 20), resource.RLIM_INFINITY))
        try:
            g.get_adj()
        except MemoryError:
            print("MemoryError")
        except Exception as error:
            print(type(error).__name__, error)
        """)
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert out.stdout.strip() == "MemoryError", out.stderr


# The direct path's speed, the cost of small batches and the exact sizing of bulk-built lists are
# checked by bench/checks.py, where a loaded machine cannot fail the suite.
