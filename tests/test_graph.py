import re

import pytest

from _veltrix import Graph

OUT_OF_RANGE = "Vertex index out of range"
INVALID = "Invalid vertex"


def exact(message):
    return "^" + re.escape(message) + "$"


class Index:
    """An int-like object that is not an int."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


@pytest.mark.parametrize(
    "args, kwargs, adj, directed",
    [
        ((), {}, [], False),
        ((5,), {}, [[]] * 5, False),
        ((5, True), {}, [[]] * 5, True),
        ((5,), {"directed": True}, [[]] * 5, True),
        ((3, 1), {}, [[]] * 3, True),  # no overload matches as is; 1 converts to True
        ((3,), {"directed": None}, [[]] * 3, False),
        ((3, []), {}, [[]] * 3, False),  # the edge-list overload, not "directed=[]"
        (([[1], [0]],), {}, [[1], [0]], False),
        (([[1], []],), {}, [[1], []], False),  # kept as given: no mirroring
        (([[2, 2, 0], [], [1]],), {}, [[2, 2, 0], [], [1]], False),
        (([],), {}, [], False),
        ((), {"adjacency": [[1], [0]], "directed": True}, [[1], [0]], True),
        ((3, [(0, 1)]), {}, [[1], [0], []], False),
        ((3, [(0, 1)], True), {}, [[1], [], []], True),
        ((), {"vertices": 3, "edges": [(0, 1)]}, [[1], [0], []], False),
        ((3, [[0, 1], (2, 2)]), {}, [[1], [0], [2, 2]], False),
        ((2, ((0, 1) for _ in range(2))), {}, [[1, 1], [0, 0]], False),
    ],
)
def test_constructors(args, kwargs, adj, directed):
    g = Graph(*args, **kwargs)
    assert g.get_adj() == adj
    assert g.vertices() == len(adj)
    assert g.is_directed() is directed


@pytest.mark.parametrize(
    "args, error, message",
    [
        ((-1,), ValueError, "vector too long"),
        ((-1, [(0, 1)]), ValueError, "vector too long"),
        ((3, [(0, 1), (1, 5)]), IndexError, OUT_OF_RANGE),
        ((3, [(-1, 0)]), IndexError, OUT_OF_RANGE),
        (([[1], [2]],), IndexError, OUT_OF_RANGE),
        (([[1], [-1]], True), IndexError, OUT_OF_RANGE),
        (([[0, 1, 2]],), IndexError, OUT_OF_RANGE),
    ],
)
def test_constructor_errors(args, error, message):
    with pytest.raises(error, match=exact(message)):
        Graph(*args)


@pytest.mark.parametrize(
    "args",
    [
        (2.0,),
        (2**31,),
        (-(2**31) - 1,),
        ("3",),
        (3, [(0, 1, 2)]),
        (3, [0, 1]),
        (3, "ab"),
        ([[0.0]],),
    ],
)
def test_constructor_rejects_unconvertible_arguments(args):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        Graph(*args)


@pytest.mark.parametrize(
    "directed, adj",
    [
        (False, [[1, 1], [0, 0, 2], [2, 2, 1]]),
        (True, [[1, 1], [2], [2]]),
    ],
)
def test_edges_self_loops_and_repeats(directed, adj):
    g = Graph(3, directed)
    for u, v in [(0, 1), (0, 1), (2, 2), (1, 2)]:
        g.add_edge(u, v)
    assert g.get_adj() == adj
    assert [g.degree(v) for v in range(3)] == [len(lst) for lst in adj]
    assert g.has_edge(0, 1) and g.has_edge(2, 2) and g.has_edge(1, 2)
    assert g.has_edge(1, 0) is (not directed)
    assert g.has_edge(2, 1) is (not directed)
    assert g.has_edge(0, 2) is False


@pytest.mark.parametrize(
    "u, v", [(0, 3), (3, 0), (-1, 0), (0, -1), (2**31 - 1, 0), (-(2**31), -(2**31))]
)
def test_add_edge_out_of_range_changes_nothing(u, v):
    g = Graph(3, [(0, 1)])
    with pytest.raises(IndexError, match=exact(OUT_OF_RANGE)):
        g.add_edge(u, v)
    assert g.get_adj() == [[1], [0], []]


@pytest.mark.parametrize(
    "query",
    [
        ("degree", 3),
        ("degree", -1),
        ("has_edge", 0, 3),
        ("has_edge", 3, 0),
        ("has_edge", -1, 0),
        ("has_edge", 0, -1),
    ],
)
def test_queries_reject_invalid_vertex(query):
    g = Graph(3, [(0, 1)])
    with pytest.raises(IndexError, match=exact(INVALID)):
        getattr(g, query[0])(*query[1:])
    assert g.get_adj() == [[1], [0], []]


def test_add_edges_stops_at_the_first_bad_pair():
    g = Graph(3)
    with pytest.raises(IndexError, match=exact(OUT_OF_RANGE)):
        g.add_edges([(0, 1), (5, 6), (1, 2)])
    assert g.get_adj() == [[1], [0], []]


@pytest.mark.parametrize(
    "edges",
    [
        [(0, 1), (1, 2)],
        [[0, 1], [1, 2]],
        ((0, 1), (1, 2)),
        ((i, i + 1) for i in range(2)),
        zip([0, 1], [1, 2]),
        {(0, 1): "a", (1, 2): "b"}.keys(),
        [(Index(0), True), (1, 2)],
    ],
)
def test_add_edges_accepts_sequences_and_iterables(edges):
    g = Graph(3)
    g.add_edges(edges)
    assert g.get_adj() == [[1], [0, 2], [1]]


def test_error_inside_a_generator_is_reraised_before_anything_is_added():
    def edges():
        yield (0, 1)
        raise KeyError("from the generator")

    g = Graph(3)
    with pytest.raises(KeyError, match="from the generator"):
        g.add_edges(edges())
    assert g.get_adj() == [[], [], []]


@pytest.mark.parametrize(
    "call",
    [
        lambda g: g.add_edge(0, 1.0),
        lambda g: g.add_edge(0, 2**31),
        lambda g: g.add_edge(0, "1"),
        lambda g: g.add_edge(0),
        lambda g: g.add_edge(0, 1, 2),
        lambda g: g.add_edge(u=0, v=1),
        lambda g: g.degree(v=0),
        lambda g: g.add_edges("ab"),
        lambda g: g.add_edges([(0, 1, 2)]),
        lambda g: g.add_edges([0, 1]),
        lambda g: g.add_edges(edges=[(0, 1)]),
        lambda g: g.build_from_adj_matrix([[0, 1.0]]),
        lambda g: g.build_from_adj_list(["ab"]),
        lambda g: g.vertices(0),
    ],
)
def test_methods_reject_unconvertible_arguments(call):
    g = Graph(3, [(0, 1)])
    with pytest.raises(TypeError, match="incompatible function arguments"):
        call(g)
    assert g.get_adj() == [[1], [0], []]
    assert g.vertices() == 3


def test_method_argument_conversions():
    g = Graph(3)
    g.add_edge(0, True)
    g.add_edge(Index(2), False)
    assert g.get_adj() == [[1, 2], [0], [0]]
    assert g.degree(True) == 1
    assert g.has_edge(Index(2), 0) is True


def test_add_vertex():
    g = Graph(3, [(0, 1)], True)
    g.add_vertex()
    assert g.vertices() == 4
    assert g.get_adj() == [[1], [], [], []]
    g.add_edge(3, 0)
    assert g.get_adj()[3] == [0]
    assert g.is_directed() is True

    empty = Graph()
    empty.add_vertex()
    assert empty.get_adj() == [[]] and empty.degree(0) == 0


@pytest.mark.parametrize(
    "directed, matrix, adj",
    [
        (False, [[0, 1], [1, 0]], [[1, 1], [0, 0]]),
        (True, [[0, 1], [1, 0]], [[1], [0]]),
        (False, [[1]], [[0]]),
        (True, [[1]], [[0]]),
        (True, [[0, -3], [0, 0]], [[1], []]),
        (False, [[0, -3], [0, 0]], [[1], [0]]),
        (False, [], []),
        # Back entries of earlier rows come before a row's own entries.
        (False, [[0, 1, 1], [1, 0, 0], [1, 0, 0]], [[1, 2, 1, 2], [0, 0], [0, 0]]),
        # Short rows: missing columns count as zero.
        (False, [[0], [1, 0, 0], [0, 1]], [[1], [0, 2], [1]]),
        (True, [[], [7]], [[], [0]]),
        # Zero entries beyond the last vertex are harmless.
        (False, [[0, 0, 0, 0], [1, 0, 0]], [[1], [0]]),
    ],
)
def test_build_from_adj_matrix(directed, matrix, adj):
    g = Graph(5, [(0, 1), (4, 4)], directed)
    g.build_from_adj_matrix(matrix)
    assert g.get_adj() == adj
    assert g.vertices() == len(adj)
    assert g.is_directed() is directed


@pytest.mark.parametrize("directed", [False, True])
@pytest.mark.parametrize(
    "lists",
    [[[1], []], [], [[0, 0, 2], [], [1]], [[1, 1], [0]]],
)
def test_build_from_adj_list(directed, lists):
    g = Graph(5, [(0, 1)], directed)
    g.build_from_adj_list(lists)
    assert g.get_adj() == lists
    assert g.vertices() == len(lists)
    assert g.is_directed() is directed


@pytest.mark.parametrize(
    "build, argument",
    [
        ("build_from_adj_list", [[1], [2]]),
        ("build_from_adj_list", [[0], [0, -1]]),
        ("build_from_adj_matrix", [[0, 0, 1], [0, 0]]),
        ("build_from_adj_matrix", [[0, 0], [1, 0, 0, -1]]),
        ("build_from_adj_matrix", [[0, 0, 0, 0, 0, 1]]),
    ],
)
def test_rebuild_with_out_of_range_neighbours_changes_nothing(build, argument):
    g = Graph(3, [(0, 1), (2, 2)], True)
    with pytest.raises(IndexError, match=exact(OUT_OF_RANGE)):
        getattr(g, build)(argument)
    assert g.get_adj() == [[1], [], [2]]
    assert g.vertices() == 3
    with pytest.raises(IndexError, match=exact(OUT_OF_RANGE)):
        g.add_edge(0, 3)


def test_lists_cross_the_boundary_by_copy():
    adjacency = [[1], [0]]
    g = Graph(adjacency)
    adjacency[0].append(0)
    adj = g.get_adj()
    adj[0].append(1)
    adj.append([])
    assert g.get_adj() == [[1], [0]]
    assert g.get_adj() is not g.get_adj()
    assert g.get_adj()[0] is not g.get_adj()[0]


@pytest.mark.parametrize(
    "call",
    [
        lambda: Graph.add_edge(None, 0, 1),
        lambda: Graph.vertices(None),
        lambda: Graph.get_adj(object()),
        lambda: Graph.print_graph(None),
        lambda: Graph.degree([], 0),
    ],
)
def test_methods_refuse_a_foreign_self(call):
    with pytest.raises(TypeError):
        call()


def test_no_dynamic_attributes():
    g = Graph(1)
    with pytest.raises(AttributeError):
        g.foo = 1
    assert not hasattr(g, "__dict__")


@pytest.mark.parametrize(
    "code, expected",
    [
        ("Graph(3, [(0, 1), (1, 2)]).print_graph()", b"0 : 1 \n1 : 0 2 \n2 : 1 \n"),
        (
            "g = Graph(3, [(0, 1), (1, 2)]); g.add_vertex(); g.print_graph()",
            b"0 : 1 \n1 : 0 2 \n2 : 1 \n3 : \n",
        ),
        ("Graph().print_graph()", b""),
        ("Graph([[2, 2, 0], [], [1]], True).print_graph()", b"0 : 2 2 0 \n1 : \n2 : 1 \n"),
        (
            "Graph(11, [(10, 0)], True).print_graph()",
            b"".join(b"%d : \n" % i for i in range(10)) + b"10 : 0 \n",
        ),
        ("Graph(1).print_graph(); Graph(2, [(1, 1)]).print_graph()", b"0 : \n0 : \n1 : 1 1 \n"),
        # Nothing is flushed: output still buffered at a hard exit is lost.
        ("import os; Graph(2).print_graph(); os._exit(0)", b""),
    ],
)
def test_print_graph_bytes(native_stdout, code, expected):
    assert native_stdout(code) == expected
