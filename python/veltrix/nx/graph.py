"""The backend's graph: one conversion of a networkx graph that every served call shares.

A networkx graph is read in one pass over its adjacency. Node keys become vertex indices in
the graph's own node order (no mapping at all when the keys already are the ints 0..n-1), the
neighbour dicts become the lists of the adjacency-list constructor (so an undirected self-loop
stays a single entry, as networkx counts it), and the edge data dicts are collected on the way.
The requested weight attributes are then read from those dicts, together with the facts that
decide whether a call can be answered exactly (value types, finiteness, range). A call that
needs weights of an attribute not yet read reuses the structure and only reads the dicts again.

Nothing here imports networkx at module level, so ``import veltrix`` works without it.
"""

from __future__ import annotations

import gc
from collections.abc import Callable, Hashable, Iterable
from dataclasses import dataclass
from itertools import chain, repeat
from operator import contains, methodcaller
from typing import Any

import numpy as np

import _veltrix

# Vertex indices are 32-bit signed in the native graph.
MAX_VERTICES = 2**31 - 1
_MISSING = object()
_values = methodcaller("values")


@dataclass(frozen=True)
class Weights:
    """One edge attribute, read once, with the facts that decide whether a call is exact.

    Attributes
    ----------
    values : numpy.ndarray or None
        float64 per edge entry (each parallel edge of a multigraph separately), in entry
        order; None when no edge carries the attribute and every edge takes ``default``.
    kind : type or None
        ``int`` or ``float`` when every value (missing ones taking the default) is exactly of
        that type; None otherwise (mixed types, bools, numpy scalars, None, strings, ...).
    present : bool
        Some edge carries the attribute.
    low, high : float
        Smallest and largest value (0.0 for a graph without edges).
    finite : bool
        No value is infinite or NaN.
    integral : bool
        Every value is a whole number, so sums stay exact below 2**53.
    """

    values: np.ndarray | None
    kind: type | None
    present: bool
    low: float
    high: float
    finite: bool
    integral: bool

    def as_array(self, entries: int) -> np.ndarray:
        """The values as one float64 per entry, also when every edge takes the default."""
        return self.values if self.values is not None else np.full(entries, self.low)


def read_weights(datas: list[Any], attr: Hashable, default: Any) -> Weights:
    """The `attr` values of the edge data dicts `datas` (`default` where it is missing)."""
    try:
        raw = list(map(dict.get, datas, repeat(attr), repeat(_MISSING)))
    except TypeError:  # edge data kept in a mapping that is not a dict
        raw = list(map(methodcaller("get", attr, _MISSING), datas))
    types = set(map(type, raw))
    missing = type(_MISSING) in types
    present = bool(types - {type(_MISSING)})
    if not present:
        kind = type(default) if type(default) in (int, float) else None
        value = float(default) if kind else 0.0
        return Weights(
            None,
            kind,
            False,
            value,
            value,
            bool(np.isfinite(value)),
            kind is int or float(value).is_integer(),
        )
    if missing:
        raw = [default if w is _MISSING else w for w in raw]
        types = (types - {type(_MISSING)}) | {type(default)}
    kind = types.pop() if len(types) == 1 and types <= {int, float} else None
    if kind is None:
        return Weights(None, None, True, 0.0, 0.0, False, False)
    try:
        values = np.array(raw, dtype=np.float64)
    except OverflowError:  # an int beyond the range of a double
        return Weights(None, None, True, 0.0, 0.0, False, False)
    finite = bool(np.isfinite(values).all())
    low = float(values.min()) if values.size else 0.0
    high = float(values.max()) if values.size else 0.0
    integral = kind is int or (finite and bool((np.floor(values) == values).all()))
    return Weights(values, kind, True, low, high, finite, integral)


