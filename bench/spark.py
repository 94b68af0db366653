"""Times veltrix.spark in Spark local mode beside the native kernels on the same R-MAT graphs.

    python bench/spark.py [--scales 18,20] [--cores 2] [--give-up-after 300] [--markdown table.md]

Graphs: undirected R-MAT (veltrix.generators.rmat_edges, seed 1, 16 edges per vertex, repeats and
self-loops kept) at 2^18 and 2^20 vertices; shortest distances use integer weights 1..100. The
edges reach Spark as a Parquet file, as they would on a cluster. Each Spark time is one run of
the function followed by collecting its result with to_numpy (the whole answer, checked against
the native one); each native time is one call with all hardware threads. "rounds" counts the
Spark function's loop: large-star/small-star rounds, iterations, search levels or relaxation
rounds. One local session (local[cores], 8 shuffle partitions, 6 GB driver) serves every call;
its start-up is reported on its own line. A function whose Spark time at one scale exceeds
--give-up-after seconds is not run at the larger scales (its row says so), so that one slow
function cannot hold up the rest of the table.
"""

import argparse
import os
import shutil
import sys
import tempfile
import time

import numpy as np
import pyarrow as pa
import pyarrow.parquet as pq

import veltrix as vx
from veltrix.generators import integer_weights, rmat_edges

os.environ.setdefault("SPARK_LOCAL_IP", "127.0.0.1")

from pyspark.sql import SparkSession  # noqa: E402

from veltrix import spark as vs  # noqa: E402


def timed(run):
    start = time.perf_counter()
    value = run()
    return time.perf_counter() - start, value


def same(kind, got, want):
    if kind == "pagerank":
        return bool(np.allclose(got, want, rtol=1e-12, atol=0))
    return np.asarray(got).tolist() == (want if isinstance(want, (list, int)) else list(want))


def cells(spark, scale, directory, slow):
    n = 1 << scale
    src, dst = rmat_edges(scale)
    weights = integer_weights(len(src))
    graph = vx.from_edges(src, dst, n)
    weighted = vx.from_edges(src, dst, n, weights=weights)
    path = os.path.join(directory, f"rmat{scale}.parquet")
    pq.write_table(pa.table({"src": src, "dst": dst, "weight": weights}), path)
    edges = spark.read.parquet(path)
    source = 0
    kernels = [
        (
            "components",
            lambda: vx.parallel_connected_components(graph),
            lambda st: vs.to_numpy(vs.connected_components(edges, n, stats=st), n),
        ),
        (
            "pagerank",
            lambda: vx.parallel_pagerank(graph),
            lambda st: vs.to_numpy(vs.pagerank(edges, n, stats=st), n),
        ),
        (
            "hop_distances",
            lambda: vx.parallel_bfs(graph, source),
            lambda st: vs.to_numpy(vs.hop_distances(edges, n, source, stats=st), n),
        ),
        (
            "reachable",
            lambda: vx.parallel_dfs(graph, source),
            lambda st: vs.to_numpy(vs.reachable(edges, n, source, stats=st), n),
        ),
        (
            "shortest_distances",
            lambda: vx.parallel_dijkstra(weighted, source),
            lambda st: vs.to_numpy(vs.shortest_distances(edges, n, source, stats=st), n),
        ),
        (
            "triangle_count",
            lambda: vx.triangle_count_parallel(graph),
            lambda st: vs.triangle_count(edges, n),
        ),
    ]
    for name, native, distributed in kernels:
        if name in slow:
            yield (f"R-MAT 2^{scale}", name, None, slow[name], None, None)
            continue
        native_seconds, want = timed(native)
        stats = {}
        spark_seconds, got = timed(lambda: distributed(stats))
        yield (
            f"R-MAT 2^{scale}",
            name,
            spark_seconds,
            stats.get("rounds"),
            native_seconds,
            same(name, got, want),
        )


def main():
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--scales", default="18,20")
    parser.add_argument("--cores", type=int, default=2)
    parser.add_argument(
        "--give-up-after",
        type=float,
        default=300.0,
        help="skip a function at larger scales once it took longer than this",
    )
    parser.add_argument("--markdown", help="also write the table to this file")
    args = parser.parse_args()

    start, spark = timed(
        lambda: (
            SparkSession.builder.master(f"local[{args.cores}]")
            .config("spark.sql.shuffle.partitions", "8")
            .config("spark.ui.enabled", "false")
            .config("spark.ui.showConsoleProgress", "false")
            .config("spark.driver.memory", "6g")
            .getOrCreate()
        )
    )
    spark.sparkContext.setLogLevel("ERROR")
    header = "| graph | function | Spark (s) | rounds | native (s) | Spark / native | same answer |"
    lines = [f"Spark session start: {start:.1f} s", "", header, "|---|---|---:|---:|---:|---:|---|"]
    print("\n".join(lines), flush=True)
    directory = tempfile.mkdtemp(prefix="veltrix-spark-bench-")
    try:
        slow = {}
        for scale in (int(s) for s in args.scales.split(",")):
            for graph, name, spark_s, rounds, native_s, ok in cells(spark, scale, directory, slow):
                if spark_s is None:
                    line = f"| {graph} | {name} | not run: {rounds} | - | - | - | - |"
                else:
                    line = (
                        f"| {graph} | {name} | {spark_s:.1f} | {'-' if rounds is None else rounds} | "
                        f"{native_s:.3f} | {spark_s / native_s:,.0f} | {'yes' if ok else 'NO'} |"
                    )
                    if spark_s > args.give_up_after:
                        slow[name] = f"{spark_s:.0f} s at 2^{scale}"
                lines.append(line)
                print(line, flush=True)
                if args.markdown:
                    with open(args.markdown, "w") as out:
                        out.write("\n".join(lines) + "\n")
    finally:
        spark.stop()
        shutil.rmtree(directory, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
