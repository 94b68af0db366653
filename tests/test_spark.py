"""veltrix.spark against the native kernels, on one local Spark session, plus one run over Spark
Connect. Without pyspark or Java the module is skipped, unless VELTRIX_REQUIRE_SPARK=1 (the Spark
stage of .ci/run), where either missing is a failure."""

import contextlib
import json
import math
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import textwrap
import threading

import numpy as np
import pytest

import _veltrix as vx
import algorithm_reference as ref

REQUIRED = os.environ.get("VELTRIX_REQUIRE_SPARK") == "1"
# Seconds Spark's JVM gets to come up (about 20 s on a loaded 2-core machine), and each test gets
# (each takes seconds).
START_LIMIT = 300
TEST_LIMIT = 300

pytestmark = pytest.mark.slow
if not REQUIRED:
    pytest.importorskip("pyspark")
    if shutil.which("java") is None:
        pytest.skip("Spark needs Java", allow_module_level=True)

from pyspark.sql import SparkSession  # noqa: E402

from veltrix import spark as vs  # noqa: E402

os.environ["SPARK_LOCAL_IP"] = "127.0.0.1"


def _free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _children():
    """Process ids of this process's children: Spark's JVM, and a test's own client process."""
    me = str(os.getpid())
    found = []
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if fields[1] == me:
            found.append(int(entry))
    return found


@contextlib.contextmanager
def _jvm_limit(seconds):
    """Kills Spark's JVM if the block takes longer than `seconds`, after asking it for a thread
    dump (SIGQUIT; the dump goes to the captured output). PySpark waits without limit for its JVM,
    both for the port at start and for the answer to every call: a stuck JVM would hold the whole
    run, where a dead one makes the waiting call raise at once."""
    done = threading.Event()

    def watch():
        if done.wait(seconds):
            return
        for pid in _children():
            os.kill(pid, signal.SIGQUIT)
        done.wait(5)
        for pid in _children():
            os.kill(pid, signal.SIGKILL)

    threading.Thread(target=watch, daemon=True).start()
    try:
        yield
    finally:
        done.set()


def _start(builder):
    try:
        with _jvm_limit(START_LIMIT):
            return builder.getOrCreate()
    except Exception as error:
        message = f"Spark did not start within {START_LIMIT} s: {error}"
        if REQUIRED:
            pytest.fail(message)
        pytest.skip(message)


@pytest.fixture(scope="module")
def spark():
    # The session also serves Spark Connect on loopback, so the Connect test needs no Java of its
    # own. Every query here is tiny and short-lived: the JIT's first tier is all that pays back.
    session = _start(
        SparkSession.builder.master("local[2]")
        .appName("veltrix-tests")
        .config("spark.driver.host", "127.0.0.1")
        .config("spark.driver.bindAddress", "127.0.0.1")
        .config("spark.sql.shuffle.partitions", "2")
        .config("spark.ui.enabled", "false")
        .config("spark.ui.showConsoleProgress", "false")
        .config("spark.driver.memory", "2g")
        .config("spark.driver.extraJavaOptions", "-XX:TieredStopAtLevel=1")
        .config("spark.plugins", "org.apache.spark.sql.connect.SparkConnectPlugin")
        .config("spark.connect.grpc.binding.address", "127.0.0.1")
        .config("spark.connect.grpc.binding.port", str(_free_port()))
    )
    session.sparkContext.setLogLevel("ERROR")
    yield session
    session.stop()


@pytest.fixture(autouse=True)
def _test_limit():
    with _jvm_limit(TEST_LIMIT):
        yield


def _random_family(seed, directed):
    rng = random.Random(seed)
    # Vertices 45..49 stay isolated; the random edges bring self-loops and repeats.
    edges = ref.random_edges(rng, 45, 110) + [(7, 8), (7, 8), (8, 7), (3, 3)]
    return 50, edges, directed


def _star(directed):
    return 12, [(5, v) for v in range(12) if v != 5] + [(5, 6)], directed


FAMILIES = {
    "random-undirected": _random_family(1, False),
    "random-directed": _random_family(2, True),
    "star": _star(False),
    "star-directed": _star(True),
    "no-edges": (4, [], False),
}


def _weights(edges, seed):
    rng = random.Random(seed)
    return [(u, v, rng.randint(1, 40) / 8 + rng.random()) for u, v in edges]


def _frame(spark, edges, weighted=False):
    if weighted:
        return spark.createDataFrame(edges, "src long, dst long, weight double")
    return spark.createDataFrame(edges, "src int, dst int")


