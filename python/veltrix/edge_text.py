"""Edge-list files read block by block by the native parser, for files too large to hold as text.

Only one block of text is in memory at a time: the file is read into one reused buffer, the block
is cut after its last line end, the native parser turns it into edge arrays on several threads
without the interpreter lock, and the partial line after the cut moves to the buffer's start to
begin the next block. The text accepted, and the error raised for each malformed line, are those of
`veltrix.read_edgelist` (without relabelling, so ids must lie in ``[0, 2**31 - 1)``).
"""

from __future__ import annotations

import bz2
import gzip
import io
import os
from collections.abc import Iterator
from contextlib import closing

import numpy as np
from numpy.typing import NDArray

from veltrix import _native
from veltrix.readers import _data_lines, _field_problem, _split

__all__ = ["edge_chunks", "edge_layout"]

NEEDS_RELABEL = " (pass relabel=True to renumber ids)"

StrPath = str | os.PathLike[str]
Chunk = (
    tuple[NDArray[np.int32], NDArray[np.int32]]
    | tuple[NDArray[np.int32], NDArray[np.int32], NDArray[np.float64]]
)

_NATIVE_PROBLEMS = {
    "not_integer": "{field!r} is not an integer vertex id",
    "beyond_64_bits": "vertex id {field} does not fit in 64 bits",
    "not_number": "{field!r} is not a number",
    "missing_columns": "expected {columns} columns, found fewer",
}


def _open_binary(path: str) -> io.BufferedIOBase:
    if path.endswith(".gz"):
        return gzip.open(path, "rb")
    if path.endswith(".bz2"):
        return bz2.open(path, "rb")
    return open(path, "rb")


def edge_layout(
    path: StrPath,
    *,
    comments: str = "#%",
    delimiter: str | None = None,
    weighted: bool | None = None,
) -> tuple[str | None, bool]:
    """Resolve the field delimiter and whether a weight column is read, as `read_edgelist` does.

    ``delimiter=None`` becomes ``","`` when the first data line has a comma (and stays ``None``,
    any run of whitespace, otherwise); ``weighted=None`` becomes whether that line has three or
    more fields. Returns ``(delimiter, weighted)``.
    """
    name = os.fspath(path)
    if delimiter is not None and weighted is not None:
        return delimiter, weighted
    with closing(_data_lines(name, comments)) as lines:
        _, text = next(lines, (0, ""))
    if delimiter is None and "," in text:
        delimiter = ","
    if weighted is None:
        weighted = bool(text) and len(_split(text, delimiter)) >= 3
    return delimiter, weighted


def _refusal(
    path: str,
    number: int,
    block: memoryview,
    problem: tuple[str, int, int, int, int, int, int],
    comments: str,
    delimiter: str | None,
    columns: int,
    hint: str,
) -> ValueError:
    """The error `read_edgelist` raises for the refused line the parser described in `problem`."""
    kind, _, begin, end, field_begin, field_end, value = problem
    if kind == "negative_id":
        return ValueError(f"{path}, line {number}: negative vertex id {value}{hint}")
    if kind == "id_beyond_32_bits":
        return ValueError(
            f"{path}, line {number}: vertex id {value} exceeds the 32-bit limit{hint}"
        )
    text = bytes(block[begin:end]).decode("latin-1")
    text = text[: min((i for i in map(text.find, comments) if i >= 0), default=len(text))].strip()
    # The table reader's own wording, which looks at the whole line; the parser's view of the field
    # only where Python's int() or float() accepts what the table reader refuses (say "1_000").
    field = bytes(block[field_begin:field_end]).decode("latin-1")
    reason = _field_problem(_split(text, delimiter), columns) or _NATIVE_PROBLEMS[kind].format(
        field=field, columns=columns
    )
    return ValueError(f"{path}, line {number}: {reason}: {text!r}")


