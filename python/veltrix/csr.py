"""Graphs in compressed sparse row form: immutable, compact, built in parallel, saved and mapped.

A `CSRGraph` keeps one offset per vertex (int64) and one target per list entry (int32), with a
float64 weight beside each target when the graph is weighted: vertex ``v``'s list is
``targets[offsets[v]:offsets[v + 1]]``. An undirected edge stands in both endpoints' lists, and a
self-loop twice in its vertex's list, exactly as `Graph` stores them, so every algorithm gives the
same answer on a `CSRGraph` as on the `Graph` with the same lists.
"""

from __future__ import annotations

import json
import operator
import os
import tempfile
from collections.abc import Callable, Iterable, Iterator, Sequence
from contextlib import contextmanager
from pathlib import Path
from typing import TYPE_CHECKING, Any, Literal

import numpy as np
from numpy.typing import ArrayLike, NDArray

from _veltrix import Graph
from veltrix import _native
from veltrix.arrays import MAX_VERTICES, index_array, scipy_edges, vertex_count, weight_array

if TYPE_CHECKING:
    from scipy.sparse import csr_array, sparray, spmatrix

__all__ = ["CSRGraph"]

_FORMAT = "veltrix-csr"
_VERSION = 1
_NATIVE_IDS = {np.dtype(t) for t in (np.int32, np.int64, np.uint32, np.uint64)}


def _ids(values: ArrayLike, name: str) -> NDArray[Any]:
    """`values` as a contiguous integer array the native builder reads as it is (no int64 copy)."""
    array = np.asarray(values)
    if array.ndim == 1 and array.dtype.kind in "iu":
        if array.dtype in _NATIVE_IDS:
            return np.ascontiguousarray(array)
        if array.dtype.itemsize < 4:
            return array.astype(np.int32)
    return index_array(array, name)


Chunk = tuple[NDArray[Any], NDArray[Any], NDArray[np.float64] | None]


def _chunk(chunk: Any, index: int, weighted: bool) -> Chunk:
    """One batch of edges as the native builder reads it, or a clear error naming the batch."""
    if not isinstance(chunk, tuple | list) or len(chunk) not in (2, 3):
        raise TypeError(f"chunk {index} must be a (src, dst) or (src, dst, weights) tuple")
    s, d = _ids(chunk[0], f"chunk {index}: src"), _ids(chunk[1], f"chunk {index}: dst")
    if len(s) != len(d):
        raise ValueError(f"chunk {index}: src has {len(s)} entries but dst has {len(d)}")
    if s.dtype != d.dtype:
        s, d = s.astype(np.int64), d.astype(np.int64)
    if weighted != (len(chunk) == 3):
        raise ValueError(
            f"chunk {index}: "
            + ("weights are missing" if weighted else "weights given, but weighted=False")
        )
    w = np.ascontiguousarray(weight_array(chunk[2], len(s))) if weighted else None
    return s, d, w


@contextmanager
def _spilled(chunks: Iterable[Any], weighted: bool, folder: str | None) -> Iterator[list[Chunk]]:
    """The chunks, each written to a temporary ``.npy`` file as it arrives and mapped back, so that
    a one-shot iterable can be read twice holding one chunk in memory at a time."""
    with tempfile.TemporaryDirectory(prefix="veltrix-chunks-", dir=folder) as spill:
        mapped: list[Chunk] = []
        for k, chunk in enumerate(chunks):
            arrays = _chunk(chunk, k, weighted)
            names = [os.path.join(spill, f"{k}.{part}.npy") for part in ("src", "dst", "weights")]
            for name, array in zip(names, arrays):
                if array is not None:
                    np.save(name, array)
            w = np.load(names[2], mmap_mode="r") if weighted else None
            mapped.append((np.load(names[0], mmap_mode="r"), np.load(names[1], mmap_mode="r"), w))
            del arrays
        yield mapped
        del mapped


