"""A billion edges on one machine: graphs past 2^31 list entries built, analysed, saved, reopened.

    python bench/billion.py [--graphs uniform,rmat,weighted] [--down K] [--no-triangles]
                            [--markdown FILE]

- uniform: 2^26 vertices, 2^30 undirected edges drawn uniformly (2^31 stored list entries);
- rmat: R-MAT 2^26 with edge factor 16 (again 2^30 edges);
- weighted: R-MAT 2^25, edge factor 16, integer weights 1..100, for shortest distances.

Every graph is generated natively as int32 arrays, built as a CSRGraph, searched and ranked, saved,
reopened by memory map and searched again. Each stage reports its time and the process's peak
resident memory so far; the answers are checked as they come (the search reaches the source's
whole component, PageRank sums to 1 and both PageRanks agree, a uniform graph has about d^3/6
triangles for average degree d, reopened graphs answer as before). ``--down K`` runs every graph
2^K times smaller, for a quick try of the script itself.
"""

from __future__ import annotations

import argparse
import gc
import resource
import shutil
import tempfile
import time
from collections.abc import Callable
from pathlib import Path
from typing import Any

import numpy as np

import veltrix as vx
from veltrix.generators import rmat_arrays, uniform_arrays, weight_array

Row = tuple[str, str, float, float, str]


def peak_gib() -> float:
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 2**20


class Stages:
    def __init__(self, graph: str) -> None:
        self.graph = graph
        self.rows: list[Row] = []

    def run(
        self, stage: str, work: Callable[[], Any], check: Callable[[Any], str] = lambda _: ""
    ) -> Any:
        start = time.perf_counter()
        result = work()
        seconds = time.perf_counter() - start
        note = check(result)
        self.rows.append((self.graph, stage, seconds, peak_gib(), note))
        print(
            f"{self.graph:9} {stage:24} {seconds:9.2f} s  peak {peak_gib():6.2f} GiB  {note}",
            flush=True,
        )
        return result


def analyse(
    stages: Stages,
    graph: vx.CSRGraph,
    uniform_degree: float | None,
    folder: Path,
    triangles: bool = True,
) -> None:
    n = graph.num_vertices
    labels = stages.run(
        "components",
        lambda: vx.connected_components(graph),
        lambda c: f"{len(np.unique(c))} components",
    )
    source = int(np.argmax(np.bincount(labels)))  # a vertex of the largest component (its smallest)
    component = int(np.count_nonzero(labels == labels[source]))

    def reaches_component(hops: np.ndarray) -> str:
        reached = int(np.count_nonzero(hops >= 0))
        assert reached == component, (reached, component)
        return f"reached {reached} of {n}, the source's whole component; depth {int(hops.max())}"

    hops = stages.run("hop distances", lambda: vx.hop_distances(graph, source), reaches_component)
    stages.run(
        "reachable",
        lambda: vx.reachable(graph, source),
        lambda r: (
            f"{int(np.count_nonzero(r))} reachable" if np.array_equal(r, hops >= 0) else "MISMATCH"
        ),
    )
    gathered = stages.run(
        "pagerank, 3 iterations", lambda: vx.pagerank(graph, 3), lambda p: f"sum {p.sum():.12f}"
    )
    assert abs(gathered.sum() - 1.0) < 1e-9
    scattered = stages.run(
        "pagerank_scatter, 3 it.",
        lambda: vx.pagerank_scatter(graph, 3),
        lambda p: f"max difference {np.abs(p - gathered).max():.1e}",
    )
    assert np.allclose(scattered, gathered, rtol=1e-12, atol=0)
    del gathered, scattered

    def about_cubed(t: int) -> str:
        if uniform_degree is None:
            return f"{t} triangles"
        expected = uniform_degree**3 / 6
        assert abs(t - expected) < 0.1 * expected, (t, expected)
        return f"{t} triangles (d^3/6 = {expected:.0f})"

    if triangles:
        stages.run("triangles", lambda: vx.triangle_count(graph), about_cubed)
    stages.run(
        "save",
        lambda: graph.save(folder),
        lambda _: f"{sum(f.stat().st_size for f in folder.iterdir()) / 2**30:.2f} GiB",
    )
    del graph
    gc.collect()
    reopened = stages.run("reopen (map and check)", lambda: vx.CSRGraph.load(folder))
    stages.run(
        "hop distances, reopened",
        lambda: vx.hop_distances(reopened, source),
        lambda again: "same distances" if np.array_equal(again, hops) else "MISMATCH",
    )


def build(
    stages: Stages, make: Callable[[], tuple[Any, ...]], n: int, weighted: bool = False
) -> vx.CSRGraph:
    arrays = stages.run("generate (int32)", make, lambda a: f"{len(a[0])} edges")
    weights = arrays[2] if weighted else None
    graph = stages.run(
        "build CSRGraph",
        lambda: vx.CSRGraph.from_edges(arrays[0], arrays[1], n, weights=weights),
        lambda g: f"{g.num_arcs} list entries",
    )
    del arrays, weights
    gc.collect()
    return graph


def run_graph(name: str, down: int, folder: Path, triangles: bool) -> list[Row]:
    stages = Stages(name)
    if name == "uniform":
        n, m = 1 << (26 - down), 1 << (30 - down)
        graph = build(stages, lambda: uniform_arrays(n, m, seed=7), n)
        analyse(stages, graph, 2 * m / n, folder / name, triangles)
    elif name == "rmat":
        scale = 26 - down
        graph = build(stages, lambda: rmat_arrays(scale, 16, seed=7), 1 << scale)
        analyse(stages, graph, None, folder / name, triangles)
    else:
        scale = 25 - down

        def make() -> tuple[Any, ...]:
            src, dst = rmat_arrays(scale, 16, seed=9)
            return src, dst, weight_array(len(src), low=1, high=100, seed=9)

        graph = build(stages, make, 1 << scale, weighted=True)
        hops = stages.run("hop distances", lambda: vx.hop_distances(graph, 0))

        def consistent(distance: np.ndarray) -> str:
            reached = distance < 1e18
            assert np.array_equal(reached, hops >= 0) and np.all(distance[reached] >= hops[reached])
            return f"{int(np.count_nonzero(reached))} reached, the searched set; every distance >= its hops"

        stages.run("shortest distances", lambda: vx.shortest_distances(graph, 0), consistent)
    return stages.rows


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--graphs", default="uniform,rmat,weighted")
    parser.add_argument("--down", type=int, default=0, help="run every graph 2^K times smaller")
    parser.add_argument(
        "--no-triangles",
        action="store_true",
        help="leave out the triangle counts (R-MAT 2^26's takes over half an hour on 2 cores)",
    )
    parser.add_argument("--markdown", type=Path, help="write the table to FILE")
    args = parser.parse_args()
    folder = Path(tempfile.mkdtemp(prefix="veltrix-billion-"))
    rows: list[Row] = []
    try:
        for name in args.graphs.split(","):
            rows += run_graph(name, args.down, folder, not args.no_triangles)
            gc.collect()
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    if args.markdown:
        lines = ["| graph | stage | seconds | peak RSS (GiB) | check |", "|---|---|---:|---:|---|"]
        lines += [f"| {g} | {s} | {t:.2f} | {p:.2f} | {c} |" for g, s, t, p, c in rows]
        args.markdown.write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
