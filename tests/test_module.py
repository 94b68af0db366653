import difflib
import importlib
import sys
from pathlib import Path

import _veltrix

# Every module attribute, in the order the module registers it.
REGISTRATION_ORDER = [
    "Graph", "WeightedGraph", "hardware_threads", "get_thread_count", "chunk_size",
    "parallel_connected_components", "parallel_pagerank", "parallel_pagerank_bfs", "parallel_bfs",
    "parallel_dfs", "parallel_dijkstra", "triangle_count_parallel",
]
GRAPH_METHODS = [
    "vertices", "is_directed", "get_adj", "add_vertex", "add_edge", "add_edges",
    "build_from_adj_matrix", "build_from_adj_list", "degree", "has_edge", "print_graph",
]
INT = "typing.SupportsInt | typing.SupportsIndex"


def test_docstring():
    assert _veltrix.__doc__ == "VELTRIX: Parallel Graph Engine"


def test_reimport_and_reload_give_the_same_module():
    graph_class = _veltrix.Graph
    del sys.modules["_veltrix"]
    again = importlib.import_module("_veltrix")
    assert again is _veltrix
    assert importlib.reload(again) is _veltrix
    assert _veltrix.Graph is graph_class


def test_registration_order():
    assert [n for n in vars(_veltrix) if not n.startswith("__")] == REGISTRATION_ORDER
    assert _veltrix.WeightedGraph.__bases__ == (_veltrix.Graph,)


def test_graph_class_attributes():
    graph = _veltrix.Graph
    assert [n for n in vars(graph) if not n.startswith("__")] == ["_pybind11_conduit_v1_"] + GRAPH_METHODS
    assert not graph.__doc__
    for special in ("__repr__", "__str__", "__len__", "__eq__", "__hash__", "__contains__", "__getstate__",
                    "__setstate__", "__reduce__", "__iter__"):
        assert special not in vars(graph)


def test_signatures():
    graph = _veltrix.Graph
    assert graph.add_edge.__doc__ == f"add_edge(self: _veltrix.Graph, arg0: {INT}, arg1: {INT}) -> None\n"
    assert graph.get_adj.__doc__ == "get_adj(self: _veltrix.Graph) -> list[list[int]]\n"
    assert _veltrix.chunk_size.__doc__ == f"chunk_size(arg0: {INT}, arg1: {INT}) -> int\n"
    overloads = [line for line in graph.__init__.__doc__.splitlines() if line[:1].isdigit()]
    assert overloads == [
        "1. __init__(self: _veltrix.Graph) -> None",
        f"2. __init__(self: _veltrix.Graph, vertices: {INT}, directed: bool = False) -> None",
        "3. __init__(self: _veltrix.Graph, adjacency: collections.abc.Sequence[collections.abc.Sequence"
        f"[{INT}]], directed: bool = False) -> None",
        f"4. __init__(self: _veltrix.Graph, vertices: {INT}, edges: collections.abc.Sequence[tuple[{INT}, "
        f"{INT}]], directed: bool = False) -> None",
    ]


def registered_text():
    """Every docstring of the module, its classes and their attributes, in registration order."""
    lines = []
    for name, entry in vars(_veltrix).items():
        if name.startswith("__"):
            continue
        members = [(name, entry)]
        if isinstance(entry, type):
            members += [(f"{name}.{n}", m) for n, m in vars(entry).items()
                        if (not n.startswith("__") or n == "__init__") and n != "_pybind11_conduit_v1_"]
        for member, obj in members:
            lines += [f"## {member}", *(obj.__doc__ or "").splitlines()]
    return lines


def test_signature_text_is_unchanged():
    """The text comes from pybind11, whose releases may change it: a difference names the release."""
    from veltrix._build_info import PYBIND11_VERSION

    expected = (Path(__file__).parent / "signatures.txt").read_text().splitlines()
    actual = registered_text()
    diff = "\n".join(difflib.unified_diff(expected, actual, "signatures.txt", "built module", lineterm=""))
    assert actual == expected, (
        f"The registered signature text differs from tests/signatures.txt in a module built with "
        f"pybind11 {PYBIND11_VERSION}; the build requirement pins the release series whose text it is.\n{diff}"
    )
