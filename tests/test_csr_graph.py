"""CSRGraph: the lists Graph would hold, built from every input, simplified on request, saved and
mapped back; damaged files are refused whole."""

import collections.abc
import json

import numpy as np
import pytest
import scipy.sparse

import _veltrix
import veltrix as vx
from veltrix.csr import CSRGraph


def lists_of(csr):
    o, t = csr.offsets, csr.targets
    if csr.weights is None:
        return [t[o[v] : o[v + 1]].tolist() for v in range(csr.num_vertices)]
    w = csr.weights
    return [
        list(zip(t[o[v] : o[v + 1]].tolist(), w[o[v] : o[v + 1]].tolist()))
        for v in range(csr.num_vertices)
    ]


def random_edges(seed, n=200, m=1500):
    rng = np.random.default_rng(seed)
    src, dst = rng.integers(0, n, m), rng.integers(0, n, m)
    src[::17] = dst[::17]  # self-loops
    src[1::23], dst[1::23] = src[: len(src[1::23])], dst[: len(dst[1::23])]  # repeats
    return src, dst, rng.uniform(0, 5, m).round(1)


@pytest.mark.parametrize("threads", [1, 2, 3, 8])
@pytest.mark.parametrize("directed", [False, True])
@pytest.mark.parametrize(
    "dtype", [np.int32, np.int64, np.uint32, np.uint64, np.uint8, np.int16, np.float64]
)
def test_lists_in_input_order_as_graph_holds_them(dtype, directed, threads):
    src, dst, w = random_edges(1, n=250)
    g = vx.from_edges(src, dst, 256, weights=w, directed=directed)
    csr = CSRGraph.from_edges(
        src.astype(dtype), dst.astype(dtype), 256, weights=w, directed=directed, threads=threads
    )
    assert lists_of(csr) == g.get_adj()
    assert (csr.num_vertices, csr.num_arcs, csr.directed, csr.weighted) == (
        256,
        len(csr.targets),
        directed,
        True,
    )
    assert lists_of(CSRGraph.from_graph(g)) == g.get_adj()
    plain = CSRGraph.from_edges(
        src.astype(dtype), dst.astype(dtype), 256, directed=directed, threads=threads
    )
    assert lists_of(plain) == _veltrix.Graph.get_adj(g) and plain.weights is None


@pytest.mark.parametrize("threads", [1, 2, 3])
@pytest.mark.parametrize("directed", [False, True])
def test_graphs_past_the_cached_size_build_the_same_lists(directed, threads):
    # Past 2^17 vertices the builder asks for each edge's cursors some edges ahead.
    n = (1 << 17) + 3
    src, dst, w = random_edges(3, n=n, m=300_000)
    want = CSRGraph.from_graph(vx.from_edges(src, dst, n, weights=w, directed=directed))
    cuts = [0, 7, 150_000, len(src)]
    chunks = [(src[a:b], dst[a:b], w[a:b]) for a, b in zip(cuts, cuts[1:])]
    for csr in (
        CSRGraph.from_edges(src, dst, n, weights=w, directed=directed, threads=threads),
        CSRGraph.from_chunks(chunks, n, weighted=True, directed=directed, threads=threads),
    ):
        for name in ("offsets", "targets", "weights"):
            np.testing.assert_array_equal(getattr(csr, name), getattr(want, name), err_msg=name)


@pytest.mark.parametrize("directed", [False, True])
def test_simplify_keeps_one_lightest_entry_per_neighbour(directed):
    src, dst, w = random_edges(2, n=60)
    w[5] = np.nan
    csr = CSRGraph.from_edges(src, dst, weights=w, directed=directed, simplify=True, threads=2)
    best = {}
    for u, v, x in zip(src.tolist(), dst.tolist(), w.tolist()):
        if u == v:
            continue
        for a, b in [(u, v)] if directed else [(u, v), (v, u)]:
            old = best.get((a, b))
            best[(a, b)] = x if old is None or np.isnan(old) or x < old else old
    want = [sorted((b, x) for (a, b), x in best.items() if a == v) for v in range(csr.num_vertices)]
    assert repr(lists_of(csr)) == repr(want)  # repr compares NaN as NaN