def _blocks(
    name: str,
    comments: str,
    delimiter: str | None,
    weighted: bool,
    block_bytes: int,
    threads: int,
    hint: str,
) -> Iterator[Chunk]:
    if block_bytes < 1:
        raise ValueError(f"block_bytes must be positive, got {block_bytes}")
    if not native_readable(comments, delimiter):
        raise ValueError(
            f"comments {comments!r} and delimiter {delimiter!r}: each must be one-byte (latin-1) characters, "
            "the delimiter a single one that is neither a line end nor a comment character"
        )
    marks = comments.encode("latin-1")
    separator = b"" if delimiter is None else delimiter.encode("latin-1")
    columns = 3 if weighted else 2
    buffer = bytearray(block_bytes)
    held = 0  # the carried partial line, at the buffer's start
    first_line = 1
    with _open_binary(name) as stream:
        while True:
            if held == len(buffer):  # a line longer than the buffer
                buffer.extend(bytes(len(buffer)))
            with memoryview(buffer) as whole:
                got = stream.readinto(whole[held:])
            end = held + got
            # A "\r" at the end may be the first half of "\r\n", so it does not end a block unless
            # the file ends there.
            cut = (
                end
                if not got
                else max(buffer.rfind(b"\n", 0, end), buffer.rfind(b"\r", 0, end - 1)) + 1
            )
            if cut == 0 and got:
                held = end
                continue
            with memoryview(buffer) as whole, whole[:cut] as block:
                src, dst, weights, lines, problem = _native.parse_edge_text(
                    block, comments=marks, delimiter=separator, weighted=weighted, threads=threads
                )
                if problem is not None:
                    number = first_line + problem[1] - 1
                    raise _refusal(name, number, block, problem, comments, delimiter, columns, hint)
            first_line += lines
            if len(src):
                yield (src, dst) if weights is None else (src, dst, weights)
            buffer[: end - cut] = buffer[cut:end]
            held = end - cut
            if not got:
                return


def edge_chunks(
    path: StrPath,
    *,
    comments: str = "#%",
    delimiter: str | None = None,
    weighted: bool | None = False,
    block_bytes: int = 64 << 20,
    threads: int = -1,
) -> Iterator[Chunk]:
    """Read an edge-list file block by block; yield each block's edges as arrays.

    The file is the one `read_edgelist` reads (one edge ``u v [weight]`` per line; ``.gz`` and
    ``.bz2`` paths decompressed on the fly), with vertex ids in ``[0, 2**31 - 1)``. Only about
    `block_bytes` of text are held at a time (more only for a single longer line).

    Parameters
    ----------
    path : str or path-like
    comments : str
        Every character of this string starts a comment. Empty: no comments.
    delimiter : str, optional
        Field separator, one character. ``None`` (default): a comma if the first data line has one,
        otherwise any run of whitespace.
    weighted : bool, optional
        Whether the third column is read as the weight (and required). ``None``: whether the first
        data line has three or more fields; `edge_layout` tells which.
    block_bytes : int
        Bytes of text read per block.
    threads : int
        Threads parsing each block; -1 (default) uses every processor.

    Yields
    ------
    (src, dst) or (src, dst, weights)
        int32 arrays of equal length and, when weighted, a float64 array; edges in file order, one
        tuple per block that holds any.

    Raises
    ------
    ValueError
        A malformed line or an id outside ``[0, 2**31 - 1)``, named by file and line number.
    OSError
        The file cannot be opened or decompressed.
    """
    name = os.fspath(path)
    delimiter, weighted = edge_layout(
        name, comments=comments, delimiter=delimiter, weighted=weighted
    )
    return _blocks(name, comments, delimiter, weighted, block_bytes, threads, "")


def native_readable(comments: str, delimiter: str | None) -> bool:
    """Whether the native parser reads this layout: single-byte comment and delimiter characters."""
    try:
        marks = comments.encode("latin-1")
        separator = b"" if delimiter is None else delimiter.encode("latin-1")
    except UnicodeEncodeError:
        return False
    return delimiter is None or (
        len(separator) == 1 and separator not in b"\r\n" and separator not in marks
    )


def read_edge_arrays(
    name: str, comments: str, delimiter: str | None, weighted: bool
) -> tuple[NDArray[np.int32], NDArray[np.int32], NDArray[np.float64] | None]:
    """All edges of a file whose layout is resolved, for `read_edgelist`: (src, dst, weights or None)."""
    sources: list[NDArray[np.int32]] = []
    targets: list[NDArray[np.int32]] = []
    weights: list[NDArray[np.float64]] = []
    for chunk in _blocks(name, comments, delimiter, weighted, 64 << 20, -1, NEEDS_RELABEL):
        sources.append(chunk[0])
        targets.append(chunk[1])
        if len(chunk) == 3:
            weights.append(chunk[2])
    src = np.concatenate(sources) if sources else np.empty(0, np.int32)
    dst = np.concatenate(targets) if targets else np.empty(0, np.int32)
    if not weighted:
        return src, dst, None
    return src, dst, np.concatenate(weights) if weights else np.empty(0, np.float64)
