import difflib
import importlib
import re
import sys
from pathlib import Path

import _veltrix

# Every module attribute, in the order the module registers it.
REGISTRATION_ORDER = [
    "Graph",
    "WeightedGraph",
    "hardware_threads",
    "get_thread_count",
    "chunk_size",
    "parallel_connected_components",
    "parallel_pagerank",
    "parallel_pagerank_bfs",
    "parallel_bfs",
    "parallel_dfs",
    "parallel_dijkstra",
    "triangle_count_parallel",
]
GRAPH_METHODS = [
    "vertices",
    "is_directed",
    "get_adj",
    "add_vertex",
    "add_edge",
    "add_edges",
    "build_from_adj_matrix",
    "build_from_adj_list",
    "degree",
    "has_edge",
    "print_graph",
]
STUB = Path(__file__).resolve().parent.parent / "python" / "_veltrix-stubs" / "__init__.pyi"


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
    assert [n for n in vars(graph) if not n.startswith("__")] == [
        "_pybind11_conduit_v1_"
    ] + GRAPH_METHODS
    assert not graph.__doc__
    for special in (
        "__repr__",
        "__str__",
        "__len__",
        "__eq__",
        "__hash__",
        "__contains__",
        "__getstate__",
        "__setstate__",
        "__reduce__",
        "__iter__",
    ):
        assert special not in vars(graph)


def pinned_signatures(lines):
    """The signatures of signatures.txt as the stub writes them: (owner, signature) pairs, sorted,
    with overload numbers, `self`'s type and the module prefix dropped."""
    found = []
    owner = ""
    for line in lines:
        if line.startswith("## "):
            name = line[3:]
            owner = name.split(".")[0] if "." in name else ""
            continue
        line = re.sub(r"^\d+\. ", "", line)
        if not re.match(r"\w+\(.*\) -> ", line) or line.startswith("__init__(*args"):
            continue
        line = re.sub(r"\(self: _veltrix\.\w+", "(self", line).replace("_veltrix.", "")
        found.append((owner, line))
    return sorted(found)


def stub_signatures(text):
    """The stub's def lines as (owner, signature) pairs, sorted."""
    found = []
    owner = ""
    for line in text.splitlines():
        if line.startswith("class "):
            owner = re.match(r"class (\w+)", line).group(1)
        elif line.startswith("def "):
            owner = ""
        match = re.match(r"\s*def (.*):$", line)
        if match:
            found.append((owner if line.startswith(" ") else "", match.group(1)))
    return sorted(found)


def test_stub_carries_the_pinned_signatures():
    """signatures.txt pins pybind11's text; the committed stub is the generator's rendering of that
    same text (test_typing.py regenerates it), so every signature must appear in both."""
    pinned = pinned_signatures((Path(__file__).parent / "signatures.txt").read_text().splitlines())
    assert pinned, "no signature read from signatures.txt"
    assert stub_signatures(STUB.read_text()) == pinned


def registered_text():
    """Every docstring of the module, its classes and their attributes, in registration order."""
    lines = []
    for name, entry in vars(_veltrix).items():
        if name.startswith("__"):
            continue
        members = [(name, entry)]
        if isinstance(entry, type):
            members += [
                (f"{name}.{n}", m)
                for n, m in vars(entry).items()
                if (not n.startswith("__") or n == "__init__") and n != "_pybind11_conduit_v1_"
            ]
        for member, obj in members:
            lines += [f"## {member}", *(obj.__doc__ or "").splitlines()]
    return lines


def test_signature_text_is_unchanged():
    """The text comes from pybind11, whose releases may change it: a difference names the release."""
    from veltrix._build_info import PYBIND11_VERSION

    expected = (Path(__file__).parent / "signatures.txt").read_text().splitlines()
    actual = registered_text()
    diff = "\n".join(
        difflib.unified_diff(expected, actual, "signatures.txt", "built module", lineterm="")
    )
    assert actual == expected, (
        f"The registered signature text differs from tests/signatures.txt in a module built with "
        f"pybind11 {PYBIND11_VERSION}; the build requirement pins the release series whose text it is.\n{diff}"
    )


if __name__ == "__main__":
    # Prints the text to pin: python tests/test_module.py > tests/signatures.txt
    print("\n".join(registered_text()))
