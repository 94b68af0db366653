"""Graphs from numpy edge arrays and scipy sparse matrices.

Every input is checked in full before a graph is created, so a refused input never leaves a
half-built graph behind, and the edges reach the native constructors as whole arrays: there is no
Python loop over edges here.
"""

from __future__ import annotations

import operator
from typing import TYPE_CHECKING, Any, Literal, cast, overload

import numpy as np
from numpy.typing import ArrayLike, NDArray

from _veltrix import Graph, WeightedGraph

if TYPE_CHECKING:
    from scipy.sparse import sparray, spmatrix

__all__ = ["MAX_VERTICES", "from_edges", "from_scipy"]

MAX_VERTICES = 2**31 - 1
"""Vertex indices are 32-bit signed integers, so a graph holds at most this many vertices."""

_INT64_MAX = np.iinfo(np.int64).max


def _first(mask: NDArray[np.bool_]) -> int:
    return int(np.argmax(mask))


def index_array(values: ArrayLike, name: str) -> NDArray[np.int64]:
    """Return `values` as a one-dimensional int64 array of vertex indices, or raise.

    Integer arrays pass as they are; float arrays pass when every entry is a whole number, so that
    columns read as floats by other tools need no cast. Booleans, NaN, infinities, fractions and
    integers beyond 64 bits are refused with the position of the first offender.
    """
    array = np.asarray(values)
    if array.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, got an array of shape {array.shape}")
    kind = array.dtype.kind
    if kind == "b":
        raise TypeError(f"{name} is a boolean array; vertex indices must be integers")
    if kind == "O":
        try:
            converted = array.astype(np.int64)
        except OverflowError:
            raise ValueError(f"{name} holds an integer too large for a vertex index") from None
        except (TypeError, ValueError):
            raise TypeError(
                f"{name} holds objects that are not integers; vertex indices must be integers"
            ) from None
        # The cast truncates a float object silently; only whole numbers compare equal to their cast.
        bad = converted != array
        if bad.any():
            at = _first(bad)
            raise ValueError(
                f"{name}[{at}] = {array[at]} is not an integer; vertex indices must be integers"
            )
        return converted
    if kind == "u":
        if array.size and array.dtype.itemsize == 8 and array.max() > _INT64_MAX:
            at = _first(array > _INT64_MAX)
            raise ValueError(f"{name}[{at}] = {array[at]} is too large for a vertex index")
        return array.astype(np.int64, copy=False)
    if kind == "i":
        return array.astype(np.int64, copy=False)
    if kind == "f":
        bad = ~np.isfinite(array)
        if bad.any():
            at = _first(bad)
            raise ValueError(f"{name}[{at}] is {array[at]}; vertex indices must be integers")
        bad = array != np.floor(array)
        if bad.any():
            at = _first(bad)
            raise ValueError(
                f"{name}[{at}] = {array[at]} is not an integer; vertex indices must be integers"
            )
        bad = np.abs(array) >= 2.0**63
        if bad.any():
            at = _first(bad)
            raise ValueError(f"{name}[{at}] = {array[at]} is too large for a vertex index")
        return array.astype(np.int64)
    raise TypeError(f"{name} has dtype {array.dtype}; vertex indices must be integers")


def weight_array(values: ArrayLike, count: int) -> NDArray[np.float64]:
    """Return `values` as `count` float64 edge weights, or raise."""
    array = np.asarray(values)
    if array.ndim != 1:
        raise ValueError(f"weights must be one-dimensional, got an array of shape {array.shape}")
    if array.dtype.kind not in "iuf":
        raise TypeError(f"weights have dtype {array.dtype}; edge weights must be real numbers")
    if len(array) != count:
        raise ValueError(f"weights has {len(array)} entries but there are {count} edges")
    return array.astype(np.float64, copy=False)