class CSRGraph:
    """An immutable graph in compressed sparse row form.

    Made by `from_edges`, `from_graph`, `from_scipy` or `load`; the arrays it exposes are
    read-only views of its own storage. The array functions (`hop_distances`, `pagerank`, ...)
    take it and run on it without the interpreter lock; the list functions of ``_veltrix``
    (`parallel_bfs`, ...) take a `Graph` or `WeightedGraph` only.
    """

    __slots__ = ("_arrays",)
    _arrays: _native.CsrArrays

    def __init__(self) -> None:
        raise TypeError(
            "CSRGraph objects are made by CSRGraph.from_edges, from_graph, from_scipy or load"
        )

    @classmethod
    def _wrap(cls, arrays: _native.CsrArrays) -> CSRGraph:
        graph = object.__new__(cls)
        graph._arrays = arrays
        return graph

    @classmethod
    def from_edges(
        cls,
        src: ArrayLike,
        dst: ArrayLike,
        num_vertices: int | None = None,
        *,
        weights: ArrayLike | None = None,
        directed: bool = False,
        simplify: bool = False,
        threads: int = -1,
    ) -> CSRGraph:
        """Build the graph with the edges ``src[i] -> dst[i]``, in parallel.

        Parameters
        ----------
        src, dst : array_like of int
            Endpoints of each edge. 32- and 64-bit integer arrays are read as they are; other
            integer types are widened to int32, and float arrays of whole numbers are accepted.
        num_vertices : int, optional
            Number of vertices; by default one more than the largest index (0 without edges).
        weights : array_like of float, optional
            One weight per edge; given, the graph is weighted.
        directed : bool
            Whether edges are arcs. An undirected edge is stored in both endpoints' lists.
        simplify : bool
            Drop self-loops and repeated edges, keeping the lightest weight of each (NaN weighs
            most); each list is then sorted. Without it, every list keeps the input order, as
            `Graph` would hold it.
        threads : int
            Workers to build with; -1 (default) for all hardware threads.

        Returns
        -------
        CSRGraph
            Weighted exactly when `weights` is given.

        Raises
        ------
        TypeError
            Index arrays that are not of integers, or non-numeric weights.
        ValueError
            Arrays that are not one-dimensional or differ in length; NaN, fractional, negative or
            out-of-range indices; more than ``MAX_VERTICES`` vertices.

        Examples
        --------
        >>> import numpy as np
        >>> import veltrix as vx
        >>> c = vx.CSRGraph.from_edges(np.array([0, 1, 1]), np.array([1, 2, 2]), simplify=True)
        >>> c
        CSRGraph(3 vertices, 4 arcs, undirected)
        >>> c.targets
        array([1, 0, 2, 1], dtype=int32)
        """
        s = _ids(src, "src")
        d = _ids(dst, "dst")
        if len(s) != len(d):
            raise ValueError(f"src has {len(s)} entries but dst has {len(d)}")
        if s.dtype != d.dtype:
            s, d = s.astype(np.int64), d.astype(np.int64)
        w = None if weights is None else np.ascontiguousarray(weight_array(weights, len(s)))
        if num_vertices is None:
            n = vertex_count(None, s, d)
        else:
            n = operator.index(num_vertices)
            if not 0 <= n <= MAX_VERTICES:
                raise ValueError(f"num_vertices = {n} is outside [0, {MAX_VERTICES}]")
        try:
            arrays = _native.csr_from_edges(s, d, n, w, bool(directed), bool(simplify), threads)
        except IndexError:
            # The builder found an index out of range; say which, as from_edges does.
            vertex_count(n, s, d)
            raise
        return cls._wrap(arrays)

    @classmethod
    def from_chunks(
        cls,
        chunks: Iterable[Any],
        num_vertices: int | None = None,
        *,
        weighted: bool = False,
        directed: bool = False,
        simplify: bool = False,
        threads: int = -1,
        spill_dir: str | None = None,
    ) -> CSRGraph:
        """Build the graph of edges that arrive in batches, without the whole edge list in memory.

        The result is `from_edges` of all the batches joined in order. The batches are read twice,
        once to count each list's entries and once to place them: a sequence (list, tuple) is
        iterated twice, and must give the same batches both times (else RuntimeError); any other iterable (a generator, a file reader) is read once, each batch
        written to a temporary folder as it arrives and mapped back for the second reading.

        Parameters
        ----------
        chunks : iterable of (src, dst) or (src, dst, weights)
            The batches; integer arrays as `from_edges` takes them.
        num_vertices : int, optional
            Number of vertices; by default one more than the largest index of any batch.
        weighted : bool
            Whether every batch carries a third array of weights.
        directed, simplify, threads
            As for `from_edges`.
        spill_dir : str, optional
            Where the batches of a one-shot iterable are written (default: the system's
            temporary folder).

        Returns
        -------
        CSRGraph

        Raises
        ------
        TypeError
            A batch that is not a 2- or 3-tuple (or list) of arrays, or arrays as `from_edges`
            refuses them.
        ValueError
            A batch with or without weights against `weighted`, or with arrays or indices
            `from_edges` refuses; the message names the batch.
        RuntimeError
            A sequence whose batches changed between the two readings.
        """
        if isinstance(chunks, Sequence):
            sequence = chunks

            def reading() -> Iterator[Chunk]:
                return (_chunk(c, k, weighted) for k, c in enumerate(sequence))

            return cls._from_batches(reading, num_vertices, weighted, directed, simplify, threads)
        with _spilled(chunks, weighted, spill_dir) as batches:
            return cls._from_batches(
                lambda: iter(batches), num_vertices, weighted, directed, simplify, threads
            )

    @classmethod
    def _from_batches(
        cls,
        batches: Callable[[], Iterator[Chunk]],
        num_vertices: int | None,
        weighted: bool,
        directed: bool,
        simplify: bool,
        threads: int,
    ) -> CSRGraph:
        """The graph of the batches, each reading of which `batches()` starts anew."""
        if num_vertices is None:
            n = max((vertex_count(None, s, d) for s, d, _ in batches()), default=0)
        else:
            n = operator.index(num_vertices)
            if not 0 <= n <= MAX_VERTICES:
                raise ValueError(f"num_vertices = {n} is outside [0, {MAX_VERTICES}]")
        builder = _native.CsrBatches(n, bool(directed), bool(weighted), bool(simplify))
        for k, (s, d, _) in enumerate(batches()):
            try:
                builder.count(s, d, threads)
            except IndexError:
                try:
                    vertex_count(n, s, d)
                except ValueError as error:
                    raise ValueError(f"chunk {k}: {error}") from None
                raise
        for s, d, w in batches():
            builder.place(s, d, w, threads)
        return cls._wrap(builder.finish(threads))

    @classmethod
    def read_edgelist(
        cls,
        path: str | os.PathLike[str],
        num_vertices: int | None = None,
        *,
        directed: bool = False,
        weighted: bool | None = None,
        comments: str = "#%",
        delimiter: str | None = None,
        simplify: bool = False,
        threads: int = -1,
        spill_dir: str | None = None,
    ) -> CSRGraph:
        """Read an edge-list file (``u v [weight]`` per line; ``.gz``, ``.bz2``) into a CSRGraph.

        The text is that `veltrix.read_edgelist` reads, with id ``k`` as vertex ``k``. It is parsed
        in parallel a block at a time, and each block's edges are spilled to a temporary folder,
        so the file's text and the graph are never in memory together; a malformed line raises
        ValueError with the file name and line number.

        Parameters
        ----------
        path : str or path-like
            The file; ``.gz`` and ``.bz2`` paths are decompressed on the fly.
        num_vertices : int, optional
            Number of vertices; by default one more than the largest id.
        directed : bool
            Whether each line is an arc; otherwise an undirected edge.
        weighted : bool, optional
            ``None`` (default) reads weights when the first data line has a third field.
        comments : str
            Every character of this string starts a comment to the end of its line.
        delimiter : str, optional
            Field separator; ``None`` (default) is a comma when the first data line has one,
            else any whitespace.
        simplify, threads, spill_dir
            As for `from_chunks`.

        Returns
        -------
        CSRGraph

        Raises
        ------
        ValueError
            A malformed line or a negative or too large id, named by file and line number.
        OSError
            The file cannot be opened or decompressed.
        """
        from veltrix.edge_text import edge_chunks, edge_layout

        delimiter, is_weighted = edge_layout(
            path, comments=comments, delimiter=delimiter, weighted=weighted
        )
        chunks = edge_chunks(
            path, comments=comments, delimiter=delimiter, weighted=is_weighted, threads=threads
        )
        return cls.from_chunks(
            chunks,
            num_vertices,
            weighted=is_weighted,
            directed=directed,
            simplify=simplify,
            threads=threads,
            spill_dir=spill_dir,
        )

    @classmethod
    def from_graph(cls, graph: Graph, *, threads: int = -1) -> CSRGraph:
        """The lists of a `Graph` (and the weights of a `WeightedGraph`), in the same order.

        The lists are copied: later changes to `graph` do not reach the result.

        Raises
        ------
        TypeError
            `graph` is not a `Graph` or `WeightedGraph`.
        """
        if not isinstance(graph, Graph):
            raise TypeError(
                f"from_graph expects a Graph or WeightedGraph, got {type(graph).__name__}"
            )
        return cls._wrap(_native.csr_from_graph(graph, threads))

    @classmethod
    def from_scipy(
        cls,
        matrix: spmatrix | sparray,
        *,
        directed: bool | None = None,
        weighted: bool | None = None,
        threads: int = -1,
    ) -> CSRGraph:
        """Build the graph of a square scipy sparse matrix, read as `veltrix.from_scipy` reads it.

        Every stored entry ``(i, j)`` is an edge ``i -> j``; a symmetric matrix is undirected by
        default and gives each pair once, as the edge ``(i, j)`` with ``i <= j``; a matrix of ones
        gives an unweighted graph unless ``weighted=True``. The matrix's arrays are copied: a
        later change to the matrix never reaches the graph.

        Parameters
        ----------
        matrix : scipy.sparse matrix or array, shape (n, n)
        directed, weighted : bool, optional
            As for `veltrix.from_scipy`.
        threads : int
            Workers to build with; -1 (default) for all hardware threads.

        Raises
        ------
        TypeError, ValueError, ImportError
            As `veltrix.from_scipy` raises them.
        """
        n, rows, cols, values, is_directed = scipy_edges(matrix, directed, weighted)
        return cls.from_edges(rows, cols, n, weights=values, directed=is_directed, threads=threads)

    @property
    def num_vertices(self) -> int:
        """Number of vertices."""
        return self._arrays.num_vertices

    @property
    def num_arcs(self) -> int:
        """Number of list entries: each arc once, each undirected edge twice."""
        return len(self._arrays.targets)

    @property
    def directed(self) -> bool:
        """Whether the edges are arcs."""
        return self._arrays.directed

    @property
    def weighted(self) -> bool:
        """Whether every list entry carries a weight."""
        return self._arrays.weighted

    @property
    def offsets(self) -> NDArray[np.int64]:
        """Read-only int64 array of ``num_vertices + 1`` offsets into `targets`."""
        return self._arrays.offsets

    @property
    def targets(self) -> NDArray[np.int32]:
        """Read-only int32 array of every list's entries, list after list."""
        return self._arrays.targets

    @property
    def weights(self) -> NDArray[np.float64] | None:
        """Read-only float64 weights beside `targets`, or None for an unweighted graph."""
        return self._arrays.weights if self._arrays.weighted else None

    def degree(self, v: int) -> int:
        """Length of vertex `v`'s list.

        Raises
        ------
        IndexError
            `v` is not a vertex.
        """
        if not 0 <= v < self.num_vertices:
            raise IndexError(f"vertex {v} is not in a graph of {self.num_vertices} vertices")
        return int(self.offsets[v + 1] - self.offsets[v])

    def to_scipy(self) -> csr_array:
        """The adjacency matrix as a ``scipy.sparse.csr_array`` (ones for an unweighted graph).

        Repeated entries stay repeated, as scipy allows; ``sum_duplicates()`` adds them up.
        """
        from scipy.sparse import csr_array

        n = self.num_vertices
        data = self.weights if self.weights is not None else np.ones(self.num_arcs)
        return csr_array((data, self.targets, self.offsets), shape=(n, n), copy=True)

    def save(self, path: str | os.PathLike[str]) -> None:
        """Write the graph to the directory `path`: one ``.npy`` file per array and ``graph.json``.

        `load` maps the files back in milliseconds; numpy reads them too (``numpy.load``).
        The folder is created if missing, and an earlier save in it is overwritten;
        ``graph.json`` is written last, so a folder without it is not a saved graph.

        Raises
        ------
        OSError
            The folder or a file cannot be written.
        """
        folder = Path(path)
        folder.mkdir(parents=True, exist_ok=True)
        np.save(folder / "offsets.npy", self.offsets)
        np.save(folder / "targets.npy", self.targets)
        if self.weights is not None:
            np.save(folder / "weights.npy", self.weights)
        meta = {
            "format": _FORMAT,
            "version": _VERSION,
            "num_vertices": self.num_vertices,
            "directed": self.directed,
            "weighted": self.weighted,
            "mirrored": self._arrays.mirrored,
        }
        # Written last: a folder without it is not a saved graph.
        (folder / "graph.json").write_text(json.dumps(meta) + "\n")

    @classmethod
    def load(
        cls, path: str | os.PathLike[str], *, mmap: bool = True, threads: int = -1
    ) -> CSRGraph:
        """Open a graph written by `save`, by memory map unless ``mmap=False``.

        Everything mapped is checked before it becomes a graph (offsets from 0, never decreasing
        and in bounds, every target a vertex, sizes consistent, lists saved as mirroring each
        other still mirroring each other), so a damaged or truncated file raises ValueError, never a crash or
        a wrong answer.

        Parameters
        ----------
        path : str or path-like
            The folder `save` wrote.
        mmap : bool
            Map the files (default) rather than read them into memory. A mapped graph's arrays
            are read-only views of the files.
        threads : int
            Workers for the checks; -1 (default) for all hardware threads.

        Returns
        -------
        CSRGraph

        Raises
        ------
        ValueError
            The folder is not a saved graph of this version (a file missing, or ``graph.json``
            not describing one), or what it holds fails the checks.
        """
        folder = Path(path)
        try:
            meta = json.loads((folder / "graph.json").read_text())
            if meta.get("format") != _FORMAT or meta.get("version") != _VERSION:
                raise ValueError("graph.json does not describe a saved CSR graph of this version")
            n, directed, weighted = int(meta["num_vertices"]), meta["directed"], meta["weighted"]
            mirrored = meta["mirrored"]
            if not all(isinstance(flag, bool) for flag in (directed, weighted, mirrored)):
                raise ValueError(
                    "graph.json: directed, weighted and mirrored must be true or false"
                )
            mode: Literal["r"] | None = "r" if mmap else None
            offsets = np.load(folder / "offsets.npy", mmap_mode=mode, allow_pickle=False)
            targets = np.load(folder / "targets.npy", mmap_mode=mode, allow_pickle=False)
            weights = (
                np.load(folder / "weights.npy", mmap_mode=mode, allow_pickle=False)
                if weighted
                else None
            )
            arrays = _native.csr_checked(n, offsets, targets, weights, directed, mirrored, threads)
        except FileNotFoundError as error:
            raise ValueError(
                f"{folder}: not a saved CSR graph ({error.filename} is missing)"
            ) from None
        except (ValueError, KeyError, TypeError, EOFError, OSError) as error:
            raise ValueError(f"{folder}: not a valid saved CSR graph: {error}") from None
        return cls._wrap(arrays)

    def __repr__(self) -> str:
        kind = ("directed" if self.directed else "undirected") + (
            ", weighted" if self.weighted else ""
        )
        return f"CSRGraph({self.num_vertices} vertices, {self.num_arcs} arcs, {kind})"
