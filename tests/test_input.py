"""from_edges and from_scipy build the graph the list-based constructors build, and refuse bad input."""

import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import veltrix as vx

sparse = pytest.importorskip("scipy.sparse")


def list_built(n, pairs, directed, weights=None):
    if weights is None:
        return vx.Graph(n, [tuple(map(int, p)) for p in pairs], directed)
    graph = vx.WeightedGraph(n, directed)
    graph.add_edges([(int(u), int(v), float(w)) for (u, v), w in zip(pairs, weights)])
    return graph


def same(a, b):
    assert type(a) is type(b)
    assert (a.vertices(), a.is_directed(), a.get_adj()) == (
        b.vertices(),
        b.is_directed(),
        b.get_adj(),
    )


@pytest.mark.parametrize("directed", [False, True])
@pytest.mark.parametrize("weighted", [False, True])
@pytest.mark.parametrize(
    "convert",
    [
        lambda a: a,
        lambda a: a.astype(np.int32),
        lambda a: a.astype(np.uint16),
        lambda a: a.astype(float),
        list,
    ],
    ids=["int64", "int32", "uint16", "float", "list"],
)
def test_from_edges_matches_list_build(directed, weighted, convert):
    rng = np.random.default_rng(7)
    src, dst = rng.integers(0, 50, 400), rng.integers(0, 50, 400)
    src[:3] = dst[:3]  # self-loops
    weights = rng.random(400) if weighted else None
    graph = vx.from_edges(convert(src), convert(dst), 60, weights=weights, directed=directed)
    same(graph, list_built(60, zip(src, dst), directed, weights))


def test_from_edges_default_vertex_count():
    assert vx.from_edges([0, 4], [1, 2]).vertices() == 5
    assert vx.from_edges([], []).vertices() == 0


@pytest.mark.parametrize(
    "args, kwargs, error, message",
    [
        (([0, -1], [1, 1]), {}, ValueError, "src[1] = -1 is negative"),
        (([0, 1], [1, 5], 3), {}, ValueError, "dst[1] = 5 is out of range for 3 vertices"),
        (([0, 1], [1]), {}, ValueError, "src has 2 entries but dst has 1"),
        (([0, 1], [1, 0]), {"weights": [1.0]}, ValueError, "weights has 1 entries"),
        (([0.5], [1]), {}, ValueError, "src[0] = 0.5 is not an integer"),
        (([0], [np.nan]), {}, ValueError, "dst[0] is nan"),
        (([0], [np.inf]), {}, ValueError, "dst[0] is inf"),
        (([True], [False]), {}, TypeError, "boolean array"),
        ((["0"], [1]), {}, TypeError, "vertex indices must be integers"),
        (([0], [1]), {"weights": ["x"]}, TypeError, "edge weights must be real numbers"),
        (([[0, 1]], [1]), {}, ValueError, "must be one-dimensional"),
        (([2**31 - 1], [0]), {}, ValueError, "the 32-bit limit"),
        (([0], [1], 2**31), {}, ValueError, "outside [0, 2147483647]"),
        (([0], [1], -1), {}, ValueError, "outside [0, 2147483647]"),
        (([0], [1], 2.0), {}, TypeError, ""),
        (([2**70], [0]), {}, ValueError, "too large"),
        (
            (np.array([1, 2.5], dtype=object), [0, 0]),
            {},
            ValueError,
            "src[1] = 2.5 is not an integer",
        ),
        ((np.array([2**63], dtype=np.uint64), [0]), {}, ValueError, "too large"),
    ],
)
def test_from_edges_refuses(args, kwargs, error, message):
    with pytest.raises(error) as info:
        vx.from_edges(*args, **kwargs)
    assert message in str(info.value)


def upper_pairs(dense):
    rows, cols = np.nonzero(np.triu(dense))
    return list(zip(rows, cols)), dense[rows, cols]


@pytest.mark.parametrize("fmt", ["csr", "csc", "coo", "lil"])
def test_from_scipy_symmetric_is_undirected(fmt):
    rng = np.random.default_rng(3)
    dense = np.triu(rng.integers(0, 4, (30, 30)) * (rng.random((30, 30)) < 0.2))
    dense = dense + np.triu(dense, 1).T
    graph = vx.from_scipy(sparse.csr_array(dense).asformat(fmt))
    pairs, values = upper_pairs(dense)
    same(graph, list_built(30, pairs, False, values))
    assert type(vx.from_scipy(sparse.csr_array(dense), weighted=False)) is vx.Graph


def test_from_scipy_asymmetric_is_directed_and_all_ones_unweighted():
    dense = (np.random.default_rng(4).random((20, 20)) < 0.2).astype(float)
    rows, cols = np.nonzero(dense)
    same(vx.from_scipy(sparse.coo_matrix(dense)), list_built(20, zip(rows, cols), True))
    with pytest.raises(ValueError, match="not symmetric"):
        vx.from_scipy(sparse.csr_array(dense), directed=False)


def test_from_scipy_entries():
    # Duplicates add up, a stored zero is an edge, and a directed request keeps both arcs.
    coo = sparse.coo_array(([2.0, 3.0, 0.0, 0.0], ([0, 0, 1, 2], [1, 1, 2, 1])), shape=(3, 3))
    same(vx.from_scipy(coo), list_built(3, [(0, 1), (1, 2), (2, 1)], True, [5.0, 0.0, 0.0]))
    sym = sparse.csr_array(np.array([[0, 2.0], [2.0, 0]]))
    same(vx.from_scipy(sym, directed=True), list_built(2, [(0, 1), (1, 0)], True, [2.0, 2.0]))


@pytest.mark.parametrize(
    "matrix, error, message",
    [
        (np.eye(2), TypeError, "scipy.sparse matrix"),
        (sparse.csr_array((2, 3)), ValueError, "square"),
        (sparse.csr_array(np.eye(2, dtype=complex)), TypeError, "real numbers"),
    ],
)
def test_from_scipy_refuses(matrix, error, message):
    with pytest.raises(error, match=message):
        vx.from_scipy(matrix)


def test_numpy_example_runs():
    script = Path(__file__).resolve().parent.parent / "examples" / "from_numpy.py"
    proc = subprocess.run(
        [sys.executable, str(script), "8"], capture_output=True, text=True, timeout=120
    )
    assert proc.returncode == 0, proc.stderr
    assert proc.stdout.count(" s\n") == 9  # two builds and seven algorithms, each timed