def test_empty_and_isolated():
    assert lists_of(CSRGraph.from_edges([], [])) == []
    csr = CSRGraph.from_edges(np.array([], np.int32), np.array([], np.int32), 4)
    assert csr.offsets.tolist() == [0] * 5 and vx.connected_components(csr).tolist() == [0, 1, 2, 3]


@pytest.mark.parametrize(
    "src, dst, n, error, match",
    [
        ([0, 1], [1], None, ValueError, "src has 2 entries but dst has 1"),
        ([0, -1], [1, 0], None, ValueError, r"src\[1\] = -1 is negative"),
        ([0, 1], [1, 9], 5, ValueError, r"dst\[1\] = 9 is out of range for 5 vertices"),
        (
            np.array([0, 7], np.uint64),
            np.array([1, 2], np.uint64),
            5,
            ValueError,
            r"src\[1\] = 7 is out of range",
        ),
        ([0.5], [1], None, ValueError, "not an integer"),
        ([True], [False], None, TypeError, "boolean"),
        ([0], [1], -1, ValueError, "outside"),
    ],
)
def test_bad_edges_are_refused(src, dst, n, error, match):
    with pytest.raises(error, match=match):
        CSRGraph.from_edges(src, dst, n)


def test_arrays_are_read_only_and_the_class_is_not_built_directly():
    csr = CSRGraph.from_edges([0, 1], [1, 2])
    for array in (csr.offsets, csr.targets):
        with pytest.raises(ValueError, match="read-only"):
            array[0] = 1
    with pytest.raises(TypeError, match="from_edges"):
        CSRGraph()


@pytest.mark.parametrize(
    "dense, directed",
    [
        ([[0, 2.0, 0], [2.0, 1.0, 0], [0, 0, 0]], None),
        ([[0, 1, 1], [0, 0, 1], [1, 0, 0]], None),
        ([[0, 3.5], [1.0, 0]], True),
    ],
)
def test_from_scipy_reads_a_matrix_as_from_scipy_does(dense, directed):
    m = scipy.sparse.csr_array(np.array(dense))
    g = vx.from_scipy(m, directed=directed)
    csr = CSRGraph.from_scipy(m, directed=directed)
    assert lists_of(csr) == g.get_adj() and csr.directed == g.is_directed()
    back = csr.to_scipy()
    assert back.shape == m.shape and back.nnz == csr.num_arcs


@pytest.mark.parametrize("mmap", [True, False])
@pytest.mark.parametrize("simplify", [False, True])
@pytest.mark.parametrize("weighted, directed", [(False, False), (True, True), (True, False)])
def test_save_and_load_give_the_same_graph(tmp_path, mmap, simplify, weighted, directed):
    src, dst, w = random_edges(3)
    csr = CSRGraph.from_edges(
        src, dst, weights=w if weighted else None, directed=directed, simplify=simplify
    )
    csr.save(tmp_path / "g")
    again = CSRGraph.load(tmp_path / "g", mmap=mmap)
    assert (
        lists_of(again) == lists_of(csr)
        and again.directed == directed
        and again.weighted == weighted
    )
    assert vx.hop_distances(again, 0).tolist() == vx.hop_distances(csr, 0).tolist()
    # PageRank sums a sorted graph's lists in place and sorts the others first: the file must not
    # pass unsorted lists off as sorted, nor the reverse.
    assert vx.pagerank(again).tobytes() == vx.pagerank(csr).tobytes()
    assert not again.targets.flags.writeable


def damage(folder, name, change):
    array = np.load(folder / name)
    np.save(folder / name, change(array))


DAMAGES = {
    "missing json": lambda f: (f / "graph.json").unlink(),
    "missing targets": lambda f: (f / "targets.npy").unlink(),
    "truncated targets": lambda f: (f / "targets.npy").write_bytes(
        (f / "targets.npy").read_bytes()[:-40]
    ),
    "garbled header": lambda f: (f / "offsets.npy").write_bytes(b"\x93NUMPY garbage"),
    "wrong version": lambda f: (f / "graph.json").write_text(
        json.dumps({"format": "veltrix-csr", "version": 9})
    ),
    "more vertices": lambda f: (f / "graph.json").write_text(
        json.dumps({**json.loads((f / "graph.json").read_text()), "num_vertices": 500})
    ),
    "target out of range": lambda f: damage(
        f, "targets.npy", lambda t: np.where(t == t[3], 10**6, t)
    ),
    "negative target": lambda f: damage(f, "targets.npy", lambda t: -t - 1),
    "offsets decrease": lambda f: damage(f, "offsets.npy", lambda o: o[::-1].copy()),
    "offsets start late": lambda f: damage(f, "offsets.npy", lambda o: o + 1),
    "int64 targets": lambda f: damage(f, "targets.npy", lambda t: t.astype(np.int64)),
    "lists not mirrored": lambda f: damage(f, "targets.npy", lambda t: np.roll(t, 1)),
    "object array": lambda f: np.save(
        f / "targets.npy", np.array([1, "x"], dtype=object), allow_pickle=True
    ),
}