class VeltrixGraph:
    """A networkx graph converted for the VELTRIX kernels.

    Attributes
    ----------
    nodes : list[Any]
        Vertex index -> networkx node, in the networkx graph's node order.
    graph : _veltrix.Graph
        One entry per distinct neighbour (a multigraph's parallel edges merged), in the
        networkx adjacency order; an undirected edge stands in both lists, a self-loop once.
    multiplicity : numpy.ndarray or None
        For a multigraph, the number of parallel edges behind each entry.
    self_loops : numpy.ndarray
        Per vertex, whether it has a self-loop.
    identity : bool
        The nodes are the ints 0..n-1, so a vertex index is its own node.
    """

    __networkx_backend__ = "veltrix"

    def __init__(
        self,
        nodes: list[Any],
        lists: list[list[int]],
        graph: _veltrix.Graph,
        directed: bool,
        multigraph: bool,
        self_loops: np.ndarray,
        multiplicity: np.ndarray | None,
        index: dict[Any, Any] | None,
    ) -> None:
        self.nodes = nodes
        self.lists = lists
        self.graph = graph
        self.self_loops = self_loops
        self.multiplicity = multiplicity
        self._directed = directed
        self._multigraph = multigraph
        self._index = index
        self.identity = index is None
        self._weights: dict[tuple[Any, Any], Weights] = {}
        self._derived: dict[Any, Any] = {}
        self.__networkx_cache__: dict[Any, Any] = {}

    def is_directed(self) -> bool:
        return self._directed

    def is_multigraph(self) -> bool:
        return self._multigraph

    def __len__(self) -> int:
        return len(self.nodes)

    def number_of_nodes(self) -> int:
        return len(self.nodes)

    def vertex(self, key: Hashable) -> int | None:
        """The index of node `key`, or None if there is no such node (TypeError if unhashable)."""
        if self._index is None:
            if type(key) is int:
                return key if 0 <= key < len(self.nodes) else None
            # A key equal to an int but of another type (True, 1.0) names that node, as in networkx.
            self._index = {v: i for i, v in enumerate(self.nodes)}
        return self._index.get(key)

    def find(self, key: Any) -> int | None:
        """Like `vertex`, but an unhashable key is simply not a node (networkx's ``key in G``)."""
        try:
            return self.vertex(key)
        except TypeError:
            return None

    def weights(self, attr: Hashable, default: Any = 1) -> Weights | None:
        """The recorded weights of `attr`, or None if the conversion did not read them."""
        return self._weights.get((attr, default))

    def record_weights(self, datas: list[Any], attrs: dict[Any, Any]) -> None:
        """Read the attributes `attrs` ({name: default}) from the per-entry edge data `datas`."""
        for attr, default in attrs.items():
            if (attr, default) not in self._weights:
                self._weights[attr, default] = read_weights(datas, attr, default)

    def _cached(self, key: Any, build: Callable[[], Any]) -> Any:
        if key not in self._derived:
            self._derived[key] = build()
        return self._derived[key]

    def edge_arrays(self) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
        """(offsets, sources, targets) of every edge entry, parallel edges repeated."""

        def build() -> tuple[np.ndarray, np.ndarray, np.ndarray]:
            n = len(self.lists)
            counts = np.fromiter(map(len, self.lists), np.int64, n)
            targets = np.fromiter(chain.from_iterable(self.lists), np.int64, int(counts.sum()))
            sources = np.repeat(np.arange(n), counts)
            if self.multiplicity is not None:
                counts = np.bincount(sources, weights=self.multiplicity, minlength=n).astype(
                    np.int64
                )
                sources = np.repeat(sources, self.multiplicity)
                targets = np.repeat(targets, self.multiplicity)
            return np.concatenate(([0], np.cumsum(counts))), sources, targets

        return self._cached("edges", build)

    def repeated_graph(self) -> _veltrix.Graph:
        """The graph with a multigraph's parallel edges as repeated entries."""
        if self.multiplicity is None or bool((self.multiplicity == 1).all()):
            return self.graph

        def build() -> _veltrix.Graph:
            offsets, _, targets = self.edge_arrays()
            return _veltrix.Graph(_split(targets.tolist(), offsets), self._directed)

        return self._cached("repeated", build)

    def weighted_graph(self, attr: Hashable, default: Any = 1) -> _veltrix.WeightedGraph:
        """A WeightedGraph of the recorded `attr` weights, parallel edges as separate entries."""

        def build() -> _veltrix.WeightedGraph:
            offsets, _, targets = self.edge_arrays()
            values = self._weights[attr, default].as_array(len(targets))
            pairs = list(zip(targets.tolist(), values.tolist()))
            g = _veltrix.WeightedGraph(len(self.nodes), self._directed)
            g.build_from_adj_list(_split(pairs, offsets))
            return g

        return self._cached(("weighted", attr, default), build)

    def to_networkx(self) -> Any:
        """The networkx graph of the same class, nodes and edges (with the recorded weights)."""
        import networkx as nx

        cls = {
            (False, False): nx.Graph,
            (True, False): nx.DiGraph,
            (False, True): nx.MultiGraph,
            (True, True): nx.MultiDiGraph,
        }[self._directed, self._multigraph]
        G = cls()
        G.add_nodes_from(self.nodes)
        _, sources, targets = self.edge_arrays()
        entries = len(targets)
        keep = np.ones(entries, bool) if self._directed else sources <= targets
        data: list[dict[Any, Any]] = [{} for _ in range(int(keep.sum()))]
        for (attr, _), w in self._weights.items():
            if w.present and w.kind is not None:
                for d, value in zip(data, w.as_array(entries)[keep].tolist()):
                    d[attr] = w.kind(value)
        at = self.nodes.__getitem__
        G.add_edges_from(
            zip(map(at, sources[keep].tolist()), map(at, targets[keep].tolist()), data)
        )
        return G


