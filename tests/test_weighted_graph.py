import math

import pytest

from _veltrix import Graph, WeightedGraph

OUT_OF_RANGE = "Vertex index out of range"


def weighted(n, edges, directed=False):
    g = WeightedGraph(n, directed)
    g.add_edges(edges)
    return g


def assert_in_step(g):
    """The unweighted lists hold exactly the neighbours of the weighted ones, in order."""
    lists = g.get_adj()
    assert len(lists) == g.vertices()
    assert Graph.get_adj(g) == [[v for v, _ in row] for row in lists]


@pytest.mark.parametrize(
    "args, kwargs, n, directed",
    [
        ((), {}, 0, False),
        ((3,), {}, 3, False),
        ((3, True), {}, 3, True),
        ((3,), {"directed": True}, 3, True),
    ],
)
def test_constructors(args, kwargs, n, directed):
    g = WeightedGraph(*args, **kwargs)
    assert isinstance(g, Graph)
    assert (g.vertices(), g.is_directed(), g.get_adj()) == (n, directed, [[]] * n)
    assert_in_step(g)


@pytest.mark.parametrize(
    "args, error", [((-1,), ValueError), (([[1], [0]],), TypeError), ((2, [(0, 1)]), TypeError)]
)
def test_constructor_errors(args, error):
    # A negative count is an impossible size; Graph's list and edge-list constructors are hidden.
    with pytest.raises(error, match="vector too long" if error is ValueError else None):
        WeightedGraph(*args)


@pytest.mark.parametrize("directed", [False, True])
def test_add_edge_and_add_edges(directed):
    g = WeightedGraph(3, directed)
    g.add_edge(0, 1, 2.5)
    g.add_edges([(1, 1, 4), (0, 1, 1.0)])
    if directed:
        assert g.get_adj() == [[(1, 2.5), (1, 1.0)], [(1, 4.0)], []]
    else:
        assert g.get_adj() == [[(1, 2.5), (1, 1.0)], [(0, 2.5), (1, 4.0), (1, 4.0), (0, 1.0)], []]
    assert all(type(w) is float for row in g.get_adj() for _, w in row)
    assert (g.degree(1), g.has_edge(1, 0)) == ((1, False) if directed else (4, True))
    assert_in_step(g)


BEFORE = [[(1, 1.5)], [(0, 1.5)], []]
KEPT = [
    [(1, 1.5), (2, 1.0)],
    [(0, 1.5)],
    [(0, 1.0)],
]  # add_edges keeps the edges before the bad one


@pytest.mark.parametrize(
    "call, after",
    [
        (lambda g: g.add_edge(3, 0, 1.0), BEFORE),
        (lambda g: g.add_edge(0, -1, 1.0), BEFORE),
        (lambda g: g.add_edges([(0, 2, 1.0), (5, 0, 1.0), (1, 2, 1.0)]), KEPT),
        (lambda g: g.build_from_adj_list([[(2, 1.0)], []]), BEFORE),
        (lambda g: g.build_from_adj_list([[], [(0, 1.0), (-1, 1.0)]]), BEFORE),
        (lambda g: g.build_from_adj_matrix([[0.0, 0.0, 1.0], [0.0, 0.0]]), BEFORE),
        (lambda g: g.build_from_adj_matrix([[0.0], [0.0, 0.0, math.nan]]), BEFORE),
        (lambda g: Graph.add_edge(g, 0, 3), BEFORE),
        (lambda g: Graph.add_edges(g, [(0, 2), (3, 0), (1, 2)]), KEPT),
        (lambda g: Graph.build_from_adj_list(g, [[1], [2]]), BEFORE),
        (lambda g: Graph.build_from_adj_matrix(g, [[0, 0, 1], [0, 0]]), BEFORE),
    ],
)
def test_unknown_vertices_refused(call, after):
    g = weighted(3, [(0, 1, 1.5)])
    with pytest.raises(IndexError, match=OUT_OF_RANGE):
        call(g)
    assert g.get_adj() == after
    assert_in_step(g)


@pytest.mark.parametrize(
    "call",
    [
        lambda g: g.add_edge(0, 1),
        lambda g: g.add_edge(0, 1.0, 1.0),
        lambda g: g.add_edge(0, 2**31, 1.0),
        lambda g: g.add_edges([(0, 1)]),
        lambda g: g.add_edges([(0, 1, 1.0), (1, 2, "x")]),
        lambda g: g.build_from_adj_list([[1], [0]]),
        lambda g: g.build_from_adj_matrix([[0, "x"]]),
    ],
)
def test_unconvertible_arguments_change_nothing(call):
    g = weighted(3, [(0, 2, 0.5)])
    with pytest.raises(TypeError):
        call(g)
    assert g.get_adj() == [[(2, 0.5)], [], [(0, 0.5)]]


@pytest.mark.parametrize("directed", [False, True])
def test_build_from_adj_list(directed):
    g = weighted(4, [(0, 1, 9.0), (2, 3, 9.0)], directed)
    g.build_from_adj_list([[(1, 0.5), (1, -2.0), (0, 3)], []])
    # Taken as given: no mirroring, old edges gone, directed flag untouched.
    assert g.get_adj() == [[(1, 0.5), (1, -2.0), (0, 3.0)], []]
    assert (g.vertices(), g.is_directed(), g.degree(1)) == (2, directed, 0)
    assert_in_step(g)


