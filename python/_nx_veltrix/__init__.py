"""What networkx learns about the VELTRIX backend when networkx itself is imported.

networkx calls ``get_info`` through the ``networkx.backend_info`` entry point while it is
being imported, so this module stays apart from the ``veltrix`` package and imports nothing.
"""

_DECLINE = "Other arguments or data: networkx runs its own implementation."

_FUNCTIONS = {
    "connected_components": "",
    "number_connected_components": "",
    "is_connected": "",
    "node_connected_component": "",
    "weakly_connected_components": "",
    "number_weakly_connected_components": "",
    "is_weakly_connected": "",
    "single_source_shortest_path_length": "The dict lists nodes by distance.",
    "shortest_path_length": "Served for a source without target and weight.",
    "descendants": "",
    "has_path": (
        "Automatic dispatch leaves it to networkx, whose search from both ends usually stops "
        "early; backend='veltrix' runs it."
    ),
    "single_source_dijkstra_path_length": (
        "Served for a weight attribute whose values are all ints or all floats, finite and "
        "non-negative, with path totals below 2**53 (whole numbers) or 1e18."
    ),
    "dijkstra_path_length": "Served for the same weights as single_source_dijkstra_path_length.",
    "single_source_bellman_ford_path_length": (
        "Served for all-int or all-float finite weights; negative weights must be whole "
        "numbers. A reachable negative cycle raises NetworkXUnbounded."
    ),
    "bellman_ford_path_length": "Served for the same weights as single_source_bellman_ford_path_length.",
    "transitivity": "Served for undirected simple graphs.",
    "pagerank": (
        "Served without personalization, nstart and dangling, on unweighted edges (or all of "
        "one positive weight), when a fixed iteration count K <= max_iter provably lands "
        "within networkx's own tolerance: K is the smallest k with 2 * alpha**(k - 1) < "
        "N * tol, since successive iterates shrink by alpha in L1. The scores then differ "
        "from networkx's by less than N * tol * alpha / (1 - alpha) in L1, networkx's own "
        "error bound."
    ),
}


def get_info() -> dict:
    """The backend's description, configuration defaults and served functions."""
    return {
        "backend_name": "veltrix",
        "project": "veltrix",
        "package": "veltrix",
        "url": "",
        "short_summary": "Parallel graph kernels in C++ for networkx functions.",
        "default_config": {"threads": -1},
        "functions": {
            name: {"additional_docs": f"{doc} {_DECLINE}".strip()}
            for name, doc in _FUNCTIONS.items()
        },
    }