def _source(edges):
    return edges[0][0] if edges else 0


@pytest.mark.parametrize("family", FAMILIES)
@pytest.mark.parametrize(
    "kind", ["components", "pagerank", "hops", "reachable", "distances", "triangles"]
)
def test_same_answers_as_native(spark, family, kind):
    n, edges, directed = FAMILIES[family]
    graph = vx.Graph(n, edges, directed)
    frame = _frame(spark, edges)
    source = _source(edges)
    if kind == "components":
        got = vs.to_numpy(vs.connected_components(frame, n, directed=directed), n)
        assert got.tolist() == vx.parallel_connected_components(graph)
    elif kind == "pagerank":
        # Every iteration runs the same plan; the third already spreads mass that dangled twice.
        got = vs.to_numpy(vs.pagerank(frame, n, iterations=3, damping=0.85, directed=directed), n)
        np.testing.assert_allclose(
            got, vx.parallel_pagerank(graph, iterations=3), rtol=1e-12, atol=0
        )
    elif kind == "hops":
        got = vs.to_numpy(vs.hop_distances(frame, n, source, directed=directed), n)
        assert got.tolist() == vx.parallel_bfs(graph, source)
    elif kind == "reachable":
        got = vs.to_numpy(vs.reachable(frame, n, source, directed=directed), n)
        assert got.tolist() == vx.parallel_dfs(graph, source)
    elif kind == "distances":
        weighted = _weights(edges, 7)
        wgraph = vx.WeightedGraph(n, directed)
        wgraph.add_edges(weighted)
        got = vs.to_numpy(
            vs.shortest_distances(_frame(spark, weighted, True), n, source, directed=directed), n
        )
        # Bit for bit, 1e18 for the unreached included.
        assert got.tolist() == vx.parallel_dijkstra(wgraph, source)
    else:
        assert vs.triangle_count(frame, n, directed=directed) == vx.triangle_count_parallel(graph)


@pytest.mark.parametrize("directed", [False, True])
def test_repeated_edges_weigh_triangles_as_the_kernel_does(spark, directed):
    # Each pair of a triangle repeated a different number of times, plus a triangle whose
    # highest vertex is the one of lowest degree, so both branches of the weight rule run.
    edges = (
        [(0, 1)] * 2
        + [(0, 2)] * 3
        + [(1, 2)] * 5
        + [(2, 3), (3, 4), (2, 4), (4, 2), (9, 3), (9, 4)]
    )
    edges += [(10 + i, j) for i in range(5) for j in (0, 1, 2)]
    n = 15
    got = vs.triangle_count(_frame(spark, edges), n, directed=directed)
    assert got == vx.triangle_count_parallel(vx.Graph(n, edges, directed))


def test_components_of_a_long_shuffled_path_take_logarithmic_rounds(spark):
    n = 5000
    order = list(range(n))
    random.Random(5).shuffle(order)
    edges = list(zip(order, order[1:]))
    stats = {}
    got = vs.to_numpy(vs.connected_components(_frame(spark, edges), n + 3, stats=stats), n + 3)
    assert got.tolist() == [0] * n + [n, n + 1, n + 2]
    assert stats["rounds"] <= 2 * math.log2(n)


def test_negative_cycle_raises_and_negative_edges_do_not(spark):
    edges = [(0, 1, 2.0), (1, 2, -1.5), (2, 3, 1.0), (0, 3, 4.0), (4, 5, -1.0)]
    graph = vx.WeightedGraph(6, True)
    graph.add_edges(edges)
    got = vs.to_numpy(vs.shortest_distances(_frame(spark, edges, True), 6, 0, directed=True), 6)
    assert got.tolist() == vx.parallel_dijkstra(graph, 0)
    cycle = edges + [(3, 1, -0.75)]
    with pytest.raises(ValueError, match="negative cycle"):
        vs.shortest_distances(_frame(spark, cycle, True), 6, 0, directed=True)
    # An undirected negative edge is a cycle of two edges.
    with pytest.raises(ValueError, match="negative cycle"):
        vs.shortest_distances(_frame(spark, edges, True), 6, 4)


@pytest.mark.parametrize(
    "rows, schema, error, message",
    [
        ([(0, 3)], "src long, dst long", ValueError, "out of range for 3 vertices"),
        ([(-1, 2)], "src long, dst long", ValueError, "vertex id -1 in column 'src' is negative"),
        ([(0, None)], "src long, dst long", ValueError, "column 'dst' holds 1 null"),
        ([(0.0, 1.0)], "src double, dst double", TypeError, "column 'src' must hold integer"),
        ([("0", "1")], "src string, dst string", TypeError, "integer vertex ids, not string"),
        ([(0, 1)], "from long, to long", ValueError, "no column 'src'"),
    ],
)
def test_bad_input_is_refused_by_name(spark, rows, schema, error, message):
    with pytest.raises(error, match=message):
        vs.connected_components(spark.createDataFrame(rows, schema), 3)


