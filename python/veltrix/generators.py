"""Seeded synthetic graphs as numpy edge arrays, for examples, tests and benchmarks.

Every generator returns ``(src, dst)``: two arrays of equal length, one entry per edge. The same
arguments and seed always give the same arrays. Nothing is deduplicated: repeated edges and
self-loops stay as drawn, which is what a benchmark of multigraph input wants.

The ``*_edges`` functions draw with numpy and return int64 arrays. The ``*_arrays`` functions
(and :func:`weight_array`) are native: they write int32 ids straight into their arrays on several
threads, without the interpreter lock, and give the same result for every thread count. Their
random stream is their own, so they do not reproduce the numpy functions' graphs.
"""

from __future__ import annotations

from operator import index

import numpy as np
import numpy.typing as npt

from veltrix import _native

__all__ = [
    "RMAT_PROBABILITIES",
    "grid_arrays",
    "grid_edges",
    "integer_weights",
    "rmat_arrays",
    "rmat_edges",
    "uniform_arrays",
    "uniform_edges",
    "weight_array",
]

EdgeArrays = tuple[npt.NDArray[np.int64], npt.NDArray[np.int64]]
IdArrays = tuple[npt.NDArray[np.int32], npt.NDArray[np.int32]]

#: Quadrant probabilities (top-left, top-right, bottom-left, bottom-right) of the recursive
#: matrix model: a few hub vertices with very high degree and a long tail of small ones.
RMAT_PROBABILITIES: tuple[float, float, float, float] = (0.57, 0.19, 0.19, 0.05)


def _edge_count(scale: int, edge_factor: int) -> int:
    if scale < 0 or scale > 31:
        raise ValueError(f"scale must be in [0, 31], got {scale}")
    if edge_factor < 0:
        raise ValueError(f"edge_factor must be non-negative, got {edge_factor}")
    return edge_factor << scale


def rmat_edges(
    scale: int,
    edge_factor: int = 16,
    *,
    seed: int = 1,
    probabilities: tuple[float, float, float, float] = RMAT_PROBABILITIES,
) -> EdgeArrays:
    """Recursive-matrix (R-MAT) edges over ``2**scale`` vertices.

    Each edge descends ``scale`` levels of the adjacency matrix, picking one quadrant per level
    with the given probabilities; one bit of the row and one of the column are fixed per level,
    most significant first, so low vertex numbers become the hubs.

    Parameters
    ----------
    scale : int
        Base-2 logarithm of the vertex count, 0 to 31.
    edge_factor : int, optional
        Edges per vertex; ``edge_factor * 2**scale`` edges are drawn. Default 16.
    seed : int, optional
        Seed of the random generator. Default 1.
    probabilities : tuple of four floats, optional
        Quadrant probabilities a, b, c, d (top-left, top-right, bottom-left, bottom-right);
        they must be non-negative and sum to 1. Default (0.57, 0.19, 0.19, 0.05).

    Returns
    -------
    src, dst : numpy.ndarray of int64
        The edges' endpoints; repeats and self-loops are kept.

    Raises
    ------
    ValueError
        `scale` outside [0, 31], a negative `edge_factor`, or probabilities that are negative,
        NaN or do not sum to 1.
    """
    count = _edge_count(scale, edge_factor)
    a, b, c, d = probabilities
    # Written so that a NaN fails it: NaN thresholds would put every edge at vertex 0 unnoticed.
    if not (all(p >= 0 for p in probabilities) and abs(a + b + c + d - 1.0) <= 1e-9):
        raise ValueError(f"probabilities must be non-negative and sum to 1, got {probabilities}")
    rng = np.random.default_rng(seed)
    src = np.zeros(count, dtype=np.int64)
    dst = np.zeros(count, dtype=np.int64)
    for _ in range(scale):
        draw = rng.random(count)
        lower_half = draw >= a + b
        right_half = ((draw >= a) & ~lower_half) | (draw >= a + b + c)
        src = (src << 1) | lower_half
        dst = (dst << 1) | right_half
    return src, dst


