"""Ctrl-C in the middle of an algorithm: the call stops, raises what the signal handler raised,
leaves no thread behind and the graph as it was; a handler cannot change the graph under it.

Each probe runs a child interpreter that repeats one algorithm on a graph of a million edges and
reports, once interrupted, when the interrupt surfaced, whether it came out of the algorithm, and
what it checked afterwards.
"""

import json
import signal
import subprocess
import sys
import time

import pytest

from conftest import UNDER_ASAN

# Every probe builds a graph of a million edges in a fresh interpreter and waits for the signal
# to land inside a call: seconds each.
pytestmark = pytest.mark.slow

# A sanitized build runs the kernels several times slower, tasks between two polls included.
LATENCY_LIMIT = 3.0 if UNDER_ASAN else 1.0

ALGORITHMS = {
    "parallel_connected_components": "(g,)",
    "parallel_pagerank": "(g, 1000000)",  # one call never ends by itself
    "parallel_pagerank_bfs": "(g, 1000000)",
    "parallel_bfs": "(g, 0)",
    "parallel_dfs": "(g, 0)",
    "parallel_dijkstra": "(w, 0)",
    "triangle_count_parallel": "(g,)",
    # The array functions of the package, which run without the interpreter lock.
    "hop_distances": "(g, 0)",
    "connected_components": "(g,)",
    "pagerank": "(g, 1000000)",
    "shortest_distances": "(w, 0)",
    "triangle_count": "(g,)",
}

CHILD = r"""
import json, os, signal, sys, time
import _veltrix as vx
import veltrix
from veltrix import generators

src, dst = generators.rmat_edges(16, 16)
g = veltrix.from_edges(src, dst, 1 << 16)
weights = generators.integer_weights(len(src))
if MUTATE:
    # A negative edge of an undirected graph is a negative cycle: the relaxation passes go on until
    # interrupted, so the signal always lands inside a call, as with PageRank's endless iterations.
    weights[0] = -1.0
w = veltrix.from_edges(src, dst, 1 << 16, weights=weights)
graph = w if NAME in ("parallel_dijkstra", "shortest_distances") else g
before = vx.Graph.get_adj(graph)
threads_before = len(os.listdir("/proc/self/task"))
report = {"in_call": False}

def handler(signum, frame):
    if MUTATE:
        try:
            graph.add_vertex()
        except RuntimeError as error:
            report["mutator"] = str(error)
    raise KeyboardInterrupt

signal.signal(signal.SIGINT, handler)
function = getattr(vx, NAME, None) or getattr(veltrix, NAME)
native = getattr(vx, NAME, None) or getattr(veltrix._native, NAME)

def profile(frame, event, arg):
    # The interrupt came out of the algorithm itself when its call ends in an exception; raised
    # between two calls, it comes from the loop.
    if arg is native and event == "c_exception":
        report["in_call"] = True

print("running", flush=True)
sys.setprofile(profile)
try:
    while True:
        function(*ARGS)
except KeyboardInterrupt:
    report["raised"] = time.monotonic()
sys.setprofile(None)
report["intact"] = vx.Graph.get_adj(graph) == before
report["threads_left"] = len(os.listdir("/proc/self/task")) - threads_before
graph.add_vertex()  # the graph is no longer being read
report["vertices"] = graph.vertices()
print(json.dumps(report), flush=True)
"""


def interrupt(name, mutate=False, delay=0.5):
    """Starts the child, sends SIGINT `delay` s into its loop; returns (report, sent time)."""
    code = f"NAME = {name!r}\nMUTATE = {mutate}\n" + CHILD.replace("ARGS", ALGORITHMS[name])
    proc = subprocess.Popen(
        [sys.executable, "-c", code], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True
    )
    try:
        assert proc.stdout.readline() == "running\n", proc.communicate()[1]
        time.sleep(delay)
        sent = time.monotonic()
        proc.send_signal(signal.SIGINT)
        out, err = proc.communicate(timeout=120)
    finally:
        proc.kill()
    assert proc.returncode == 0, err[-3000:]
    return json.loads(out), sent


@pytest.mark.parametrize("name", list(ALGORITHMS))
def test_ctrl_c_stops_the_call(name, capsys):
    report, sent = interrupt(name)
    latency = report["raised"] - sent
    with capsys.disabled():
        where = "inside the call" if report["in_call"] else "between calls"
        print(f"\n{name}: KeyboardInterrupt {latency * 1000:.0f} ms after SIGINT ({where})")
    assert latency < LATENCY_LIMIT
    assert report["intact"] and report["threads_left"] == 0
    assert report["vertices"] == (1 << 16) + 1
    if "pagerank" in name:  # a call that never ends by itself can only have stopped inside
        assert report["in_call"]


@pytest.mark.parametrize("name", ["parallel_pagerank", "parallel_dijkstra", "pagerank"])
def test_handler_cannot_change_a_graph_being_read(name):
    report, _ = interrupt(name, mutate=True)
    assert report["in_call"]
    assert report["mutator"] == "cannot change a graph while an algorithm is reading it"
    assert report["intact"] and report["vertices"] == (1 << 16) + 1


def test_handler_that_returns_lets_the_call_finish():
    code = r"""
import signal, _veltrix as vx, veltrix
from veltrix import generators
src, dst = generators.rmat_edges(14, 16)
g = veltrix.from_edges(src, dst, 1 << 14)
expected = vx.parallel_pagerank(g, 300)
seen = []
signal.signal(signal.SIGALRM, lambda *_: seen.append(1))
signal.setitimer(signal.ITIMER_REAL, 0.05)
assert vx.parallel_pagerank(g, 300) == expected
print(len(seen))
"""
    proc = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=300)
    assert proc.returncode == 0, proc.stderr[-3000:]
    assert proc.stdout == "1\n"