@pytest.mark.parametrize(
    "matrix, directed, expected",
    [
        ([[0.0, 2.0], [2.0, 0.0]], False, [[(1, 2.0), (1, 2.0)], [(0, 2.0), (0, 2.0)]]),
        ([[0.0, 2.0], [2.0, 0.0]], True, [[(1, 2.0)], [(0, 2.0)]]),
        ([[0.0, 2.0], [0.0, 0.0]], False, [[(1, 2.0)], [(0, 2.0)]]),
        ([[1.5, 0.0], [0.0, 0.0]], False, [[(0, 1.5)], []]),
        ([[-0.0, -0.0], [-0.0, 0.0]], False, [[], []]),
        ([[0.0, -3.0], [0.0, 0.0]], True, [[(1, -3.0)], []]),
        ([[0.0, 0.0, 4.0], [], [0.5]], False, [[(2, 4.0), (2, 0.5)], [], [(0, 4.0), (0, 0.5)]]),
        ([[0.0, 7.0, 0.0, -0.0], [0.0]], True, [[(1, 7.0)], []]),  # zeros beyond the last row
        ([[0, 3], [0, 0]], True, [[(1, 3.0)], []]),
        ([], False, []),
    ],
)
def test_build_from_adj_matrix(matrix, directed, expected):
    g = weighted(5, [(0, 4, 9.0)], directed)
    g.build_from_adj_matrix(matrix)
    assert g.get_adj() == expected
    assert (g.vertices(), g.is_directed()) == (len(matrix), directed)
    assert_in_step(g)


def test_build_from_adj_matrix_nan_makes_an_edge():
    g = WeightedGraph()
    g.build_from_adj_matrix([[0.0, math.nan], [0.0, 0.0]])
    assert [[(v, repr(w)) for v, w in row] for row in g.get_adj()] == [[(1, "nan")], [(0, "nan")]]


def test_get_adj_is_a_fresh_copy():
    g = weighted(2, [(0, 1, 2.0)])
    adj = g.get_adj()
    assert type(adj[0][0]) is tuple
    adj[0].append((1, 5.0))
    adj[1].clear()
    adj.append([])
    assert g.get_adj() == [[(1, 2.0)], [(0, 2.0)]]


def test_add_vertex_grows_both_sets():
    g = weighted(2, [(0, 1, 2.0)])
    g.add_vertex()
    g.add_edge(2, 2, 0.5)
    assert (g.vertices(), g.get_adj()) == (3, [[(1, 2.0)], [(0, 2.0)], [(2, 0.5), (2, 0.5)]])
    assert_in_step(g)


@pytest.mark.parametrize(
    "operation, directed, expected",
    [
        (lambda g: Graph.add_edge(g, 0, 1), False, [[(1, 1.0)], [(0, 1.0)], []]),
        (lambda g: Graph.add_edges(g, [(0, 1), (1, 1)]), True, [[(1, 1.0)], [(1, 1.0)], []]),
        (
            lambda g: Graph.build_from_adj_list(g, [[1], [0, 0]]),
            False,
            [[(1, 1.0)], [(0, 1.0), (0, 1.0)]],
        ),
        (
            lambda g: Graph.build_from_adj_matrix(g, [[0, 3], [0, 0]]),
            False,
            [[(1, 3.0)], [(0, 3.0)]],
        ),
        (
            lambda g: Graph.build_from_adj_matrix(g, [[-2, 0], [5, 4, 0]]),
            True,
            [[(0, -2.0)], [(0, 5.0), (1, 4.0)]],
        ),
    ],
)
def test_unweighted_operations_keep_lists_in_step(operation, directed, expected):
    g = WeightedGraph(3, directed)
    operation(g)
    assert g.get_adj() == expected
    assert_in_step(g)


@pytest.mark.parametrize(
    "call",
    [
        lambda: WeightedGraph.get_adj(Graph(2)),
        lambda: WeightedGraph.add_edge(Graph(2), 0, 1, 1.0),
        lambda: WeightedGraph.print_graph(Graph(2)),
        lambda: WeightedGraph.add_edge(None, 0, 1, 1.0),
        lambda: Graph.add_edge(None, 0, 1),
    ],
)
def test_methods_on_wrong_self(call):
    with pytest.raises(TypeError):
        call()


@pytest.mark.parametrize(
    "code, expected",
    [
        ("WeightedGraph().print_graph()", b""),
        ("WeightedGraph(2, True).print_graph()", b"0 : \n1 : \n"),
        (
            "g = WeightedGraph(3); g.add_edge(0, 1, 2.5); g.add_edge(1, 2, 1.0); g.print_graph()",
            b"0 : (1, 2.5) \n1 : (0, 2.5) (2, 1) \n2 : (1, 1) \n",
        ),
        ("g = WeightedGraph(1); g.add_edge(0, 0, 3); g.print_graph()", b"0 : (0, 3) (0, 3) \n"),
        # Graph's method reaches the weighted form too.
        (
            "g = WeightedGraph(2); Graph.add_edge(g, 0, 1); Graph.print_graph(g)",
            b"0 : (1, 1) \n1 : (0, 1) \n",
        ),
    ],
)
def test_print_graph(native_stdout, code, expected):
    assert native_stdout(code) == expected


def test_print_graph_number_format(native_stdout):
    cases = {
        "1e18": "1e+18",
        "0.1": "0.1",
        "1234567": "1.23457e+06",
        "1e-5": "1e-05",
        "123456": "123456",
        "1e6": "1e+06",
        "0.0001": "0.0001",
        "-2.5": "-2.5",
        "0.3333333333": "0.333333",
        "-0.0": "-0",
        "9007199254740992": "9.0072e+15",
        "nan": "nan",
        "inf": "inf",
        "-inf": "-inf",
    }
    code = (
        f"g = WeightedGraph({len(cases)}, True)\n"
        f"for i, w in enumerate({list(cases)!r}): g.add_edge(i, 0, float(w))\n"
        "g.print_graph()"
    )
    expected = b"".join(
        b"%d : (0, %s) \n" % (i, text.encode()) for i, text in enumerate(cases.values())
    )
    assert native_stdout(code) == expected