@pytest.mark.parametrize("mmap", [True, False])
@pytest.mark.parametrize("kind", DAMAGES)
def test_a_damaged_file_is_refused(tmp_path, kind, mmap):
    src, dst, _ = random_edges(4)
    CSRGraph.from_edges(src, dst).save(tmp_path / "g")
    DAMAGES[kind](tmp_path / "g")
    with pytest.raises(ValueError, match=str(tmp_path / "g")):
        CSRGraph.load(tmp_path / "g", mmap=mmap)


@pytest.mark.parametrize("one_shot", [False, True])
@pytest.mark.parametrize("weighted, directed", [(False, False), (True, True)])
def test_chunks_build_what_one_array_builds(tmp_path, one_shot, weighted, directed):
    src, dst, w = random_edges(5)
    whole = CSRGraph.from_edges(src, dst, weights=w if weighted else None, directed=directed)
    cuts = [0, 1, 1, 400, 999, len(src)]
    chunks = [
        (src[a:b].astype(np.int32), dst[a:b].astype(np.int32)) + ((w[a:b],) if weighted else ())
        for a, b in zip(cuts, cuts[1:])
    ]
    source = iter(chunks) if one_shot else chunks
    built = CSRGraph.from_chunks(
        source, weighted=weighted, directed=directed, threads=3, spill_dir=str(tmp_path)
    )
    assert lists_of(built) == lists_of(whole)
    assert list(tmp_path.iterdir()) == []  # the spilled batches are gone


def test_chunks_that_differ_between_readings_are_refused():
    class Shifting(collections.abc.Sequence):
        """A sequence whose batches change between the two readings."""

        readings = 0

        def __len__(self):
            return 1

        def __getitem__(self, k):
            if k > 0:
                raise IndexError
            self.readings += 1
            return np.arange(10) % (5 + self.readings), np.arange(10)[::-1].copy()

    with pytest.raises(RuntimeError, match="changed"):
        CSRGraph.from_chunks(Shifting(), 12)
    with pytest.raises(ValueError, match="chunk 1: dst"):
        CSRGraph.from_chunks([([0], [1]), ([0], [40])], 10)


@pytest.mark.parametrize("suffix", ["", ".gz"])
def test_read_edgelist_gives_the_graph_of_the_file(tmp_path, suffix):
    import gzip

    text = "# a comment\n0 1 2.5\n1 2 1.0\n\n2 0 0.5\n3 3 7\n"
    path = tmp_path / f"edges.txt{suffix}"
    path.write_bytes(gzip.compress(text.encode()) if suffix else text.encode())
    csr = CSRGraph.read_edgelist(path, directed=True, threads=2)
    g = vx.read_edgelist(path, directed=True)
    assert csr.weighted and lists_of(csr) == g.get_adj()
    (tmp_path / "bad.txt").write_text("0 1\n1 x\n")
    with pytest.raises(ValueError, match="line 2"):
        CSRGraph.read_edgelist(tmp_path / "bad.txt")


def test_undirected_lists_installed_whole_stay_unmirrored(tmp_path):
    g = vx.Graph(0)
    g.build_from_adj_list([[1], [2], [], [0]])  # undirected, each edge in one list only
    csr = CSRGraph.from_graph(g)
    csr.save(tmp_path / "g")
    again = CSRGraph.load(tmp_path / "g")
    for graph in (g, csr, again):
        assert vx.connected_components(graph).tolist() == [0, 0, 0, 0]
        assert vx.hop_distances(graph, 3).tolist() == _veltrix.parallel_bfs(g, 3)
