"""The block-by-block edge-list reader against numpy's whole-table read: same edges, same errors,
whatever the block size, the piece size and the thread count."""

import bz2
import gzip

import numpy as np
import pytest

from veltrix import _native
from veltrix.edge_text import edge_chunks, edge_layout
from veltrix.readers import _id_count, _Table

TEXTS = {
    "snap": "# Directed graph\n# FromNodeId\tToNodeId\n0\t1\n% other comment\n\n1\t2   # trailing\n  2 0\n",
    "crlf": "# c\r\n3 4\r\n\r\n5\x0b6\r\n7\x0c8 extra columns\r\n",
    "lone cr": "1 2\r3 4\r\r\n5 6\r",
    "no final newline": "0 1\n2 3\n10 20",
    "weighted": "0 1 2.5\n1 2 inf\n2 3 1e400\n3 4 -1e-400\n4 5 +.5\n5 6 5.\n6 7 1e-310\n7 8 -Infinity\n9 9 NaN\n",
    "csv": "10,30,2.5\n30 , 20,0.5,extra\n 7,\t8 ,1e3 # c\n",
    "big ids": "+2147483646 0\n-0 007\n",
}


@pytest.fixture
def write(tmp_path):
    def write(text, name="graph.txt"):
        path = tmp_path / name
        opener = {".gz": gzip.open, ".bz2": bz2.open}.get(path.suffix, open)
        with opener(path, "wb") as stream:
            stream.write(text.encode("latin-1"))
        return path

    return write


def table_read(path, comments="#%", delimiter=None, weighted=None):
    """What read_edgelist read before the block reader: numpy's table, then the id check."""
    delimiter, weighted = edge_layout(
        path, comments=comments, delimiter=delimiter, weighted=weighted
    )
    table = _Table(str(path), comments, delimiter, 3 if weighted else 2)
    rows = table.load()
    _id_count(table, rows["u"], rows["v"])
    return [rows["u"], rows["v"]] + ([rows["w"]] if weighted else [])


def block_read(path, **options):
    chunks = list(edge_chunks(path, **options))
    for chunk in chunks:
        assert [a.dtype for a in chunk] == [np.int32, np.int32, np.float64][: len(chunk)]
    width = len(chunks[0]) if chunks else 2
    return [np.concatenate([c[k] for c in chunks]) if chunks else np.empty(0) for k in range(width)]


@pytest.mark.parametrize("name", ["graph.txt", "graph.txt.gz", "graph.txt.bz2"])
@pytest.mark.parametrize("key", TEXTS)
@pytest.mark.parametrize("block_bytes", [1, 5, 64 << 20])
def test_same_edges_as_the_table_read(write, name, key, block_bytes):
    path = write(TEXTS[key], name)
    expected = table_read(path, weighted=None)
    got = block_read(path, weighted=None, block_bytes=block_bytes)
    assert len(got) == len(expected)
    for ours, theirs in zip(got, expected):
        np.testing.assert_array_equal(ours, theirs)


