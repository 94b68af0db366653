"""Graphs from edge-list files (SNAP and CSV style) and Matrix Market files.

Edge lists with ids usable as they stand go to the native block parser (veltrix.edge_text), which
reads them on several threads. Otherwise numpy's C parser reads the whole table in one call; only
when it refuses the text does a line by line scan run, to name the file and line of the first
malformed line in the error.
"""

from __future__ import annotations

import bz2
import gzip
import io
import os
import warnings
from collections.abc import Generator
from contextlib import closing
from dataclasses import dataclass
from typing import IO, Literal, cast, overload

import numpy as np
from numpy.typing import NDArray

from _veltrix import Graph
from veltrix.arrays import MAX_VERTICES, build

__all__ = ["read_edgelist", "read_mtx"]

StrPath = str | os.PathLike[str]


def _open_text(path: str) -> IO[str]:
    # latin-1 maps every byte to a character, so a stray byte in a comment never stops a read.
    if path.endswith(".gz"):
        return gzip.open(path, "rt", encoding="latin-1")
    if path.endswith(".bz2"):
        return bz2.open(path, "rt", encoding="latin-1")
    return open(path, encoding="latin-1")


def _data_lines(path: str, comments: str, skip: int = 0) -> Generator[tuple[int, str]]:
    """Yield (line number, text without comment) for every line after the first `skip` that is not blank."""
    with _open_text(path) as lines:
        for number, line in enumerate(lines, 1):
            if number <= skip:
                continue
            cut = min((i for i in map(line.find, comments) if i >= 0), default=len(line))
            text = line[:cut].strip()
            if text:
                yield number, text


def _split(text: str, delimiter: str | None) -> list[str]:
    return [field.strip() for field in text.split(delimiter)]


def _field_problem(fields: list[str], columns: int) -> str | None:
    """Why numpy would refuse these fields as two integers and, with 3 columns, a float."""
    if len(fields) < columns:
        return f"expected {columns} columns, found {len(fields)}"
    for field in fields[:2]:
        try:
            value = int(field)
        except ValueError:
            return f"{field!r} is not an integer vertex id"
        if not -(2**63) <= value < 2**63:
            return f"vertex id {field} does not fit in 64 bits"
    if columns == 3:
        try:
            float(fields[2])
        except ValueError:
            return f"{fields[2]!r} is not a number"
    return None


@dataclass
class _Table:
    """One table of edges in a file: the lines it starts after, how they split, the columns read."""

    path: str
    comments: str
    delimiter: str | None
    columns: int
    skip: int = 0

    def load(self) -> NDArray[np.void]:
        fields = [("u", np.int64), ("v", np.int64), ("w", np.float64)][: self.columns]
        options = dict(
            delimiter=self.delimiter,
            dtype=fields,
            usecols=range(self.columns),
            skiprows=self.skip,
            ndmin=1,
        )
        # numpy's fast path handles a single comment character; a second one costs five times as
        # much, so try the first alone and fall back to mapping the others onto it.
        with warnings.catch_warnings():
            warnings.filterwarnings("ignore", "loadtxt: input contained no data", UserWarning)
            try:
                return np.loadtxt(self.path, comments=self.comments[:1] or None, **options)  # type: ignore[call-overload]
            except ValueError as first:
                error = first
            if len(self.comments) > 1:
                with _open_text(self.path) as stream:
                    text = stream.read()
                for mark in self.comments[1:]:
                    text = text.replace(mark, self.comments[0])
                try:
                    return np.loadtxt(io.StringIO(text), comments=self.comments[0], **options)  # type: ignore[call-overload]
                except ValueError as second:
                    error = second
        with closing(_data_lines(self.path, self.comments, self.skip)) as lines:
            for number, text in lines:
                problem = _field_problem(_split(text, self.delimiter), self.columns)
                if problem:
                    raise ValueError(f"{self.path}, line {number}: {problem}: {text!r}") from None
        raise ValueError(f"{self.path}: {error}") from None

    def line_of(self, row: int) -> int:
        """The line number of data row `row` (0-based)."""
        with closing(_data_lines(self.path, self.comments, self.skip)) as lines:
            for index, (number, _) in enumerate(lines):
                if index == row:
                    return number
        raise IndexError(row)

    def fail_at(self, row: int, problem: str) -> ValueError:
        return ValueError(f"{self.path}, line {self.line_of(row)}: {problem}")


