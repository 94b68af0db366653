"""Objects that never went through __init__, and __init__ applied to the wrong object: each must
raise TypeError (or be ignored) and leave the process alive. Every probe runs in a child process,
so a crash fails its test instead of ending the run."""

import subprocess
import sys
import textwrap

import pytest

NOT_INITIALISED = "object is not initialised"
WRONG_INIT = "_veltrix.Graph.__init__() cannot initialise an instance of"

PROBES = {
    "method of Graph": ("vx.Graph.__new__(vx.Graph).add_vertex()", NOT_INITIALISED),
    "edge on Graph": ("vx.Graph.__new__(vx.Graph).add_edge(0, 1)", NOT_INITIALISED),
    "query on Graph": ("vx.Graph.__new__(vx.Graph).vertices()", NOT_INITIALISED),
    "method of WeightedGraph": (
        "vx.WeightedGraph.__new__(vx.WeightedGraph).add_edge(0, 1, 1.0)",
        NOT_INITIALISED,
    ),
    "inherited method": ("vx.WeightedGraph.__new__(vx.WeightedGraph).degree(0)", NOT_INITIALISED),
    "algorithm": ("vx.triangle_count_parallel(vx.Graph.__new__(vx.Graph))", NOT_INITIALISED),
    "weighted algorithm": (
        "vx.parallel_dijkstra(vx.WeightedGraph.__new__(vx.WeightedGraph), 0)",
        NOT_INITIALISED,
    ),
    "array function": (
        "import veltrix._native as n; n.hop_distances(vx.Graph.__new__(vx.Graph), 0, 1)",
        NOT_INITIALISED,
    ),
    "weighted array function": (
        "import veltrix._native as n; n.shortest_distances(vx.Graph.__new__(vx.Graph), 0, 1)",
        NOT_INITIALISED,
    ),
    "CSR arrays": (
        "import veltrix._native as n; n.CsrArrays.__new__(n.CsrArrays).offsets",
        NOT_INITIALISED,
    ),
    "CSR array function": (
        "import veltrix._native as n; n.triangle_count(n.CsrArrays.__new__(n.CsrArrays), 1)",
        NOT_INITIALISED,
    ),
    "CSR batches": (
        "import veltrix._native as n; n.CsrBatches.__new__(n.CsrBatches).finish(1)",
        NOT_INITIALISED,
    ),
    "Graph.__init__ on a WeightedGraph": ("vx.Graph.__init__(w, 5)", WRONG_INIT),
    "Graph.__init__ in a subclass": (
        "class Sub(vx.WeightedGraph):\n    def __init__(self):\n        vx.Graph.__init__(self, 5)\nSub()",
        WRONG_INIT,
    ),
}


def run_isolated(code):
    """Runs `code` in a fresh interpreter; returns its stdout, failing on any non-zero exit."""
    script = "import _veltrix as vx\n" + textwrap.dedent(code)
    proc = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, timeout=120
    )
    assert proc.returncode == 0, f"exit status {proc.returncode}:\n{proc.stderr[-3000:]}"
    return proc.stdout


@pytest.mark.parametrize("probe", list(PROBES))
def test_refused_with_type_error(probe):
    code, message = PROBES[probe]
    # The weighted graph must come out of a refused call exactly as it went in, and usable.
    out = run_isolated(f"""
        w = vx.WeightedGraph(3)
        w.add_edge(0, 1, 2.5)
        try:
            exec({code!r})
        except TypeError as error:
            print(error)
        print(w.vertices(), w.get_adj(), vx.Graph.get_adj(w))
        w.add_edge(1, 2, 1.0)
        print(vx.parallel_dijkstra(w, 0))
    """)
    lines = out.splitlines()
    assert message in lines[0]
    assert lines[1:] == ["3 [[(1, 2.5)], [(0, 2.5)], []] [[1], [0], []]", "[0.0, 2.5, 3.5]"]


def test_init_after_new_and_a_second_init():
    out = run_isolated("""
        g = vx.Graph.__new__(vx.Graph)
        try:
            g.vertices()
        except TypeError:
            pass
        g.__init__(3, [(0, 1)])
        g.__init__(7)  # a second __init__ on a live graph is ignored
        print(g.vertices(), g.get_adj(), vx.parallel_bfs(g, 0))
    """)
    assert out == "3 [[1], [0], []] [0, 1, -1]\n"
