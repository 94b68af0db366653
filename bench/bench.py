"""Times every VELTRIX algorithm with one thread and with all hardware threads.

    python bench/bench.py [--scale 18] [--grid 1000] [--repeats 5]

Graphs: an undirected R-MAT graph (2**scale vertices, 16 edges per vertex, hubs at low vertex
numbers) and an undirected grid x grid lattice; parallel_dijkstra runs on the same edges with
integer-valued weights 1..100. Prints the median wall time of each configuration and the speed-up
of all threads over one thread, both measured in the same run. Where SciPy is installed, its
single-threaded sparse-graph routines run on the same graphs as a baseline (components, traversal
orders from vertex 0, and shortest distances; it adds up the weights of parallel edges, so its
distances on a graph with repeated edges answer a slightly different question).
"""

import argparse
import statistics
import time

import veltrix as vx
from veltrix.generators import grid_edges, integer_weights, rmat_edges

ALGORITHMS = [
    (
        "parallel_connected_components",
        lambda g, w, t: vx.parallel_connected_components(g, threads=t),
    ),
    ("parallel_pagerank", lambda g, w, t: vx.parallel_pagerank(g, threads=t)),
    ("parallel_pagerank_bfs", lambda g, w, t: vx.parallel_pagerank_bfs(g, threads=t)),
    ("parallel_bfs", lambda g, w, t: vx.parallel_bfs(g, 0, threads=t)),
    ("parallel_dfs", lambda g, w, t: vx.parallel_dfs(g, 0, threads=t)),
    ("parallel_dijkstra", lambda g, w, t: vx.parallel_dijkstra(w, 0, threads=t)),
    ("triangle_count_parallel", lambda g, w, t: vx.triangle_count_parallel(g, threads=t)),
]


def median_seconds(run, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def scipy_baseline(n, src, dst, weights, repeats):
    try:
        import numpy as np
        from scipy.sparse import csgraph, csr_matrix
    except ImportError:
        return
    rows = np.concatenate([src, dst])
    columns = np.concatenate([dst, src])
    matrix = csr_matrix((np.ones(len(rows)), (rows, columns)), shape=(n, n))
    weighted = csr_matrix((np.concatenate([weights, weights]), (rows, columns)), shape=(n, n))
    runs = [
        ("connected_components", lambda: csgraph.connected_components(matrix, directed=False)),
        (
            "breadth_first_order",
            lambda: csgraph.breadth_first_order(matrix, 0, return_predecessors=False),
        ),
        (
            "depth_first_order",
            lambda: csgraph.depth_first_order(matrix, 0, return_predecessors=False),
        ),
        ("dijkstra", lambda: csgraph.dijkstra(weighted, indices=0)),
    ]
    for name, run in runs:
        print(f"  {'SciPy ' + name:<31} {1000 * median_seconds(run, repeats):8.1f} ms")


def bench_graph(label, n, edges, repeats):
    src, dst = edges
    weights = integer_weights(len(src))
    graph = vx.Graph(n, list(zip(src.tolist(), dst.tolist())))
    weighted = vx.WeightedGraph(n)
    weighted.add_edges(list(zip(src.tolist(), dst.tolist(), weights.tolist())))
    all_threads = vx.get_thread_count(-1)
    print(f"\n{label}: {n} vertices, {len(src)} edges, median of {repeats} runs")
    print(f"  {'algorithm':<31} {'1 thread':>11} {f'{all_threads} threads':>11} {'speed-up':>9}")
    for name, run in ALGORITHMS:
        one = median_seconds(lambda run=run: run(graph, weighted, 1), repeats)
        many = median_seconds(lambda run=run: run(graph, weighted, -1), repeats)
        print(f"  {name:<31} {1000 * one:8.1f} ms {1000 * many:8.1f} ms {one / many:8.2f}x")
    scipy_baseline(n, src, dst, weights, repeats)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scale", type=int, default=18)
    parser.add_argument("--grid", type=int, default=1000)
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()
    print(f"hardware threads: {vx.hardware_threads()}")
    bench_graph(f"R-MAT scale {args.scale}", 1 << args.scale, rmat_edges(args.scale), args.repeats)
    bench_graph(
        f"{args.grid}x{args.grid} grid",
        args.grid * args.grid,
        grid_edges(args.grid, args.grid),
        args.repeats,
    )


if __name__ == "__main__":
    main()
