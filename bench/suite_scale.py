"""One large R-MAT graph against the C++ reference suite, through the array functions only.

    python bench/suite_scale.py --gap /path/to/gapbs [--scale 24] [--trials 2] [--kernels K,...]
                                [--markdown FILE]

`bench/peers.py --gap` times three VELTRIX APIs, before and after the suite's five trials; at 2^24
vertices (2^28 edges) that would take hours, and the list API's graphs more memory than the
machine has beside the suite's. This script keeps what a graph of that size is for:

- the edges drawn by the native generator (`rmat_arrays`, seed 1) with integer weights 1..100,
  written as text and converted by the suite's own converter (`-s`: symmetrised, repeats and
  self-loops dropped, the lightest weight kept);
- the suite's kernels (`--trials` trials each, 2 OpenMP threads) against VELTRIX's array functions
  on `CSRGraph.from_edges(..., simplify=True)` with 2 threads, the same graph; the median of 3 calls
  (1 for a call over 8 s) against the suite's median trial, its trials of a kernel run just before
  and just after VELTRIX's calls of the same kernel;
- generate + build: the suite's own generator and builder (`-g N`, the times it prints) against
  `rmat_arrays` and a plain `CSRGraph.from_edges`;
- checks: both simplified graphs have the same edge count, the triangle counts agree.
"""

from __future__ import annotations

import argparse
import os
import statistics
import tempfile
import time
from pathlib import Path

from peers import (
    ARRAY_THREADS,
    SUITE_KERNELS,
    array_calls,
    fmt_ms,
    gap_files,
    median_seconds,
    run_gap,
    suite_output,
    suite_seconds,
    time_cell,
)

import veltrix as vx
from veltrix.generators import rmat_arrays, weight_array


def suite_generate_and_build(gap: Path, scale: int) -> tuple[float, float]:
    """The suite's own R-MAT generator and builder at `scale`, as it times them."""
    out = suite_output(gap, "bfs", "-g", str(scale), "-n", "0")
    return suite_seconds(out, "Generate Time"), suite_seconds(out, "Build Time")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--gap", type=Path, required=True, metavar="PATH")
    parser.add_argument("--scale", type=int, default=24)
    parser.add_argument("--trials", type=int, default=2, help="the suite's trials per kernel")
    parser.add_argument("--kernels", default=",".join(SUITE_KERNELS))
    parser.add_argument("--markdown", type=Path, metavar="FILE")
    args = parser.parse_args()
    kernels = args.kernels.split(",")
    scale, n = args.scale, 1 << args.scale
    print(f"R-MAT 2^{scale}; load average {os.getloadavg()[0]:.2f}", flush=True)
    rows = []

    suite_generate, suite_build = suite_generate_and_build(args.gap, scale)
    start = time.perf_counter()
    src, dst = rmat_arrays(scale, 16, seed=1)
    generate = time.perf_counter() - start
    build, _ = median_seconds(lambda: vx.CSRGraph.from_edges(src, dst, n, threads=ARRAY_THREADS))
    rows.append(("generate + build", suite_generate + suite_build, generate + build))
    print(
        f"generate + build: suite {suite_generate:.1f} + {suite_build:.1f} s, "
        f"VELTRIX {generate:.1f} + {build:.1f} s ({len(src)} edges)",
        flush=True,
    )

    weights = weight_array(len(src), low=1, high=100, seed=1)
    with tempfile.TemporaryDirectory(prefix="veltrix-suite-") as folder:
        suite = gap_files(args.gap, f"rmat{scale}", src, dst, weights, Path(folder))
        print(f"suite's graph: {suite.edges} edges", flush=True)
        simple = vx.CSRGraph.from_edges(src, dst, n, simplify=True, threads=ARRAY_THREADS)
        weighted = vx.CSRGraph.from_edges(
            src, dst, n, weights=weights, simplify=True, threads=ARRAY_THREADS
        )
        src = dst = weights = None  # freed: the graphs hold their own arrays
        checks = [f"edges: VELTRIX {simple.num_arcs // 2}, the suite {suite.edges}"]
        assert simple.num_arcs == 2 * suite.edges, checks[0]

        calls = array_calls((simple, weighted, simple), n)
        for kernel in kernels:
            before, suite_triangles = run_gap(args.gap, suite, [kernel], args.trials)
            timings, results = time_cell({"csr": calls[kernel]}, None)
            after, _ = run_gap(args.gap, suite, [kernel], args.trials)
            ours = timings["csr"].median()
            theirs = statistics.median(before[kernel] + after[kernel])
            if kernel == "triangles":
                checks.append(f"triangles: VELTRIX {results['csr']}, the suite {suite_triangles}")
                assert results["csr"] == suite_triangles, checks[-1]
            rows.append((kernel, theirs, ours))
            print(
                f"  {kernel:<11} suite {fmt_ms(theirs)} ms, VELTRIX {fmt_ms(ours)} ms "
                f"({ours / theirs:.2f})",
                flush=True,
            )

    print("; ".join(checks))
    if args.markdown:
        lines = [
            f"| R-MAT 2^{scale} | the suite | VELTRIX arrays on a CSRGraph | ratio |",
            "|---|---:|---:|---:|",
        ]
        lines += [
            f"| {what} | {fmt_ms(s)} ms | {fmt_ms(o)} ms | {o / s:.2f} |" for what, s, o in rows
        ]
        args.markdown.write_text("\n".join(lines) + "\n\nChecked: " + "; ".join(checks) + ".\n")


if __name__ == "__main__":
    main()