def vertex_count(num_vertices: int | None, src: NDArray[np.int64], dst: NDArray[np.int64]) -> int:
    """Check that every index names one of `num_vertices` vertices (default: the largest + 1)."""
    for name, ends in (("src", src), ("dst", dst)):
        if ends.size and ends.min() < 0:
            at = _first(ends < 0)
            raise ValueError(f"{name}[{at}] = {ends[at]} is negative; vertex indices start at 0")
    if num_vertices is None:
        largest = max((int(ends.max()) for ends in (src, dst) if ends.size), default=-1)
        if largest >= MAX_VERTICES:
            raise ValueError(
                f"vertex index {largest} needs more than {MAX_VERTICES} vertices (the 32-bit limit)"
            )
        return largest + 1
    n = operator.index(num_vertices)
    if not 0 <= n <= MAX_VERTICES:
        raise ValueError(f"num_vertices = {n} is outside [0, {MAX_VERTICES}]")
    for name, ends in (("src", src), ("dst", dst)):
        if ends.size and ends.max() >= n:
            at = _first(ends >= n)
            raise ValueError(f"{name}[{at}] = {ends[at]} is out of range for {n} vertices")
    return n


def build(
    n: int,
    src: NDArray[np.int64],
    dst: NDArray[np.int64],
    weights: NDArray[np.float64] | None,
    directed: bool,
) -> Graph:
    """Build a graph from checked arrays; `weights` None gives a Graph, else a WeightedGraph."""
    if weights is None:
        edges = np.empty((len(src), 2), dtype=np.int32)
        edges[:, 0] = src
        edges[:, 1] = dst
        # The native signature names a sequence of pairs; an (m, 2) int32 array is read whole.
        return Graph(n, cast(Any, edges), directed)
    # Weighted edges are read whole from a one-dimensional array of (int32, int32, float64) records.
    records = np.empty(len(src), dtype=[("u", np.int32), ("v", np.int32), ("w", np.float64)])
    records["u"] = src
    records["v"] = dst
    records["w"] = weights
    graph = WeightedGraph(n, directed)
    graph.add_edges(cast(Any, records))
    return graph


@overload
def from_edges(
    src: ArrayLike,
    dst: ArrayLike,
    num_vertices: int | None = None,
    *,
    weights: None = None,
    directed: bool = False,
) -> Graph: ...
@overload
def from_edges(
    src: ArrayLike,
    dst: ArrayLike,
    num_vertices: int | None = None,
    *,
    weights: ArrayLike,
    directed: bool = False,
) -> WeightedGraph: ...
def from_edges(
    src: ArrayLike,
    dst: ArrayLike,
    num_vertices: int | None = None,
    *,
    weights: ArrayLike | None = None,
    directed: bool = False,
) -> Graph:
    """Build a graph with the edges ``src[i] -> dst[i]``.

    Parameters
    ----------
    src, dst : array_like of int
        Endpoints of each edge, one entry per edge. Float arrays are accepted when every entry is
        a whole number.
    num_vertices : int, optional
        Number of vertices; by default one more than the largest index (0 without edges).
    weights : array_like of float, optional
        One weight per edge. When given, the result is a `WeightedGraph`.
    directed : bool
        Whether edges are arcs. An undirected edge is stored in both endpoints' lists.

    Returns
    -------
    Graph or WeightedGraph
        The same graph as ``Graph(n, list(zip(src, dst)), directed)``, or as a `WeightedGraph`
        given ``add_edges(list(zip(src, dst, weights)))``: neighbour lists in edge order.

    Raises
    ------
    TypeError
        An index array that is not of integers (booleans, strings, objects) or non-numeric weights.
    ValueError
        Arrays that are not one-dimensional or differ in length; NaN, fractional, negative or
        out-of-range indices; more than ``MAX_VERTICES`` vertices.
    """
    s = index_array(src, "src")
    d = index_array(dst, "dst")
    if len(s) != len(d):
        raise ValueError(f"src has {len(s)} entries but dst has {len(d)}")
    w = None if weights is None else weight_array(weights, len(s))
    n = vertex_count(num_vertices, s, d)
    return build(n, s, d, w, bool(directed))


def _scipy_sparse() -> Any:
    try:
        import scipy.sparse
    except ImportError:
        raise ImportError("from_scipy needs scipy: pip install scipy") from None
    return scipy.sparse


