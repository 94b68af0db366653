"""Runs every VELTRIX algorithm on a generated graph and prints results and timings."""

import ctypes
import sys
import time

import veltrix as vx
from veltrix.generators import grid_edges, integer_weights, rmat_edges

SCALE = 16
EDGE_FACTOR = 8
_libc = ctypes.CDLL(None)


def show(graph):
    """print_graph writes to the process's own standard output without flushing; keep it in order."""
    sys.stdout.flush()
    graph.print_graph()
    _libc.fflush(None)


def weighted_graph(n, src, dst):
    """The edges with integer-valued weights 1..100."""
    graph = vx.WeightedGraph(n)
    graph.add_edges(list(zip(src.tolist(), dst.tolist(), integer_weights(len(src)).tolist())))
    return graph


def timed(name, run):
    start = time.perf_counter()
    result = run()
    print(f"  {name:<31} {1000 * (time.perf_counter() - start):9.1f} ms")
    return result


def small_graphs():
    print("A small undirected graph, then the same edges with weights:")
    show(vx.Graph(4, [(0, 1), (1, 2), (2, 0), (2, 3)]))
    weighted = vx.WeightedGraph(4)
    weighted.add_edges([(0, 1, 2.5), (1, 2, 1.0), (2, 0, 0.5), (2, 3, 4.0)])
    show(weighted)
    print(
        f"hardware_threads() = {vx.hardware_threads()}, get_thread_count(-1) = {vx.get_thread_count(-1)}, "
        f"chunk_size(2**{SCALE}, {vx.get_thread_count(-1)}) = {vx.chunk_size(1 << SCALE, vx.get_thread_count(-1))}"
    )


def main():
    small_graphs()
    n = 1 << SCALE
    print(
        f"\nGenerating an undirected scale-{SCALE} graph ({n} vertices, {EDGE_FACTOR * n} edges)..."
    )
    src, dst = rmat_edges(SCALE, EDGE_FACTOR)
    graph = vx.Graph(n, list(zip(src.tolist(), dst.tolist())))
    weighted = weighted_graph(n, src, dst)
    print(f"Running every algorithm with {vx.get_thread_count(-1)} threads:")

    labels = timed("parallel_connected_components", lambda: vx.parallel_connected_components(graph))
    scores = timed("parallel_pagerank", lambda: vx.parallel_pagerank(graph))
    scattered = timed("parallel_pagerank_bfs", lambda: vx.parallel_pagerank_bfs(graph))
    hops = timed("parallel_bfs", lambda: vx.parallel_bfs(graph, 0))
    reached = timed("parallel_dfs", lambda: vx.parallel_dfs(graph, 0))
    distances = timed("parallel_dijkstra", lambda: vx.parallel_dijkstra(weighted, 0))
    triangles = timed("triangle_count_parallel", lambda: vx.triangle_count_parallel(graph))

    components = sum(1 for v, label in enumerate(labels) if label == v)
    top = sorted(range(n), key=scores.__getitem__, reverse=True)[:5]
    finite = [d for d in distances if d < 1e18]
    print("\nResults:")
    print(f"  components: {components} (isolated vertices included)")
    print(
        f"  highest PageRank: {', '.join(f'{v} ({scores[v]:.5f})' for v in top)}; score sum {sum(scores):.6f}"
    )
    print(
        f"  gathering and scattering PageRank differ by at most {max(abs(a - b) for a, b in zip(scores, scattered)):.2e}"
    )
    print(
        f"  BFS from 0: {sum(1 for h in hops if h >= 0)} vertices reached, farthest {max(hops)} hops"
    )
    print(f"  DFS from 0: {sum(reached)} vertices reached")
    print(f"  shortest distances from 0: {len(finite)} reached, largest {max(finite):g}")
    print(f"  triangles: {triangles}")

    side = 256
    grid = weighted_graph(side * side, *grid_edges(side, side))
    print()
    corner = timed(f"parallel_dijkstra, {side}x{side} grid", lambda: vx.parallel_dijkstra(grid, 0))
    print(f"  distance from corner to corner: {corner[-1]:g}")


if __name__ == "__main__":
    main()