def _split(items: list[Any], offsets: np.ndarray) -> list[list[Any]]:
    bounds = offsets.tolist()
    return [items[a:b] for a, b in zip(bounds, bounds[1:])]


def _scan(
    adj: Any, nodes: list[Any], index: dict[Any, Any] | None, with_data: bool
) -> tuple[list[list[Any]], list[Any] | None]:
    """One pass over the adjacency: neighbour lists (as indices) and, if asked, the entries' data.

    Collecting the data touches every edge's data dict, which costs more than the lists
    themselves; calls without weights skip it.
    """
    lists: list[list[Any]] = []
    datas: list[Any] | None = [] if with_data else None
    add_list = lists.append
    neighbours = (
        list if index is None else lambda nbrs, find=index.__getitem__: list(map(find, nbrs))
    )
    if datas is None:
        for nbrs in map(adj.__getitem__, nodes):
            add_list(neighbours(nbrs))
    else:
        add_datas = datas.extend
        for nbrs in map(adj.__getitem__, nodes):
            add_list(neighbours(nbrs))
            add_datas(nbrs.values())
    return lists, datas


def _per_edge(datas: list[Any], multigraph: bool) -> tuple[list[Any], np.ndarray | None]:
    """Edge data per parallel edge, and for a multigraph each entry's multiplicity (both read
    from the entries' data: a multigraph's entry holds one data dict per parallel edge)."""
    if not multigraph:
        return datas, None
    multiplicity = np.fromiter(map(len, datas), np.int64, len(datas))
    return list(chain.from_iterable(map(_values, datas))), multiplicity


def _identity(nodes: list[Any]) -> bool:
    return set(map(type, nodes)) <= {int} and nodes == list(range(len(nodes)))


def convert(G: Any, attrs: dict[Any, Any]) -> VeltrixGraph:
    """Convert the networkx graph `G`, reading the edge attributes `attrs` ({name: default})."""
    paused = gc.isenabled()
    gc.disable()  # millions of new lists and no cycles among them: collection passes are pure cost
    try:
        nodes = list(G)
        if len(nodes) > MAX_VERTICES:
            raise NotImplementedError("more than 2**31 - 1 nodes")
        directed, multigraph = G.is_directed(), G.is_multigraph()
        index = None if _identity(nodes) else {v: i for i, v in enumerate(nodes)}
        with_data = bool(attrs) or multigraph
        try:
            lists, datas = _scan(G._adj, nodes, index, with_data)
            graph = _veltrix.Graph(lists, directed)
        except TypeError:
            if index is not None:
                raise
            # A neighbour key equal to its node's int but of another type (1.0, True).
            index = {v: i for i, v in enumerate(nodes)}
            lists, datas = _scan(G._adj, nodes, index, with_data)
            graph = _veltrix.Graph(lists, directed)
        per_edge, multiplicity = _per_edge(datas, multigraph) if datas is not None else ([], None)
        self_loops = np.fromiter(
            map(contains, map(G._adj.__getitem__, nodes), nodes), bool, len(nodes)
        )
        vg = VeltrixGraph(
            nodes, lists, graph, directed, multigraph, self_loops, multiplicity, index
        )
        vg.record_weights(per_edge, attrs)
        return vg
    finally:
        if paused:
            gc.enable()


