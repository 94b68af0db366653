"""The networkx functions the backend answers, each with networkx's own results and errors.

Every function takes the backend's graph (``VeltrixGraph``) and networkx's signature, and
returns plain Python objects equal to networkx's answer: the same values and types, the same
node objects, the same exceptions and messages. Where the data of the graph falls outside what
a kernel answers exactly, the function raises ``NotImplementedError`` with the reason, and
networkx's dispatcher runs networkx's own implementation instead. The argument-only part of
these rules lives in ``interface.can_run``.

Dicts of distances list the source first and then the other nodes by distance (ties in node
order), where networkx lists them in its search order; equal as dicts, not in iteration order.
"""

from __future__ import annotations

import math
from collections.abc import Hashable, Iterator
from typing import Any

import networkx as nx
import numpy as np

import _veltrix

from .graph import VeltrixGraph, Weights

UNREACHED = 1e18  # the shortest-distance kernel's mark for an unreached vertex
EXACT = 2.0**53  # doubles add whole numbers exactly below this

_NULL_GRAPH = "Connectivity is undefined for the null graph."


def threads() -> int:
    """Worker threads for a kernel: ``nx.config.backends.veltrix.threads`` (default -1, all)."""
    try:
        return int(nx.config.backends.veltrix.threads)
    except AttributeError:  # installed without its backend_info entry point
        return -1


def _yield_each(items: list[Any]) -> Iterator[Any]:
    yield from items


def _keys(G: VeltrixGraph, indices: np.ndarray) -> list[Any]:
    if G.identity:
        return indices.tolist()
    nodes = G.nodes
    return [nodes[i] for i in indices.tolist()]


# ---------------------------------------------------------------------------- components


def _labels(G: VeltrixGraph) -> np.ndarray:
    return np.asarray(_veltrix.parallel_connected_components(G.graph, threads()), dtype=np.int64)


def _components(G: VeltrixGraph) -> list[set[Any]]:
    """Components as sets, in the order of their first node (networkx's order)."""
    if not G.nodes:
        return []
    labels = _labels(G)
    order = np.argsort(labels, kind="stable")
    cuts = np.flatnonzero(np.diff(labels[order])) + 1
    return [set(_keys(G, part)) for part in np.split(order, cuts)]


def _count_components(G: VeltrixGraph) -> int:
    labels = _labels(G)
    return int(np.count_nonzero(labels == np.arange(len(labels))))


def _is_connected(G: VeltrixGraph) -> bool:
    if not G.nodes:
        raise nx.NetworkXPointlessConcept(_NULL_GRAPH)
    return not _labels(G).any()


def connected_components(G: VeltrixGraph) -> Iterator[set[Any]]:
    return _yield_each(_components(G))


def number_connected_components(G: VeltrixGraph) -> int:
    return _count_components(G)


def is_connected(G: VeltrixGraph) -> bool:
    return _is_connected(G)


def weakly_connected_components(G: VeltrixGraph) -> Iterator[set[Any]]:
    return _yield_each(_components(G))


def number_weakly_connected_components(G: VeltrixGraph) -> int:
    return _count_components(G)


def is_weakly_connected(G: VeltrixGraph) -> bool:
    return _is_connected(G)


def _reached(G: VeltrixGraph, source: int) -> np.ndarray:
    return np.flatnonzero(np.asarray(_veltrix.parallel_dfs(G.graph, source, threads()), dtype=bool))


def node_connected_component(G: VeltrixGraph, n: Hashable) -> set[Any]:
    s = G.vertex(n)
    if s is None:
        raise KeyError(n)
    component = set(_keys(G, _reached(G, s)))
    component.discard(n)  # networkx's set holds the key object it was given
    component.add(n)
    return component


# ----------------------------------------------------------------------------- traversal


def single_source_shortest_path_length(
    G: VeltrixGraph, source: Hashable, cutoff: Any = None
) -> dict[Any, Any]:
    s = G.find(source)
    if s is None:
        raise nx.NodeNotFound(f"Source {source} is not in G")
    hops = np.asarray(_veltrix.parallel_bfs(G.graph, s, threads()), dtype=np.int64)
    reached = hops >= 0
    if cutoff is not None and not cutoff >= len(hops):
        # networkx expands level L while cutoff > L, so it lists the nodes with hops - 1 < cutoff.
        reached &= hops - 1 < (max(cutoff, -1) if isinstance(cutoff, int) else cutoff)
    return _by_distance(G, source, s, hops, reached, int)


def shortest_path_length(
    G: VeltrixGraph,
    source: Hashable = None,
    target: Hashable = None,
    weight: Any = None,
    method: str = "dijkstra",
) -> dict[Any, Any]:
    if method not in ("dijkstra", "bellman-ford"):
        raise ValueError(f"method not supported: {method}")
    if source is None or target is not None or weight is not None:
        raise NotImplementedError("served for one source, no target and no weight only")
    return single_source_shortest_path_length(G, source)