def test_bad_arguments(spark):
    frame = _frame(spark, [(0, 1)])
    with pytest.raises(IndexError, match="source 2 is out of range"):
        vs.hop_distances(frame, 2, 2)
    with pytest.raises(ValueError, match="iterations must be positive"):
        vs.pagerank(frame, 2, iterations=0)
    with pytest.raises(ValueError, match="damping"):
        vs.pagerank(frame, 2, damping=1.0)
    with pytest.raises(ValueError, match="weight"):
        vs.shortest_distances(frame, 2, 0)
    with pytest.raises(ValueError, match="checkpoint"):
        vs.reachable(frame, 2, 0, checkpoint="disk")


@pytest.mark.parametrize("directed", [False, True])
def test_graphs_shipped_from_this_machine_keep_their_lists(spark, directed):
    graph = ref.random_graph(3, 30, 70, directed, "weighted_edges")
    frame = vs.edges_from_graph(spark, graph)
    n = graph.vertices()
    assert vs.triangle_count(frame, n, directed=directed) == vx.triangle_count_parallel(graph)
    got = vs.to_numpy(vs.pagerank(frame, n, iterations=3, directed=directed), n)
    np.testing.assert_allclose(got, vx.parallel_pagerank(graph, iterations=3), rtol=1e-12, atol=0)
    asymmetric = ref.random_graph(4, 10, 20, False, "lists")
    with pytest.raises(ValueError, match="both directions"):
        vs.edges_from_graph(spark, asymmetric)


def test_to_numpy_refuses_a_frame_that_misses_vertices(spark):
    frame = spark.createDataFrame([(0, 1.0), (2, 2.0)], "vertex long, rank double")
    with pytest.raises(ValueError, match="exactly one row"):
        vs.to_numpy(frame, 3)


CONNECT_SCRIPT = """
import json, sys
from pyspark.sql import SparkSession
from veltrix import spark as vs

url, n, edges, directed, source = json.loads(sys.argv[1])
spark = SparkSession.builder.remote(url).getOrCreate()
assert spark.__class__.__module__.startswith("pyspark.sql.connect"), spark.__class__
frame = spark.createDataFrame([tuple(e) for e in edges], "src long, dst long, weight double")
out = {
    "components": vs.to_numpy(vs.connected_components(frame, n, directed=directed), n).tolist(),
    "pagerank": vs.to_numpy(vs.pagerank(frame, n, iterations=3, directed=directed), n).tolist(),
    "hops": vs.to_numpy(vs.hop_distances(frame, n, source, directed=directed), n).tolist(),
    "distances": vs.to_numpy(vs.shortest_distances(frame, n, source, directed=directed), n).tolist(),
    "triangles": vs.triangle_count(frame, n, directed=directed),
}
spark.stop()
print(json.dumps(out))
"""


def test_the_same_code_runs_over_spark_connect(spark):
    # A client in a process of its own, since a Connect session cannot share a process with the
    # classic one; it talks to the Connect server the classic session runs on loopback.
    url = "sc://127.0.0.1:" + spark.conf.get("spark.connect.grpc.binding.port")
    n, edges, directed = _star(True)
    weighted = _weights(edges, 3)
    source = _source(edges)
    proc = subprocess.run(
        [
            sys.executable,
            "-c",
            textwrap.dedent(CONNECT_SCRIPT),
            json.dumps([url, n, weighted, directed, source]),
        ],
        capture_output=True,
        text=True,
        timeout=600,
    )
    assert proc.returncode == 0, proc.stderr[-3000:]
    out = json.loads(proc.stdout.strip().splitlines()[-1])
    graph = vx.WeightedGraph(n, directed)
    graph.add_edges(weighted)
    assert out["components"] == vx.parallel_connected_components(graph)
    np.testing.assert_allclose(
        out["pagerank"], vx.parallel_pagerank(graph, iterations=3), rtol=1e-12, atol=0
    )
    assert out["hops"] == vx.parallel_bfs(graph, source)
    assert out["distances"] == vx.parallel_dijkstra(graph, source)
    assert out["triangles"] == vx.triangle_count_parallel(graph)
