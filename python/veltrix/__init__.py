"""VELTRIX: a parallel graph engine.

Everything of the native module ``_veltrix`` is available from here, so ``import veltrix as vx``
is enough; the package adds array, file and networkx input around it, the compact `CSRGraph`, and
the algorithms with numpy results, which run without the interpreter lock.
"""

from _veltrix import (
    Graph,
    WeightedGraph,
    chunk_size,
    get_thread_count,
    hardware_threads,
    parallel_bfs,
    parallel_connected_components,
    parallel_dfs,
    parallel_dijkstra,
    parallel_pagerank,
    parallel_pagerank_bfs,
    triangle_count_parallel,
)
from veltrix.algorithms import (
    connected_components,
    hop_distances,
    pagerank,
    pagerank_scatter,
    reachable,
    shortest_distances,
    triangle_count,
)
from veltrix.arrays import MAX_VERTICES, from_edges, from_scipy
from veltrix.csr import CSRGraph
from veltrix.nx.graph import from_networkx, to_networkx
from veltrix.readers import read_edgelist, read_mtx

__all__ = [
    "Graph",
    "WeightedGraph",
    "chunk_size",
    "get_thread_count",
    "hardware_threads",
    "parallel_bfs",
    "parallel_connected_components",
    "parallel_dfs",
    "parallel_dijkstra",
    "parallel_pagerank",
    "parallel_pagerank_bfs",
    "triangle_count_parallel",
    "CSRGraph",
    "hop_distances",
    "reachable",
    "connected_components",
    "pagerank",
    "pagerank_scatter",
    "shortest_distances",
    "triangle_count",
    "MAX_VERTICES",
    "from_edges",
    "from_scipy",
    "from_networkx",
    "to_networkx",
    "read_edgelist",
    "read_mtx",
]
