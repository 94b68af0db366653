"""Times graph construction from Python lists and numpy arrays against rustworkx, and the memory a
bulk build keeps.

    python bench/conversions.py [--scale 16] [--repeats 7] [--memory-vertices 1000000]

Builds: Graph(n, edges) and Graph(n).add_edges(edges) from a list of (u, v) tuples against
rustworkx's PyGraph.extend_from_edge_list on a graph that already has n nodes;
WeightedGraph(n).add_edges(triples) against extend_from_weighted_edge_list; Graph(n, array) from
an (m, 2) int64 numpy array and WeightedGraph(n).add_edges(records) from a record array of
(int64, int64, float64), in nanoseconds per edge. The same list passed as a tuple takes
the standard element-by-element conversion, shown for reference. Edge sets: a uniform random graph
and an R-MAT graph with 16 * 2**scale edges over 2**scale vertices. The variants run interleaved and
the medians are reported, so the ratios come from one run on the same machine state. Every build
runs on the calling thread alone, so the times are that thread's CPU time, which a busy machine
disturbs far less than wall time (on an idle machine the two agree).

Memory: in a fresh process per graph class, an undirected build of 16 * n / 2 edges over n vertices
from an (m, 2) int64 array or an (int64, int64, float64) record array; bytes kept per edge (malloc's in-use bytes after minus before, the input
excluded) against the minimum of the neighbour entries alone (8 for Graph: two int32 entries; 40
for WeightedGraph: two int32 plus two (int32, double) entries), and the peak resident growth during
the build against what it keeps.
"""

import argparse
import gc
import statistics
import subprocess
import sys
import time

import numpy as np

import _veltrix as vx
from veltrix.generators import rmat_edges


def uniform_edges(n, m, seed=1):
    rng = np.random.default_rng(seed)
    return rng.integers(0, n, size=(m, 2), dtype=np.int64)


def with_weights(edges, seed=1):
    rng = np.random.default_rng(seed)
    weights = rng.integers(1, 101, size=len(edges)).astype(float).tolist()
    return [(u, v, w) for (u, v), w in zip(edges, weights)]


def timed(run):
    """Seconds for the callable that run() sets up; what it builds is released after the clock stops."""
    call = run()
    start = time.thread_time()
    result = call()
    seconds = time.thread_time() - start
    del result
    return seconds


def variants(n, edges, array, weighted):
    import rustworkx as rx

    def rx_graph():
        graph = rx.PyGraph()
        graph.add_nodes_from(range(n))
        return graph

    def rx_edges():
        graph = rx_graph()
        return lambda: graph.extend_from_edge_list(edges)

    def rx_weighted():
        graph = rx_graph()
        return lambda: graph.extend_from_weighted_edge_list(weighted)

    def add_edges():
        graph = vx.Graph(n)
        return lambda: graph.add_edges(edges)

    def add_weighted():
        graph = vx.WeightedGraph(n)
        return lambda: graph.add_edges(weighted)

    def add_records():
        graph = vx.WeightedGraph(n)
        return lambda: graph.add_edges(records)

    as_tuple = tuple(edges)
    records = np.empty(len(weighted), dtype=[("u", np.int64), ("v", np.int64), ("w", np.float64)])
    records["u"], records["v"] = array[:, 0], array[:, 1]
    records["w"] = [w for _, _, w in weighted]
    return {
        "rustworkx extend_from_edge_list": rx_edges,
        "Graph(n, edges)": lambda: lambda: vx.Graph(n, edges),
        "Graph(n).add_edges(edges)": add_edges,
        "Graph(n, tuple(edges)) standard path": lambda: lambda: vx.Graph(n, as_tuple),
        "Graph(n, int64 array)": lambda: lambda: vx.Graph(n, array),
        "rustworkx extend_from_weighted_edge_list": rx_weighted,
        "WeightedGraph(n).add_edges(triples)": add_weighted,
        "WeightedGraph(n).add_edges(record array)": add_records,
    }