@pytest.mark.parametrize(
    "text, line",
    [
        ("0 1\n# c\n1 x\n", 3),
        ("0 1\n" * 9 + "# c\r\n\r1 x\n", 12),
        ("0 1\n\n2\n", 3),
        ("0 1 1.0\n1 2\n", 2),
        ("0 1 1.0\n1 2 heavy\n", 2),
        ("0 1\n1 2 3\n2 3 nan(1)\n4 5 0x1p3\n", None),  # unread columns are not checked
        ("0 1 1\n1 2 nan(1)\n", 2),
        ("0 1 1\n1 2 +-1\n", 2),
        ("0 1\n% c\n1.5 2\n", 3),
        ("0 1\n1 99999999999999999999\n", 2),
        ("0 1\n1 -9223372036854775809\n", 2),
        ("0 1\n1 -9223372036854775808\n", 2),
        ("0 1\r\n-2 -x\r\n", 2),
        ("0 1\n1 -2\n", 2),
        ("0 1\n#\n1 2147483647\n", 3),
        ("0 1\r\r\n1\t+\n", 3),
        ("0,1\n1,,2\n", 2),
        ("0 1\n1 1_000\n", 2),
    ],
)
@pytest.mark.parametrize("block_bytes", [1, 6, 17, 64 << 20])
def test_same_error_as_the_table_read(write, text, line, block_bytes):
    path = write(text)
    if line is None:
        table_read(path)
        block_read(path, block_bytes=block_bytes)
        return
    with pytest.raises(ValueError) as theirs:
        table_read(path)
    with pytest.raises(ValueError) as ours:
        block_read(path, weighted=None, block_bytes=block_bytes)
    if "1_000" in text:  # Python's int() takes it, so only the parser can say which field is wrong
        assert str(ours.value) == f"{path}, line 2: '1_000' is not an integer vertex id: '1 1_000'"
        return
    assert f"{path}, line {line}:" in str(theirs.value)
    assert str(ours.value) == str(theirs.value).replace(" (pass relabel=True to renumber ids)", "")


def test_blank_lines_and_odd_bytes_the_table_read_refuses(write):
    # numpy refuses a CSV line of spaces (without a line number) and a byte that is not UTF-8 even
    # in a comment; both are text the documentation says is skipped.
    path = write("0,1\n   \n# caf\xe9\n1,2\n")
    assert [a.tolist() for a in block_read(path)] == [[0, 1], [1, 2]]


def test_a_line_longer_than_the_block(write):
    path = write("# " + "x" * 1000 + "\n0 1\n" + " " * 500 + "2 3\n")
    assert [a.tolist() for a in block_read(path, block_bytes=16)] == [[0, 2], [1, 3]]


def test_layout_is_resolved_from_the_first_data_line(write):
    assert edge_layout(write("# a,b\n1,2,3\n")) == (",", True)
    assert edge_layout(write("1 2\n")) == (None, False)
    assert edge_layout(write("")) == (None, False)
    with pytest.raises(ValueError, match="delimiter"):
        list(edge_chunks(write("1;2\n"), delimiter=";", comments="#;"))


@pytest.fixture(scope="module")
def random_text():
    rng = np.random.default_rng(7)
    ids = rng.integers(0, 2**31 - 1, size=(20_000, 2))
    weights = rng.standard_normal(len(ids))
    ends = rng.choice(["\n", "\r\n", "\r", "  # c\n", "\n\n"], size=len(ids))
    text = "".join(f"{u}\t{v} {float(w)!r}{end}" for (u, v), w, end in zip(ids, weights, ends))
    return text.encode(), ids, weights


@pytest.mark.parametrize("threads", range(1, 9))
@pytest.mark.parametrize("piece_bytes", [1, 4096])
def test_pieces_join_in_file_order(random_text, threads, piece_bytes):
    text, ids, weights = random_text
    src, dst, w, lines, problem = _native.parse_edge_text(
        text, comments=b"#", weighted=True, threads=threads, piece_bytes=piece_bytes
    )
    assert problem is None
    assert (
        np.array_equal(src, ids[:, 0])
        and np.array_equal(dst, ids[:, 1])
        and np.array_equal(w, weights)
    )
    assert lines == text.count(b"\n") + text.replace(b"\r\n", b"").count(b"\r")
    # The first refused line is found in whichever piece holds it, with its number in the block.
    bad = text.rfind(b"\n", 0, len(text) // 3) + 1
    broken = text[:bad] + b"1 x\n" + text[bad:]
    *_, problem = _native.parse_edge_text(
        broken, comments=b"#", weighted=True, threads=threads, piece_bytes=piece_bytes
    )
    before = text[:bad]
    assert problem[:3] == (
        "not_integer",
        before.count(b"\n") + before.replace(b"\r\n", b"").count(b"\r") + 1,
        bad,
    )