def descendants(G: VeltrixGraph, source: Hashable) -> set[Any]:
    s = G.find(source)
    if s is None:
        kind = "digraph" if G.is_directed() else "graph"
        raise nx.NetworkXError(f"The node {source} is not in the {kind}.")
    reached = _reached(G, s)
    return set(_keys(G, reached[reached != s]))


def has_path(G: VeltrixGraph, source: Hashable, target: Hashable) -> bool:
    s = G.find(source)
    if s is None:
        raise nx.NodeNotFound(f"Source {source} is not in G")
    t = G.find(target)
    if t is None:
        raise nx.NodeNotFound(f"Target {target} is not in G")
    return bool(_veltrix.parallel_dfs(G.graph, s, threads())[t])


def _by_distance(
    G: VeltrixGraph, source: Hashable, s: int, dist: np.ndarray, keep: np.ndarray, kind: type
) -> dict[Any, Any]:
    """{source: 0, then every other kept node by distance}, values of type `kind`."""
    keep[s] = False
    indices = np.flatnonzero(keep)
    indices = indices[np.argsort(dist[indices], kind="stable")]
    values = dist[indices]
    result: dict[Any, Any] = {source: 0}
    result.update(
        zip(_keys(G, indices), (values.astype(np.int64) if kind is int else values).tolist())
    )
    return result


# ------------------------------------------------------------------------------ weighted


def _weights(G: VeltrixGraph, weight: Any) -> Weights:
    if weight is None or callable(weight):
        raise NotImplementedError("served for a weight attribute only")
    w = G.weights(weight)
    if w is None:
        raise NotImplementedError(f"weights {weight!r} were not read when the graph was converted")
    return w


def _decline(w: Weights, n: int, negative: bool) -> str | None:
    """Why distances over weights `w` on `n` nodes may differ from networkx's, or None.

    Sums of whole numbers are exact while every path total stays below 2**53. Without negative
    weights, relaxation to the fixed point gives networkx's float sums too. With negative
    fractional weights rounding could make a cycle look negative to one search and not the
    other, so those go to networkx.
    """
    if w.kind is None:
        return "edge weights are not all ints or all floats"
    if not w.finite:
        return "an edge weight is infinite or NaN"
    if w.low < 0 and not negative:
        return "negative edge weights"
    largest = max(abs(w.low), abs(w.high))
    if w.integral:
        return None if largest * max(n, 1) < EXACT else "path totals could exceed 2**53"
    if w.low < 0:
        return "negative fractional edge weights"
    return None if largest * max(n - 1, 1) < UNREACHED else "path totals could reach 1e18"


def _distances(G: VeltrixGraph, s: int, weight: Any, negative: bool) -> tuple[np.ndarray, type]:
    w = _weights(G, weight)
    reason = _decline(w, len(G.nodes), negative)
    if reason:
        raise NotImplementedError(reason)
    dist = np.asarray(_veltrix.parallel_dijkstra(G.weighted_graph(weight), s, threads()))
    if w.low < 0 and _negative_cycle(G, w, dist):
        raise nx.NetworkXUnbounded("Negative cycle detected.")
    assert w.kind is not None  # _decline refuses weights of mixed types
    return dist, w.kind


def _negative_cycle(G: VeltrixGraph, w: Weights, dist: np.ndarray) -> bool:
    """Whether a negative cycle is reachable, given the kernel's distances (whole weights).

    The kernel stops at a fixed point or after n - 1 passes. Without a reachable negative
    cycle that is a fixed point holding true distances, all within (n - 1) * max|w|. With one,
    either some distance has fallen below that bound, or, all values being exact, some edge on
    the cycle can still be relaxed (summing d[v] - d[u] <= w around it contradicts a negative
    total).
    """
    _, sources, targets = G.edge_arrays()
    reached = dist < UNREACHED
    if not reached.any():
        return False
    bound = (len(G.nodes) - 1) * max(abs(w.low), abs(w.high))
    if dist[reached].min() < -bound:
        return True
    live = reached[sources]
    values = w.as_array(len(targets))[live]
    return bool((dist[sources[live]] + values < dist[targets[live]]).any())


def _length_dict(
    G: VeltrixGraph, source: Hashable, s: int, dist: np.ndarray, kind: type, cutoff: Any = None
) -> dict[Any, Any]:
    keep = dist < UNREACHED
    if cutoff is not None:
        keep &= dist <= float(cutoff)
    return _by_distance(G, source, s, dist, keep, kind)


def _length(dist: np.ndarray, t: int | None, kind: type) -> int | float | None:
    if t is None or not dist[t] < UNREACHED:
        return None
    return kind(dist[t])


