"""Times the native R-MAT generator against the numpy one and, optionally, the C++ reference suite's.

    python bench/generators.py [--scales 20,22] [--rounds 3] [--gap PATH]

For each scale, every round times in turn: ``rmat_arrays`` on one thread and on every core, the
numpy ``rmat_edges`` (scales up to 22 only: its int64 arrays and float temporaries need about
10 GiB at 24), and with ``--gap PATH`` the reference suite's own R-MAT generator, read from the
"Generate Time" line of ``PATH/bfs -g SCALE -n 1`` with 2 OpenMP threads (that run also builds
and searches its graph, which is not counted). Alternating the variants spreads the noise of a
shared machine over all of them. Each cell is the median over the rounds; ``ratio`` is the
variant's time over ``rmat_arrays`` on every core (above 1: the native generator is faster).
All graphs have edge factor 16.
"""

from __future__ import annotations

import argparse
import os
import re
import statistics
import subprocess
import time
from collections.abc import Callable

from veltrix import get_thread_count
from veltrix.generators import rmat_arrays, rmat_edges

NUMPY_MAX_SCALE = 22


def timed(call: Callable[[], object]) -> float:
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


def gap_generate_seconds(gap: str, scale: int) -> float:
    env = {**os.environ, "OMP_NUM_THREADS": "2"}
    out = subprocess.run(
        [os.path.join(gap, "bfs"), "-g", str(scale), "-n", "1"],
        env=env,
        capture_output=True,
        text=True,
        check=True,
    ).stdout
    found = re.search(r"Generate Time:\s*([0-9.]+)", out)
    if found is None:
        raise RuntimeError(f"no 'Generate Time' in the output of {gap}/bfs:\n{out}")
    return float(found.group(1))


def variants(scale: int, gap: str | None) -> dict[str, Callable[[], float]]:
    cores = get_thread_count(-1)
    found: dict[str, Callable[[], float]] = {
        "rmat_arrays, 1 thread": lambda: timed(lambda: rmat_arrays(scale, threads=1)),
        f"rmat_arrays, {cores} threads": lambda: timed(lambda: rmat_arrays(scale, threads=-1)),
    }
    if scale <= NUMPY_MAX_SCALE:
        found["numpy rmat_edges"] = lambda: timed(lambda: rmat_edges(scale))
    if gap is not None:
        found["reference suite, 2 threads"] = lambda: gap_generate_seconds(gap, scale)
    return found


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scales", default="22", help="comma-separated R-MAT scales (default 22)")
    parser.add_argument(
        "--rounds", type=int, default=3, help="alternating rounds per scale (default 3)"
    )
    parser.add_argument("--gap", help="folder of the built reference suite (its bfs binary)")
    args = parser.parse_args()

    print("| scale | generator | median s | ratio |")
    print("| ---: | --- | ---: | ---: |")
    for scale in (int(s) for s in args.scales.split(",")):
        calls = variants(scale, args.gap)
        times: dict[str, list[float]] = {name: [] for name in calls}
        for _ in range(args.rounds):
            for name, call in calls.items():
                times[name].append(call())
        medians = {name: statistics.median(values) for name, values in times.items()}
        native = medians[f"rmat_arrays, {get_thread_count(-1)} threads"]
        for name, seconds in medians.items():
            print(f"| {scale} | {name} | {seconds:.2f} | {seconds / native:.1f} |", flush=True)


if __name__ == "__main__":
    main()