def uniform_edges(scale: int, edge_factor: int = 16, *, seed: int = 1) -> EdgeArrays:
    """Edges with both endpoints drawn uniformly over ``2**scale`` vertices.

    Parameters
    ----------
    scale : int
        Base-2 logarithm of the vertex count, 0 to 31.
    edge_factor : int, optional
        Edges per vertex; ``edge_factor * 2**scale`` edges are drawn. Default 16.
    seed : int, optional
        Seed of the random generator. Default 1.

    Returns
    -------
    src, dst : numpy.ndarray of int64
        The edges' endpoints; repeats and self-loops are kept.

    Raises
    ------
    ValueError
        `scale` outside [0, 31] or a negative `edge_factor`.
    """
    count = _edge_count(scale, edge_factor)
    rng = np.random.default_rng(seed)
    n = 1 << scale
    return rng.integers(0, n, size=count, dtype=np.int64), rng.integers(
        0, n, size=count, dtype=np.int64
    )


def grid_edges(rows: int, columns: int) -> EdgeArrays:
    """The edges of a ``rows`` x ``columns`` lattice, vertices numbered row by row.

    Each cell is joined to its right neighbour and to its lower neighbour, so the graph has
    ``rows * (columns - 1) + (rows - 1) * columns`` edges and a diameter of
    ``rows + columns - 2``.

    Parameters
    ----------
    rows, columns : int
        Size of the lattice; both non-negative.

    Returns
    -------
    src, dst : numpy.ndarray of int64
        All rightward edges in vertex order, then all downward edges in vertex order.

    Raises
    ------
    ValueError
        A negative size.

    Examples
    --------
    >>> from veltrix.generators import grid_edges
    >>> grid_edges(2, 2)
    (array([0, 2, 0, 1]), array([1, 3, 2, 3]))
    """
    if rows < 0 or columns < 0:
        raise ValueError(f"grid size must be non-negative, got {rows}x{columns}")
    cells = np.arange(rows * columns, dtype=np.int64).reshape(rows, columns)
    right = cells[:, :-1].ravel()
    down = cells[:-1, :].ravel()
    return np.concatenate([right, down]), np.concatenate([right + 1, down + columns])


def integer_weights(
    count: int, *, low: int = 1, high: int = 100, seed: int = 1
) -> npt.NDArray[np.float64]:
    """Integer-valued edge weights drawn uniformly from ``[low, high]``, as float64.

    Whole numbers keep shortest-path sums exact in double arithmetic, so any two correct
    implementations agree bit for bit.

    Parameters
    ----------
    count : int
        Number of weights.
    low, high : int, optional
        Inclusive bounds. Default 1 and 100.
    seed : int, optional
        Seed of the random generator. Default 1.

    Returns
    -------
    numpy.ndarray of float64

    Raises
    ------
    ValueError
        `low` exceeds `high`.
    """
    if low > high:
        raise ValueError(f"low must not exceed high, got {low} > {high}")
    rng = np.random.default_rng(seed)
    return rng.integers(low, high + 1, size=count).astype(np.float64)


