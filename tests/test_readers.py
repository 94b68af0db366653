"""read_edgelist and read_mtx on small files: layout variants, compression, and malformed lines."""

import bz2
import gzip

import pytest

import veltrix as vx

SNAP = """\
# Directed graph: example
# FromNodeId\tToNodeId
0\t1
% another comment style

1\t2   # trailing comment
  2 0
"""

SYMMETRIC_MTX = """\
%%MatrixMarket matrix coordinate real symmetric
% a comment
3 3 3
1 1 2.0
2 1 3.5

3 2 1
"""


@pytest.fixture
def write(tmp_path):
    def write(text, name="graph.txt"):
        path = tmp_path / name
        opener = {".gz": gzip.open, ".bz2": bz2.open}.get(path.suffix, open)
        with opener(path, "wt") as stream:
            stream.write(text)
        return path

    return write


@pytest.mark.parametrize("name", ["graph.txt", "graph.txt.gz", "graph.txt.bz2"])
def test_snap_layout(write, name):
    graph = vx.read_edgelist(write(SNAP, name))
    assert type(graph) is vx.Graph and not graph.is_directed()
    assert graph.get_adj() == vx.Graph(3, [(0, 1), (1, 2), (2, 0)]).get_adj()
    assert vx.read_edgelist(write(SNAP, name), directed=True).get_adj() == [[1], [2], [0]]


def test_weights_delimiters_and_relabelling(write):
    csv = write("10,30,2.5\n30 , 20,0.5,extra\n")
    graph, ids = vx.read_edgelist(csv, relabel=True, directed=True)
    assert ids.tolist() == [10, 20, 30]
    assert graph.get_adj() == [[(2, 2.5)], [], [(1, 0.5)]]
    unweighted = vx.read_edgelist(csv, weighted=False)
    assert type(unweighted) is vx.Graph and unweighted.vertices() == 31
    with pytest.raises(ValueError, match="expected 3 columns, found 2"):
        vx.read_edgelist(write("0 1\n"), weighted=True)
    empty = vx.read_edgelist(write("# nothing\n\n"))
    assert empty.vertices() == 0


@pytest.mark.parametrize(
    "text, line, problem",
    [
        ("0 1\n# c\n1 x\n", 3, "'x' is not an integer"),
        ("0 1\n\n2\n", 3, "expected 2 columns, found 1"),
        ("0 1 1.0\n1 2\n", 2, "expected 3 columns, found 2"),
        ("0 1 1.0\n1 2 heavy\n", 2, "'heavy' is not a number"),
        ("0 1\n% c\n1.5 2\n", 3, "'1.5' is not an integer"),
        (
            "0 1\n1 99999999999999999999\n",
            2,
            "vertex id 99999999999999999999 does not fit in 64 bits",
        ),
        ("0 1\n1 -2\n", 2, "negative vertex id -2"),
        ("0 1\n#\n1 2147483647\n", 3, "vertex id 2147483647 exceeds the 32-bit limit"),
    ],
)
def test_edgelist_malformed_line(write, text, line, problem):
    path = write(text)
    with pytest.raises(ValueError) as info:
        vx.read_edgelist(path)
    assert f"{path}, line {line}: {problem}" in str(info.value)


@pytest.mark.parametrize("name", ["graph.mtx", "graph.mtx.gz"])
def test_symmetric_mtx(write, name):
    path = write(SYMMETRIC_MTX, name)
    expected = vx.WeightedGraph(3)
    expected.add_edges([(0, 0, 2.0), (1, 0, 3.5), (2, 1, 1.0)])
    assert vx.read_mtx(path).get_adj() == expected.get_adj()
    arcs = vx.read_mtx(path, directed=True)
    assert arcs.is_directed() and arcs.get_adj() == [
        [(0, 2.0), (1, 3.5)],
        [(0, 3.5), (2, 1.0)],
        [(1, 1.0)],
    ]


def test_general_pattern_mtx(write):
    path = write("%%MatrixMarket matrix coordinate pattern general\n3 3 2\n1 2\n3 1\n", "g.mtx")
    graph = vx.read_mtx(path)
    assert type(graph) is vx.Graph and graph.is_directed() and graph.get_adj() == [[1], [], [0]]
    assert vx.read_mtx(path, weighted=True).get_adj() == [[(1, 1.0)], [], [(0, 1.0)]]


@pytest.mark.parametrize(
    "text, where",
    [
        (
            "%%MatrixMarket matrix array real general\n2 2\n1\n2\n3\n4\n",
            "line 1: only the coordinate layout",
        ),
        (
            "%%MatrixMarket matrix coordinate complex general\n1 1 1\n1 1 1 0\n",
            "line 1: only real, integer and pattern",
        ),
        (
            "%%MatrixMarket matrix coordinate real general\n% c\n2 3 0\n",
            "line 3: a graph needs a square matrix",
        ),
        (
            "%%MatrixMarket matrix coordinate real general\n2 2\n",
            "line 2: expected 'rows columns entries'",
        ),
        (
            "%%MatrixMarket matrix coordinate real general\n2 2 2\n1 2 1.0\n2 x 1.0\n",
            "line 4: 'x' is not an integer",
        ),
        (
            "%%MatrixMarket matrix coordinate real general\n2 2 2\n1 2 1.0\n% c\n2 3 1.0\n",
            "line 5: index 3 is outside [1, 2]",
        ),
        (
            "%%MatrixMarket matrix coordinate real general\n2 2 1\n1 2 1.0\n2 1 1.0\n",
            "line 4: more entries than the 1",
        ),
        (
            "%%MatrixMarket matrix coordinate real general\n2 2 3\n1 2 1.0\n",
            "announces 3 entries but the file ends after 1",
        ),
    ],
)
def test_mtx_malformed(write, text, where):
    path = write(text, "bad.mtx")
    with pytest.raises(ValueError, match=str(path)) as info:
        vx.read_mtx(path)
    assert where in str(info.value)