def _id_count(table: _Table, u: NDArray[np.int64], v: NDArray[np.int64]) -> int:
    """Check that the ids are usable as vertex indices as they stand; return the vertex count."""
    for ends in (u, v):
        if ends.size and ends.min() < 0:
            at = int(np.argmax(ends < 0))
            raise table.fail_at(
                at, f"negative vertex id {ends[at]} (pass relabel=True to renumber ids)"
            )
        if ends.size and ends.max() >= MAX_VERTICES:
            at = int(np.argmax(ends >= MAX_VERTICES))
            raise table.fail_at(
                at,
                f"vertex id {ends[at]} exceeds the 32-bit limit (pass relabel=True to renumber ids)",
            )
    return max((int(ends.max()) + 1 for ends in (u, v) if ends.size), default=0)


def _renumber(ids: NDArray[np.int64]) -> tuple[NDArray[np.int64], NDArray[np.int64]]:
    """Return (distinct ids sorted, the rank of each id among them), as np.unique does."""
    if not ids.size:
        return ids, ids
    low, high = int(ids.min()), int(ids.max())
    # Ids within a few times their count of each other: mark them in a table and count, with no sort.
    if high - low < 2 * ids.size + 2**20:
        present = np.zeros(high - low + 1, dtype=bool)
        present[ids - low] = True
        rank = np.cumsum(present) - 1
        return np.flatnonzero(present) + low, rank[ids - low]
    distinct, index = np.unique(ids, return_inverse=True)
    return distinct, index.astype(np.int64, copy=False)


@overload
def read_edgelist(
    path: StrPath,
    *,
    directed: bool = False,
    weighted: bool | None = None,
    comments: str = "#%",
    delimiter: str | None = None,
    relabel: Literal[False] = False,
) -> Graph: ...
@overload
def read_edgelist(
    path: StrPath,
    *,
    directed: bool = False,
    weighted: bool | None = None,
    comments: str = "#%",
    delimiter: str | None = None,
    relabel: Literal[True],
) -> tuple[Graph, NDArray[np.int64]]: ...
def read_edgelist(
    path: StrPath,
    *,
    directed: bool = False,
    weighted: bool | None = None,
    comments: str = "#%",
    delimiter: str | None = None,
    relabel: bool = False,
) -> Graph | tuple[Graph, NDArray[np.int64]]:
    """Read a graph from a text file with one edge ``u v [weight]`` per line.

    This is the SNAP layout (tab- or space-separated, ``#`` comment lines) and the usual CSV one.
    Vertex ids are integers. Columns beyond the ones read are ignored, so are blank lines and
    everything from a comment character to the end of its line. A path ending in ``.gz`` or
    ``.bz2`` is decompressed on the fly.

    Parameters
    ----------
    path : str or path-like
    directed : bool
        Whether each line is an arc; otherwise an undirected edge.
    weighted : bool, optional
        ``None`` (default): the third column, where the first data line has one, is the weight.
        ``True``: the third column is required. ``False``: only two columns are read.
    comments : str
        Every character of this string starts a comment. Empty: no comments.
    delimiter : str, optional
        Field separator. ``None`` (default): a comma if the first data line has one, otherwise
        any run of whitespace.
    relabel : bool
        ``False`` (default): id ``k`` is vertex ``k``; the graph has ``max id + 1`` vertices and
        ids must lie in ``[0, 2**31 - 1)``. ``True``: the distinct ids, sorted, are numbered
        ``0, 1, ...``; any 64-bit ids are allowed.

    Returns
    -------
    Graph or WeightedGraph
        When ``relabel`` is False. A `WeightedGraph` exactly when weights are read.
    (Graph or WeightedGraph, numpy.ndarray of int64)
        When ``relabel`` is True: the graph and ``ids`` with ``ids[vertex]`` the id in the file.

    Raises
    ------
    ValueError
        A malformed line, or an id unusable without relabelling, named by file and line number.
    OSError
        The file cannot be opened or decompressed.
    """
    name = os.fspath(path)
    with closing(_data_lines(name, comments)) as lines:
        number, text = next(lines, (0, ""))
    if delimiter is None and "," in text:
        delimiter = ","
    found = len(_split(text, delimiter)) if text else 0
    if weighted is None:
        weighted = found >= 3
    columns = 3 if weighted else 2
    if text and found < columns:
        raise ValueError(
            f"{name}, line {number}: expected {columns} columns, found {found}: {text!r}"
        )
    if not relabel:
        # Imported here: the block reader builds on this module's line helpers.
        from veltrix.edge_text import native_readable, read_edge_arrays

        if native_readable(comments, delimiter):
            src, dst, read = read_edge_arrays(name, comments, delimiter, weighted)
            n = max((int(ends.max()) + 1 for ends in (src, dst) if ends.size), default=0)
            return build(
                n, cast(NDArray[np.int64], src), cast(NDArray[np.int64], dst), read, directed
            )
    table = _Table(name, comments, delimiter, columns)
    rows = table.load()
    u, v = rows["u"], rows["v"]
    weights = rows["w"] if weighted else None
    if not relabel:
        return build(_id_count(table, u, v), u, v, weights, directed)
    ids, index = _renumber(np.concatenate([u, v]))
    if len(ids) > MAX_VERTICES:
        raise ValueError(
            f"{name}: {len(ids)} distinct ids exceed {MAX_VERTICES} vertices (the 32-bit limit)"
        )
    graph = build(len(ids), index[: len(u)], index[len(u) :], weights, directed)
    return graph, ids


