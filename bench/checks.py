"""Performance checks that a shared machine makes too noisy for the test suite: each prints its
figure and its limit, and the script exits 1 when any figure is past its limit. The limits are
wide, so only a gross regression trips them; timed variants run alternately in this one process
and are compared as ratios of their best runs' CPU time.

    python bench/checks.py [--repeats 5]

- direct path: an exact list or a numpy array handed to add_edges, build_from_adj_list or
  build_from_adj_matrix is read by the direct path, not element by element. A list subclass (or
  an ndarray subclass) of the same value takes the element-by-element path; the direct path must
  be at least 1.5x faster (it is several times faster). Every input is refused after conversion,
  so the times compare the conversions alone.
- small batches: add_edges with one edge per call costs about what add_edge does (no per-call
  setup that grows with the graph); 40,000 one-edge batches must take under 5x the single adds.
- list sizes: bulk builds size each neighbour list exactly instead of growing it by appends.
  Bytes kept per undirected edge of a 20,000-vertex, 160,000-edge build, read from glibc's
  allocation statistics in a fresh process: under 14 for Graph (8 of entries, plus list headers
  and allocator rounding) and under 52 for WeightedGraph; appended lists keep about 16.5 and 67.
"""

import argparse
import subprocess
import sys
import textwrap
import time

import numpy as np

from _veltrix import Graph, WeightedGraph


class ListSub(list):
    pass


class ArraySub(np.ndarray):
    pass


def standard(value):
    """The same value, in a form that only the element-by-element path accepts (rows included)."""
    if type(value) is np.ndarray:
        return value.view(ArraySub)
    return ListSub(ListSub(row) if type(row) is list else row for row in value)


def records(rows, *types, names="uvw"):
    return np.array(rows, dtype=np.dtype(list(zip(names, types))))


def alternate_best(runs, repeats):
    """The best CPU time of each run, the runs taken in turn so that load hits them alike."""
    best = [float("inf")] * len(runs)
    for _ in range(repeats):
        for i, run in enumerate(runs):
            start = time.thread_time()
            run()
            best[i] = min(best[i], time.thread_time() - start)
    return best


def refused(graph_factory, method, argument):
    def convert():
        try:
            getattr(graph_factory(100), method)(argument)
        except IndexError:
            return
        raise AssertionError(f"{graph_factory.__name__}.{method} accepted an out-of-range vertex")

    return convert


def direct_path(repeats):
    rng = np.random.default_rng(5)
    pairs = np.concatenate(
        [[[100, 0]], rng.integers(0, 100, size=(20000, 2))]
    )  # the first is refused
    rows = np.concatenate([[[100] * 200], rng.integers(0, 100, size=(99, 200))])
    cases = [
        ("Graph.add_edges list", Graph, "add_edges", pairs.tolist()),
        ("Graph.add_edges array", Graph, "add_edges", pairs),
        (
            "Graph.add_edges uint32 Fortran array",
            Graph,
            "add_edges",
            np.asfortranarray(pairs.astype(np.uint32)),
        ),
        ("Graph.build_from_adj_list array", Graph, "build_from_adj_list", rows),
        ("Graph.build_from_adj_list lists", Graph, "build_from_adj_list", rows.tolist()),
        (
            "WeightedGraph.add_edges tuples",
            WeightedGraph,
            "add_edges",
            [(u, v, 0.5) for u, v in pairs.tolist()],
        ),
        (
            "WeightedGraph.add_edges records",
            WeightedGraph,
            "add_edges",
            records([(u, v, 0.5) for u, v in pairs.tolist()], "i4", "i8", "f8"),
        ),
        (
            "WeightedGraph.build_from_adj_matrix array",
            WeightedGraph,
            "build_from_adj_matrix",
            np.hstack([rng.random((100, 100)), np.ones((100, 1))]),
        ),
        (
            "WeightedGraph.build_from_adj_list lists",
            WeightedGraph,
            "build_from_adj_list",
            [[(v, 0.5) for v in row] for row in rows.tolist()],
        ),
    ]
    failed = False
    for name, factory, method, argument in cases:
        direct, elementwise = alternate_best(
            [refused(factory, method, argument), refused(factory, method, standard(argument))],
            repeats,
        )
        ratio = elementwise / direct
        failed |= report(f"direct path: {name}, element-by-element / direct", ratio, ">", 1.5)
    return failed


def small_batches(repeats):
    def run(add):
        def build():
            g = Graph(2)
            for _ in range(40000):
                add(g)

        return build

    batches, singles = alternate_best(
        [run(lambda g: g.add_edges([(0, 1)])), run(lambda g: g.add_edge(0, 1))], repeats
    )
    return report("small batches: one-edge add_edges / add_edge", batches / singles, "<", 5)


MEMORY = textwrap.dedent("""
    import ctypes
    import numpy as np
    from _veltrix import Graph, WeightedGraph

    class MallInfo2(ctypes.Structure):
        _fields_ = [(f, ctypes.c_size_t) for f in "a b c d hblkhd f g uordblks i j".split()]

    libc = ctypes.CDLL("libc.so.6")
    libc.mallinfo2.restype = MallInfo2

    def in_use():
        info = libc.mallinfo2()
        return info.uordblks + info.hblkhd

    n, m = 20000, 160000
    edges = np.random.default_rng(1).integers(0, n, size=(m, 2)).tolist()
    before = in_use()
    g = Graph(n, edges)
    print((in_use() - before) / m)
    before = in_use()
    w = WeightedGraph(n)
    w.add_edges([(u, v, 1.0) for u, v in edges])
    print((in_use() - before) / m)
    """)


def list_sizes():
    if not sys.platform.startswith("linux"):
        print("list sizes: skipped (reads glibc's allocation statistics)")
        return False
    out = subprocess.run(
        [sys.executable, "-c", MEMORY], capture_output=True, text=True, timeout=300, check=True
    )
    graph, weighted = map(float, out.stdout.split())
    failed = report("list sizes: Graph bytes per edge", graph, "<", 14)
    return report("list sizes: WeightedGraph bytes per edge", weighted, "<", 52) or failed


def report(name, value, relation, limit):
    """Print one figure against its limit; return whether it is past the limit."""
    ok = value > limit if relation == ">" else value < limit
    print(f"{'ok  ' if ok else 'FAIL'} {name}: {value:.2f} (limit {relation} {limit})")
    return not ok


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument(
        "--repeats", type=int, default=5, help="runs of each timed variant (default 5)"
    )
    args = parser.parse_args()
    failed = direct_path(args.repeats)
    failed |= small_batches(args.repeats)
    failed |= list_sizes()
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