def bench_edges(label, n, array, repeats):
    edges = list(zip(*(array[:, i].tolist() for i in range(2))))
    weighted = with_weights(edges)
    runs = variants(n, edges, array, weighted)
    times = {name: [] for name in runs}
    for _ in range(repeats):
        for name, run in runs.items():
            gc.collect()
            times[name].append(timed(run))
    median = {name: statistics.median(t) for name, t in times.items()}
    m = len(edges)
    print(f"\n{label}: {n} vertices, {m} edges, median of {repeats} interleaved runs")
    baselines = {
        "unweighted": median["rustworkx extend_from_edge_list"],
        "weighted": median["rustworkx extend_from_weighted_edge_list"],
    }
    for name, seconds in median.items():
        base = baselines["weighted" if "eighted" in name else "unweighted"]
        print(
            f"  {name:<42} {1000 * seconds:8.1f} ms {1e9 * seconds / m:7.1f} ns/edge "
            f"{seconds / base:6.2f}x rustworkx"
        )


MEMORY_CHILD = r"""
import ctypes, sys
import numpy as np
import _veltrix as vx

class MallInfo2(ctypes.Structure):
    _fields_ = [(f, ctypes.c_size_t) for f in
                "arena ordblks smblks hblks hblkhd usmblks fsmblks uordblks fordblks keepcost".split()]

libc = ctypes.CDLL("libc.so.6")
libc.mallinfo2.restype = MallInfo2

def in_use():
    info = libc.mallinfo2()
    return info.uordblks + info.hblkhd

def status(field):
    for line in open("/proc/self/status"):
        if line.startswith(field + ":"):
            return int(line.split()[1]) * 1024

kind, n = sys.argv[1], int(sys.argv[2])
m = 8 * n
rng = np.random.default_rng(1)
src = rng.integers(0, n, size=m, dtype=np.int64)
dst = rng.integers(0, n, size=m, dtype=np.int64)
edges = np.stack([src, dst], axis=1)
del src, dst
if kind == "Graph":
    build, minimum = (lambda: vx.Graph(n, edges)), 8
else:
    records = np.empty(m, dtype=[("u", np.int64), ("v", np.int64), ("w", np.float64)])
    records["u"], records["v"], records["w"] = edges[:, 0], edges[:, 1], rng.random(m)
    edges = records
    def build():
        graph = vx.WeightedGraph(n)
        graph.add_edges(edges)
        return graph
    minimum = 40
before, rss_before = in_use(), status("VmRSS")
open("/proc/self/clear_refs", "w").write("5")
graph = build()
kept, rss_kept, peak = in_use() - before, status("VmRSS") - rss_before, status("VmHWM") - rss_before
print(f"  {kind:<14} {kept / m:6.2f} bytes/edge kept (minimum {minimum}, {kept / m / minimum:.2f}x), "
      f"resident {rss_kept / m:6.2f} bytes/edge, peak {peak / max(rss_kept, 1):.2f}x resident kept")
"""


def bench_memory(n):
    print(f"\nMemory: {n} vertices, {8 * n} undirected edges from numpy arrays")
    for kind in ("Graph", "WeightedGraph"):
        out = subprocess.run(
            [sys.executable, "-c", MEMORY_CHILD, kind, str(n)], capture_output=True, text=True
        )
        print(out.stdout.rstrip() or out.stderr.rstrip())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scale", type=int, default=16)
    parser.add_argument("--repeats", type=int, default=7)
    parser.add_argument("--memory-vertices", type=int, default=1_000_000)
    args = parser.parse_args()
    n = 1 << args.scale
    m = 16 * n
    bench_edges("Uniform random", n, uniform_edges(n, m), args.repeats)
    bench_edges("R-MAT", n, np.column_stack(rmat_edges(args.scale)), args.repeats)
    bench_memory(args.memory_vertices)


if __name__ == "__main__":
    main()