def _mtx_header(path: str) -> tuple[str, str, int, int, int]:
    """Return (field, symmetry, vertices, entries, number of the size line)."""
    with _open_text(path) as lines:
        banner = lines.readline().split()
        if (
            len(banner) != 5
            or banner[0].lower() != "%%matrixmarket"
            or banner[1].lower() != "matrix"
        ):
            raise ValueError(
                f"{path}, line 1: not a Matrix Market file (expected '%%MatrixMarket matrix ...')"
            )
        layout, field, symmetry = (word.lower() for word in banner[2:])
        if layout != "coordinate":
            raise ValueError(
                f"{path}, line 1: only the coordinate layout is supported, not {layout!r}"
            )
        if field not in ("real", "integer", "pattern"):
            raise ValueError(
                f"{path}, line 1: only real, integer and pattern entries are supported, not {field!r}"
            )
        if symmetry not in ("general", "symmetric"):
            raise ValueError(
                f"{path}, line 1: only general and symmetric matrices are supported, not {symmetry!r}"
            )
        for number, line in enumerate(lines, 2):
            text = line.strip()
            if not text or text.startswith("%"):
                continue
            size = text.split()
            if len(size) != 3 or not all(word.isdigit() for word in size):
                raise ValueError(
                    f"{path}, line {number}: expected 'rows columns entries', found {text!r}"
                )
            rows, cols, entries = map(int, size)
            if rows != cols:
                raise ValueError(
                    f"{path}, line {number}: a graph needs a square matrix, this one is {rows} x {cols}"
                )
            if rows > MAX_VERTICES:
                raise ValueError(f"{path}, line {number}: {rows} vertices exceed the 32-bit limit")
            return field, symmetry, rows, entries, number
    raise ValueError(f"{path}: the size line 'rows columns entries' is missing")


def read_mtx(path: StrPath, *, directed: bool | None = None, weighted: bool | None = None) -> Graph:
    """Read a graph from a Matrix Market coordinate file.

    Each entry ``i j [value]`` (1-based) is one edge between vertices ``i - 1`` and ``j - 1``, in
    file order; explicitly stored zeros are edges too. Fields ``real``, ``integer`` and
    ``pattern``; symmetries ``general`` and ``symmetric``. ``.gz`` and ``.bz2`` paths are
    decompressed on the fly.

    Parameters
    ----------
    path : str or path-like
    directed : bool, optional
        ``None`` (default): ``general`` gives a directed graph, ``symmetric`` an undirected one.
        ``True`` on a ``symmetric`` file adds each off-diagonal entry in both directions;
        ``False`` on a ``general`` file makes each entry an undirected edge, as
        `read_edgelist` does with each line.
    weighted : bool, optional
        ``None`` (default): a `WeightedGraph` unless the file is ``pattern`` or every value is 1.
        ``True``: always weighted (pattern entries weigh 1). ``False``: values are ignored.

    Returns
    -------
    Graph or WeightedGraph

    Raises
    ------
    ValueError
        An unsupported or malformed header, a non-square matrix, a malformed entry line, an index
        outside ``[1, n]`` or an entry count that differs from the header's, named by file and
        line number.
    """
    name = os.fspath(path)
    field, symmetry, n, entries, size_line = _mtx_header(name)
    table = _Table(name, "%", None, 2 if field == "pattern" else 3, skip=size_line)
    rows = table.load()
    if len(rows) != entries:
        if len(rows) > entries:
            raise table.fail_at(entries, f"more entries than the {entries} the header announces")
        raise ValueError(
            f"{name}: the header announces {entries} entries but the file ends after {len(rows)}"
        )
    u, v = rows["u"] - 1, rows["v"] - 1
    for ends in (u, v):
        outside = (ends < 0) | (ends >= n)
        if outside.any():
            at = int(np.argmax(outside))
            raise table.fail_at(at, f"index {ends[at] + 1} is outside [1, {n}]")
    values = rows["w"] if field != "pattern" else np.ones(len(rows))
    if directed is None:
        directed = symmetry == "general"
    if directed and symmetry == "symmetric":
        mirror = u != v
        u, v = np.concatenate([u, v[mirror]]), np.concatenate([v, u[mirror]])
        values = np.concatenate([values, values[mirror]])
    if weighted is None:
        weighted = field != "pattern" and not bool(np.all(values == 1.0))
    return build(n, u, v, values if weighted else None, directed)