def record_weights(vg: VeltrixGraph, G: Any, attrs: dict[Any, Any]) -> None:
    """Read further edge attributes of `G` into its existing conversion `vg`."""
    wanted = {a: d for a, d in attrs.items() if vg.weights(a, d) is None}
    if wanted:
        adj = G._adj
        datas = list(chain.from_iterable(_values(adj[v]) for v in vg.nodes))
        vg.record_weights(_per_edge(datas, vg.is_multigraph())[0], wanted)


def from_networkx(G: Any, *, weight: Hashable | None = None) -> tuple[_veltrix.Graph, list[Any]]:
    """A VELTRIX graph of the networkx graph `G`, and the list vertex index -> node.

    Parameters
    ----------
    G : networkx.Graph
        Any networkx graph class. Vertex i is the i-th node of ``list(G)``; an undirected edge
        stands in both endpoints' lists, a self-loop once, and each parallel edge of a
        multigraph as its own entry.
    weight : hashable, optional
        Edge attribute to use as the weight (missing values count as 1, as in networkx). With
        a weight the result is a ``WeightedGraph``; the values must be ints or floats.

    Returns
    -------
    (graph, nodes) : tuple of (Graph or WeightedGraph, list[Any])
        The graph, directed exactly when `G` is, and ``nodes[i]``: the networkx node of vertex i.

    Raises
    ------
    TypeError
        The `weight` values are not all ints or all floats.
    NotImplementedError
        `G` has more than ``2**31 - 1`` nodes.

    Examples
    --------
    >>> import networkx as nx
    >>> import veltrix as vx
    >>> g, nodes = vx.from_networkx(nx.path_graph(["a", "b", "c"]))
    >>> vx.parallel_bfs(g, 0), nodes
    ([0, 1, 2], ['a', 'b', 'c'])
    """
    vg = convert(G, {} if weight is None else {weight: 1})
    if weight is None:
        return vg.repeated_graph(), list(vg.nodes)
    recorded = vg.weights(weight)
    if recorded is None or recorded.kind is None:
        raise TypeError(f"edge attribute {weight!r} must hold only ints or only floats")
    return vg.weighted_graph(weight), list(vg.nodes)


def to_networkx(graph: Any, *, nodes: Iterable[Any] | None = None) -> Any:
    """A networkx graph of a VELTRIX graph.

    Parameters
    ----------
    graph : Graph, WeightedGraph or the backend's VeltrixGraph
        A VeltrixGraph gives back its networkx class, nodes and edges. A ``Graph`` gives a
        ``networkx.Graph`` (``DiGraph`` when directed) with one edge per distinct vertex pair;
        a ``WeightedGraph`` also sets each edge's ``"weight"`` to its lightest entry.
    nodes : iterable, optional
        Node for each vertex index; default ``range(n)``.

    Returns
    -------
    networkx.Graph or networkx.DiGraph
        Or, for a VeltrixGraph, the class it was converted from. Every vertex is a node, isolated
        ones included; repeated entries become one edge.

    Raises
    ------
    ValueError
        `nodes` does not hold one entry per vertex.
    """
    if isinstance(graph, VeltrixGraph):
        return graph.to_networkx()
    import networkx as nx

    labels = list(range(graph.vertices())) if nodes is None else list(nodes)
    if len(labels) != graph.vertices():
        raise ValueError(f"nodes has {len(labels)} entries for {graph.vertices()} vertices")
    G = nx.DiGraph() if graph.is_directed() else nx.Graph()
    G.add_nodes_from(labels)
    adjacency = graph.get_adj()
    if isinstance(graph, _veltrix.WeightedGraph):
        lightest: dict[tuple[int, int], float] = {}
        for u, entries in enumerate(adjacency):
            for v, w in entries:
                key = (u, v) if graph.is_directed() or u <= v else (v, u)
                if key not in lightest or w < lightest[key]:
                    lightest[key] = w
        G.add_weighted_edges_from((labels[u], labels[v], w) for (u, v), w in lightest.items())
    else:
        G.add_edges_from(
            (labels[u], labels[v]) for u, entries in enumerate(adjacency) for v in entries
        )
    return G