def single_source_dijkstra_path_length(
    G: VeltrixGraph, source: Hashable, cutoff: Any = None, weight: Any = "weight"
) -> dict[Any, Any]:
    hash(source)  # networkx builds {source} first
    s = G.vertex(source)
    if s is None:
        raise nx.NodeNotFound(f"Node {source} not found in graph")
    dist, kind = _distances(G, s, weight, negative=False)
    return _length_dict(G, source, s, dist, kind, cutoff)


def dijkstra_path_length(
    G: VeltrixGraph, source: Hashable, target: Hashable, weight: Any = "weight"
) -> Any:
    s = G.find(source)
    if s is None:
        raise nx.NodeNotFound(f"Node {source} not found in graph")
    if source == target:
        return 0
    dist, kind = _distances(G, s, weight, negative=False)
    length = _length(dist, G.vertex(target), kind)
    if length is None:
        raise nx.NetworkXNoPath(f"Node {target} not reachable from {source}")
    return length


def single_source_bellman_ford_path_length(
    G: VeltrixGraph, source: Hashable, weight: Any = "weight"
) -> dict[Any, Any]:
    s = G.find(source)
    if s is None:
        raise nx.NodeNotFound(f"Source {source} not in G")
    dist, kind = _distances(G, s, weight, negative=True)
    return _length_dict(G, source, s, dist, kind)


def bellman_ford_path_length(
    G: VeltrixGraph, source: Hashable, target: Hashable, weight: Any = "weight"
) -> Any:
    s = G.find(source)
    if source == target:
        if s is None:
            raise nx.NodeNotFound(f"Node {source} not found in graph")
        return 0
    if s is None:
        raise nx.NodeNotFound(f"Source {source} not in G")
    dist, kind = _distances(G, s, weight, negative=True)
    length = _length(dist, G.vertex(target), kind)
    if length is None:
        raise nx.NetworkXNoPath(f"node {target} not reachable from {source}")
    return length


# ------------------------------------------------------------------------------- cluster


def transitivity(G: VeltrixGraph) -> int | float:
    if G.is_directed() or G.is_multigraph():
        raise NotImplementedError("served for undirected simple graphs only")
    if not G.nodes:
        return 0
    triangles = _veltrix.triangle_count_parallel(G.graph, threads())
    if triangles == 0:
        return 0
    # networkx sums, per node v with d neighbours other than itself, d * (d - 1) possible and
    # twice its triangles; every triangle thus counts 6 times. Python ints, then one division.
    degrees = np.fromiter(map(len, G.lists), np.int64, len(G.lists)) - G.self_loops
    possible = sum(d * (d - 1) for d in degrees.tolist())
    return 6 * triangles / possible


# ------------------------------------------------------------------------------ pagerank


def pagerank_iterations(n: int, alpha: Any, tol: Any) -> int | None:
    """Iterations after which a fixed-count PageRank is as close as networkx's own answer.

    networkx iterates x_k = alpha (x_{k-1} A + dangling mass spread) + (1 - alpha) / n from
    the uniform vector, exactly what the kernel computes, and stops at the first k with
    |x_k - x_{k-1}|_1 < n * tol. Successive differences sum to zero, and the damped matrix
    shrinks the L1 norm of such vectors by at least alpha, so |x_k - x_{k-1}|_1 <= 2 alpha^(k-1).
    At the smallest K with 2 alpha^(K-1) < n * tol networkx has therefore stopped, at some
    k <= K; the iterations from k to K move the result by less than
    n * tol * alpha / (1 - alpha), the same bound networkx's own answer has against the exact
    scores. None when alpha or tol rule the bound out.
    """
    if type(alpha) not in (int, float) or type(tol) not in (int, float):
        return None
    if not (0 < alpha < 1) or not tol > 0 or not math.isfinite(tol):
        return None
    target = n * tol / (1 + 1e-6)  # margin for rounding in networkx's own error sum
    if target > 2:
        return 1
    k = max(1, math.ceil(1 + math.log(target / 2) / math.log(alpha)))
    while 2 * alpha ** (k - 1) >= target:
        k += 1
    return k


def pagerank(
    G: VeltrixGraph,
    alpha: float = 0.85,
    personalization: Any = None,
    max_iter: int = 100,
    tol: float = 1.0e-6,
    nstart: Any = None,
    weight: Any = "weight",
    dangling: Any = None,
) -> dict[Any, Any]:
    n = len(G.nodes)
    if n == 0:
        return {}
    if personalization is not None or nstart is not None or dangling is not None:
        raise NotImplementedError("served without personalization, nstart and dangling only")
    iterations = pagerank_iterations(n, alpha, tol)
    if iterations is None or iterations > max_iter:
        raise NotImplementedError("no iteration count within max_iter provably meets tol")
    if weight is not None:
        w = _weights(G, weight)
        if w.present and not (w.kind is not None and w.finite and w.low == w.high > 0):
            raise NotImplementedError("edge weights differ")
    scores = _veltrix.parallel_pagerank(G.repeated_graph(), iterations, float(alpha), threads())
    return dict(zip(G.nodes, scores))
