"""The algorithms with numpy results, on `Graph`, `WeightedGraph` and `CSRGraph`.

Each function runs the same kernel as its list counterpart of ``_veltrix`` (the same values, and
PageRank the same bits, for every thread count) but returns a numpy array that owns the kernel's
own result buffer, and releases the interpreter lock while the kernel runs: other Python threads
go on meanwhile. Ctrl-C still stops a call within a fraction of a second, and a `Graph` being read
refuses changes from every thread with RuntimeError.

``threads`` is the worker count: -1 (default) for all hardware threads; a larger request is
capped at the hardware count.
"""

from __future__ import annotations

from typing import Any

import numpy as np
from numpy.typing import NDArray

from _veltrix import Graph
from veltrix import _native
from veltrix.csr import CSRGraph

__all__ = [
    "connected_components",
    "hop_distances",
    "pagerank",
    "pagerank_scatter",
    "reachable",
    "shortest_distances",
    "triangle_count",
]

GraphLike = Graph | CSRGraph


def _native_graph(graph: GraphLike) -> Any:
    if isinstance(graph, CSRGraph):
        return graph._arrays
    if isinstance(graph, Graph):
        return graph
    raise TypeError(f"expected a Graph, WeightedGraph or CSRGraph, got {type(graph).__name__}")


def hop_distances(graph: GraphLike, source: int, *, threads: int = -1) -> NDArray[np.int32]:
    """Hop distance of every vertex from `source` along the lists; -1 where unreachable.

    The values of `parallel_bfs`, for every thread count. Weights are ignored.

    Parameters
    ----------
    graph : Graph, WeightedGraph or CSRGraph
    source : int
        The vertex to measure from.
    threads : int
        Workers; -1 (default) for all hardware threads.

    Returns
    -------
    numpy.ndarray of int32
        One distance per vertex: 0 for `source`, -1 where no path leads.

    Raises
    ------
    IndexError
        `source` is not a vertex ("Vertex index out of range").

    Examples
    --------
    >>> import veltrix as vx
    >>> vx.hop_distances(vx.Graph(3, [(0, 1), (2, 0)], directed=True), 0)
    array([ 0,  1, -1], dtype=int32)
    """
    result: NDArray[np.int32] = _native.hop_distances(_native_graph(graph), source, threads)
    return result


def reachable(graph: GraphLike, source: int, *, threads: int = -1) -> NDArray[np.bool_]:
    """Whether each vertex is reachable from `source` along the lists (`source` itself is).

    The values of `parallel_dfs`, for every thread count.

    Parameters
    ----------
    graph : Graph, WeightedGraph or CSRGraph
    source : int
        The vertex to search from.
    threads : int
        Workers; -1 (default) for all hardware threads.

    Returns
    -------
    numpy.ndarray of bool
        One flag per vertex.

    Raises
    ------
    IndexError
        `source` is not a vertex ("Vertex index out of range").
    """
    result: NDArray[np.bool_] = _native.reachable(_native_graph(graph), source, threads)
    return result


def connected_components(graph: GraphLike, *, threads: int = -1) -> NDArray[np.int32]:
    """Label of every vertex: the smallest vertex of its component, edge direction ignored.

    The values of `parallel_connected_components`: weakly connected components of a directed
    graph, the same labels for every thread count.

    Parameters
    ----------
    graph : Graph, WeightedGraph or CSRGraph
    threads : int
        Workers; -1 (default) for all hardware threads.

    Returns
    -------
    numpy.ndarray of int32
        One label per vertex.

    Examples
    --------
    >>> import veltrix as vx
    >>> vx.connected_components(vx.Graph(5, [(3, 1), (1, 4)]))
    array([0, 1, 2, 1, 1], dtype=int32)
    """
    result: NDArray[np.int32] = _native.connected_components(_native_graph(graph), threads)
    return result


def pagerank(
    graph: GraphLike, iterations: int = 20, damping: float = 0.85, *, threads: int = -1
) -> NDArray[np.float64]:
    """PageRank after exactly `iterations` power iterations, from 1/n everywhere.

    Each vertex sums its in-neighbours' shares in ascending source order, and the mass of vertices
    without out-edges is spread over all vertices, so the bits are those of `parallel_pagerank`
    for every thread count.

    Parameters
    ----------
    graph : Graph, WeightedGraph or CSRGraph
        Out-degrees count list entries: a repeated edge as often as it is stored.
    iterations : int
        Number of iterations; there is no convergence test. Default 20.
    damping : float
        Damping factor, in (0, 1). Default 0.85.
    threads : int
        Workers; -1 (default) for all hardware threads. The result does not depend on it.

    Returns
    -------
    numpy.ndarray of float64
        One score per vertex; empty for a graph without vertices.

    Raises
    ------
    ValueError
        ``iterations <= 0`` or `damping` outside (0, 1) (checked only when the graph has vertices).
    """
    result: NDArray[np.float64] = _native.pagerank(
        _native_graph(graph), iterations, damping, threads
    )
    return result


def pagerank_scatter(
    graph: GraphLike, iterations: int = 20, damping: float = 0.85, *, threads: int = -1
) -> NDArray[np.float64]:
    """PageRank with the sums of the scattering scheme: the bits of `parallel_pagerank_bfs`.

    The sums are grouped by the blocks of sources of ``threads`` workers, so the bits depend on
    the resolved worker count (and on nothing else). Parameters, result and errors are those of
    `pagerank`, whose values these equal to rounding.
    """
    result: NDArray[np.float64] = _native.pagerank_scatter(
        _native_graph(graph), iterations, damping, threads
    )
    return result


def shortest_distances(graph: GraphLike, source: int, *, threads: int = -1) -> NDArray[np.float64]:
    """Weighted distance of every vertex from `source`; 1e18 where unreached.

    The values of `parallel_dijkstra`: label-setting while weights are non-negative, relaxation
    passes after the first negative weight. NaN and +inf weights never relax.

    Parameters
    ----------
    graph : WeightedGraph or weighted CSRGraph
    source : int
        The vertex to measure from.
    threads : int
        Workers; -1 (default) for all hardware threads.

    Returns
    -------
    numpy.ndarray of float64
        One distance per vertex: 0.0 for `source`, 1e18 where no path leads.

    Raises
    ------
    ValueError
        The graph carries no weights.
    IndexError
        `source` is not a vertex ("Vertex index out of range").
    """
    result: NDArray[np.float64] = _native.shortest_distances(_native_graph(graph), source, threads)
    return result


def triangle_count(graph: GraphLike, *, threads: int = -1) -> int:
    """Triangles u < v < w of the lists, repeated entries multiplying, as `triangle_count_parallel`.

    Counts the triples with v and w in u's list and w in v's list: each undirected triangle once,
    a directed one only as u -> v, u -> w, v -> w. With m(a, b) the copies of b in a's list, a
    triangle weighs ``m(u, v) * min(m(u, w), m(v, w))``; self-loops close none.

    Parameters
    ----------
    graph : Graph, WeightedGraph or CSRGraph
    threads : int
        Workers; -1 (default) for all hardware threads. The count does not depend on it.

    Returns
    -------
    int
    """
    return int(_native.triangle_count(_native_graph(graph), threads))