def rmat_arrays(
    scale: int,
    edge_factor: int = 16,
    *,
    seed: int = 1,
    probabilities: tuple[float, float, float, float] = RMAT_PROBABILITIES,
    threads: int = -1,
) -> IdArrays:
    """Recursive-matrix (R-MAT) edges over ``2**scale`` vertices, drawn natively as int32.

    The model of :func:`rmat_edges`: each edge descends ``scale`` levels of the adjacency matrix,
    picking one quadrant per level with the given probabilities and fixing one bit of the row and
    one of the column, most significant first, so low vertex numbers become the hubs. Each level's
    draw has 32-bit resolution.

    Parameters
    ----------
    scale : int
        Base-2 logarithm of the vertex count, 0 to 31.
    edge_factor : int, optional
        Edges per vertex; ``edge_factor * 2**scale`` edges are drawn. Default 16.
    seed : int, optional
        Seed of the random stream, 0 to ``2**64 - 1``. Default 1.
    probabilities : tuple of four floats, optional
        Quadrant probabilities a, b, c, d (top-left, top-right, bottom-left, bottom-right);
        they must be non-negative and sum to 1. Default (0.57, 0.19, 0.19, 0.05).
    threads : int, optional
        Worker threads; -1 (the default) or 0 uses every core. The result does not depend on it.

    Returns
    -------
    src, dst : numpy.ndarray of int32
        The edges' endpoints; repeats and self-loops are kept.

    Raises
    ------
    ValueError
        `scale` outside [0, 31], a negative `edge_factor` (or one whose edge count passes 64
        bits), probabilities that are negative, NaN or do not sum to 1, or a seed outside
        [0, 2**64).
    """
    a, b, c, d = (float(p) for p in probabilities)
    return _native.rmat_edges(
        index(scale), index(edge_factor), index(seed), (a, b, c, d), index(threads)
    )


def uniform_arrays(
    num_vertices: int, num_edges: int, *, seed: int = 1, threads: int = -1
) -> IdArrays:
    """Edges with both endpoints drawn uniformly from ``range(num_vertices)``, natively as int32.

    Parameters
    ----------
    num_vertices : int
        Number of vertices, 0 to ``2**31``; it may be 0 only when there are no edges.
    num_edges : int
        Number of edges to draw.
    seed : int, optional
        Seed of the random stream, 0 to ``2**64 - 1``. Default 1.
    threads : int, optional
        Worker threads; -1 (the default) or 0 uses every core. The result does not depend on it.

    Returns
    -------
    src, dst : numpy.ndarray of int32
        The edges' endpoints; repeats and self-loops are kept.

    Raises
    ------
    ValueError
        `num_vertices` outside [0, 2**31] (or 0 with edges to draw), a negative `num_edges`, or
        a seed outside [0, 2**64).
    """
    return _native.uniform_edges(index(num_vertices), index(num_edges), index(seed), index(threads))


def grid_arrays(rows: int, columns: int, *, threads: int = -1) -> IdArrays:
    """The edges of a ``rows`` x ``columns`` lattice as int32, the same edges as :func:`grid_edges`.

    Parameters
    ----------
    rows, columns : int
        Size of the lattice; both non-negative, with at most ``2**31`` cells.
    threads : int, optional
        Worker threads; -1 (the default) or 0 uses every core.

    Returns
    -------
    src, dst : numpy.ndarray of int32
        All rightward edges in vertex order, then all downward edges in vertex order.

    Raises
    ------
    ValueError
        A negative size, or more than ``2**31`` cells.
    """
    return _native.grid_edges(index(rows), index(columns), index(threads))


def weight_array(
    count: int, *, low: int = 1, high: int = 100, seed: int = 1, threads: int = -1
) -> npt.NDArray[np.float64]:
    """Integer-valued edge weights drawn uniformly from ``[low, high]``, natively, as float64.

    Whole numbers keep shortest-path sums exact in double arithmetic, so any two correct
    implementations agree bit for bit.

    Parameters
    ----------
    count : int
        Number of weights.
    low, high : int, optional
        Inclusive bounds, at most ``2**53`` in magnitude so that every weight is exact.
        Default 1 and 100.
    seed : int, optional
        Seed of the random stream, 0 to ``2**64 - 1``. Default 1.
    threads : int, optional
        Worker threads; -1 (the default) or 0 uses every core. The result does not depend on it.

    Returns
    -------
    numpy.ndarray of float64

    Raises
    ------
    ValueError
        A negative `count`, bounds beyond ``2**53`` in magnitude, `low` above `high`, or a seed
        outside [0, 2**64).
    """
    return _native.integer_weights(
        index(count), index(low), index(high), index(seed), index(threads)
    )
