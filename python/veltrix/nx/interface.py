"""The object networkx loads through the ``networkx.backends`` entry point.

``can_run`` looks at the arguments only (a few comparisons, never the edges), so networkx can
ask it on every call. Facts about the data (weight types, signs, ranges) are read once, while
converting, and the served functions decline through ``NotImplementedError`` when they rule a
call out; networkx then runs its own implementation.
"""

from __future__ import annotations

import inspect
from collections.abc import Callable
from typing import Any

import networkx as nx

from . import algorithms
from .graph import VeltrixGraph, convert, record_weights

SERVED = (
    "connected_components",
    "number_connected_components",
    "is_connected",
    "node_connected_component",
    "weakly_connected_components",
    "number_weakly_connected_components",
    "is_weakly_connected",
    "single_source_shortest_path_length",
    "shortest_path_length",
    "descendants",
    "has_path",
    "single_source_dijkstra_path_length",
    "dijkstra_path_length",
    "single_source_bellman_ford_path_length",
    "bellman_ford_path_length",
    "transitivity",
    "pagerank",
)

_SIGNATURES = {name: inspect.signature(getattr(algorithms, name)) for name in SERVED}


def _real(x: Any) -> bool:
    return type(x) in (int, float)


def _weight_attribute(a: dict[Any, Any]) -> str | None:
    w = a["weight"]
    if w is None or callable(w):
        return "served for a weight attribute only (not None, not a function)"
    return None


def _cutoff(a: dict[Any, Any]) -> str | None:
    return None if a["cutoff"] is None or _real(a["cutoff"]) else "cutoff must be an int or a float"


def _shortest_path_length(a: dict[Any, Any]) -> str | None:
    if a["source"] is None or a["target"] is not None or a["weight"] is not None:
        return "served for one source, no target and no weight only"
    if a["method"] not in ("dijkstra", "bellman-ford"):
        return "unknown method"
    return None


def _dijkstra(a: dict[Any, Any]) -> str | None:
    return _weight_attribute(a) or _cutoff(a)


def _transitivity(a: dict[Any, Any]) -> str | None:
    G = a["G"]
    if G.is_directed():
        return "networkx's transitivity of a directed graph is not served"
    if G.is_multigraph():
        return "networkx refuses multigraphs"
    return None


def _pagerank(a: dict[Any, Any]) -> str | None:
    if a["personalization"] is not None or a["nstart"] is not None or a["dangling"] is not None:
        return "served without personalization, nstart and dangling only"
    if a["weight"] is not None and callable(a["weight"]):
        return "weight must be an attribute name or None"
    if not _real(a["max_iter"]):
        return "max_iter must be an int"
    n = len(a["G"])
    if n == 0:
        return None
    k = algorithms.pagerank_iterations(n, a["alpha"], a["tol"])
    if k is None:
        return "alpha must lie in (0, 1) and tol be positive"
    if k > a["max_iter"]:
        return f"{k} iterations needed to provably meet tol, more than max_iter"
    return None


_CHECKS: dict[str, Callable[[dict[str, Any]], str | None]] = {
    "single_source_shortest_path_length": _cutoff,
    "shortest_path_length": _shortest_path_length,
    "single_source_dijkstra_path_length": _dijkstra,
    "dijkstra_path_length": _weight_attribute,
    "single_source_bellman_ford_path_length": _weight_attribute,
    "bellman_ford_path_length": _weight_attribute,
    "transitivity": _transitivity,
    "pagerank": _pagerank,
}


def _cached_conversion(G: Any) -> VeltrixGraph | None:
    if not nx.config.cache_converted_graphs:
        return None
    cache = getattr(G, "__networkx_cache__", None)
    if not cache:
        return None
    for converted in cache.get("backends", {}).get("veltrix", {}).values():
        if isinstance(converted, VeltrixGraph):
            return converted
    return None


class BackendInterface:
    """The VELTRIX backend for networkx."""

    @staticmethod
    def convert_from_nx(
        G: Any,
        edge_attrs: dict[Any, Any] | None = None,
        node_attrs: dict[Any, Any] | None = None,
        preserve_edge_attrs: bool = False,
        preserve_node_attrs: bool = False,
        preserve_graph_attrs: bool = False,
        name: str | None = None,
        graph_name: str | None = None,
    ) -> VeltrixGraph:
        """Convert `G`, or reuse its cached conversion and read only the missing weights.

        networkx keys its cache by the attributes a call asks for, so a weighted call after an
        unweighted one would convert again; reusing the cached structure makes them share one
        conversion. Weights are read only when asked for: reading the edge data costs about
        twice as much as the structure, which networkx's own linear-time functions never touch.
        """
        attrs = dict(edge_attrs) if edge_attrs else {}
        if isinstance(G, VeltrixGraph):
            return G
        converted = _cached_conversion(G)
        if converted is None:
            return convert(G, attrs)
        record_weights(converted, G, attrs)
        return converted

    @staticmethod
    def convert_to_nx(obj: Any, *, name: str | None = None) -> Any:
        return obj.to_networkx() if isinstance(obj, VeltrixGraph) else obj

    @staticmethod
    def can_run(name: str, args: tuple[Any, ...], kwargs: dict[Any, Any]) -> bool | str:
        """Whether the arguments alone allow an exact answer (a reason string if not)."""
        check = _CHECKS.get(name)
        if check is None:
            return name in _SIGNATURES
        try:
            bound = _SIGNATURES[name].bind(*args, **kwargs)
        except TypeError:
            return "arguments do not match the signature"
        bound.apply_defaults()
        return check(bound.arguments) or True

    @staticmethod
    def should_run(name: str, args: tuple[Any, ...], kwargs: dict[Any, Any]) -> bool | str:
        """Whether automatic dispatch should use the backend for a call it can run.

        ``has_path`` is left to networkx: its search from both ends usually stops after a small
        part of the graph, where the kernel visits everything reachable from the source
        (measured slower than networkx even on a cached graph). ``backend="veltrix"`` still runs it.
        """
        return (
            "networkx's search from both ends usually stops early" if name == "has_path" else True
        )


for _name in SERVED:
    setattr(BackendInterface, _name, staticmethod(getattr(algorithms, _name)))