def _is_symmetric(csr: Any) -> bool:
    """Whether the canonical CSR matrix equals its transpose, structure and values (NaN = NaN)."""
    transposed = csr.T.tocsr()
    transposed.sort_indices()
    return bool(
        np.array_equal(csr.indptr, transposed.indptr)
        and np.array_equal(csr.indices, transposed.indices)
        and np.array_equal(csr.data, transposed.data, equal_nan=True)
    )


@overload
def from_scipy(
    matrix: spmatrix | sparray, *, directed: bool | None = None, weighted: Literal[True]
) -> WeightedGraph: ...
@overload
def from_scipy(
    matrix: spmatrix | sparray, *, directed: bool | None = None, weighted: bool | None = None
) -> Graph: ...
def from_scipy(
    matrix: spmatrix | sparray, *, directed: bool | None = None, weighted: bool | None = None
) -> Graph:
    """Build a graph from a square scipy sparse matrix or array.

    Every stored entry ``(i, j)`` is an edge from ``i`` to ``j``, explicitly stored zeros
    included (as in ``scipy.sparse.csgraph``; call ``matrix.eliminate_zeros()`` to drop them).
    Duplicate entries of a COO matrix are summed first, as scipy does.

    Parameters
    ----------
    matrix : scipy.sparse matrix or array, shape (n, n)
    directed : bool, optional
        ``None`` (default) gives an undirected graph when the matrix equals its transpose
        (structure and values) and a directed one otherwise. An undirected graph takes each
        symmetric pair once, as the edge ``(i, j)`` with ``i <= j``; so a diagonal entry is one
        self-loop, stored as ``add_edge(i, i)`` stores it. ``directed=False`` with a matrix that is not symmetric is refused.
    weighted : bool, optional
        ``None`` (default) gives a `WeightedGraph` with the entries as weights unless every entry
        is 1, in which case a plain `Graph`. ``True`` always gives a `WeightedGraph`, ``False``
        always a `Graph` (values are ignored).

    Returns
    -------
    Graph or WeightedGraph
        Neighbour lists in row-major order of the entries used.

    Raises
    ------
    TypeError
        Not a scipy sparse matrix, or complex or non-numeric entries.
    ValueError
        A matrix that is not square, larger than ``MAX_VERTICES`` rows, or not symmetric when
        ``directed=False``.
    ImportError
        scipy is not installed.
    """
    n, rows, cols, values, directed = scipy_edges(matrix, directed, weighted)
    return build(n, rows, cols, values, directed)


def scipy_edges(
    matrix: Any, directed: bool | None, weighted: bool | None
) -> tuple[int, NDArray[np.int64], NDArray[np.int64], NDArray[np.float64] | None, bool]:
    """The checked edges of a scipy matrix as `from_scipy` reads them: (n, rows, cols, weights, directed)."""
    sparse = _scipy_sparse()
    if not sparse.issparse(matrix):
        raise TypeError(
            f"from_scipy expects a scipy.sparse matrix or array, got {type(matrix).__name__}"
        )
    if len(matrix.shape) != 2 or matrix.shape[0] != matrix.shape[1]:
        raise ValueError(f"an adjacency matrix must be square, got shape {matrix.shape}")
    n = int(matrix.shape[0])
    if n > MAX_VERTICES:
        raise ValueError(
            f"a {n} x {n} matrix has more than {MAX_VERTICES} vertices (the 32-bit limit)"
        )
    if matrix.dtype.kind not in "biuf":
        raise TypeError(
            f"matrix entries have dtype {matrix.dtype}; edge weights must be real numbers"
        )
    csr = sparse.csr_array(matrix, copy=True)
    csr.sum_duplicates()
    csr.sort_indices()
    symmetric = _is_symmetric(csr)
    if directed is None:
        directed = not symmetric
    elif not directed and not symmetric:
        raise ValueError(
            "the matrix is not symmetric, so it cannot be read as undirected; pass directed=True"
        )
    rows = np.repeat(np.arange(n, dtype=np.int64), np.diff(csr.indptr))
    cols = csr.indices.astype(np.int64)
    values = csr.data.astype(np.float64)
    if not directed:
        upper = rows <= cols
        rows, cols, values = rows[upper], cols[upper], values[upper]
    if weighted is None:
        weighted = not bool(np.all(values == 1.0))
    return n, rows, cols, values if weighted else None, bool(directed)
