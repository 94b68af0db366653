"""Checks of the edge DataFrame and the vertex count, and the pieces every algorithm shares.

The checks run before any algorithm starts, in one pass over the edges, so a bad id is reported
by name instead of surfacing as a wrong answer or a failed join many rounds later.
"""

from __future__ import annotations

import operator
from typing import Any, Literal

try:
    from pyspark.sql import Column, DataFrame
    from pyspark.sql import functions as F
    from pyspark.sql.types import IntegralType, NumericType
except ImportError as error:  # pragma: no cover - depends on the environment
    raise ImportError('veltrix.spark needs pyspark: pip install "veltrix[spark]"') from error

Checkpoint = Literal["local", "reliable"]
"""How a loop cuts its query plan each round: ``"local"`` keeps the round's result on the
executors (fast; a lost executor fails the job), ``"reliable"`` writes it to Spark's checkpoint
directory (``spark.checkpoint.dir`` or ``SparkContext.setCheckpointDir``), which survives lost
executors on a cluster."""

#: The distance of a vertex that the source cannot reach, as the native kernel reports it.
UNREACHED = 1e18

Stats = dict[str, int]


def vertex_count(num_vertices: Any) -> int:
    """Return ``num_vertices`` as a non-negative int, or raise."""
    if isinstance(num_vertices, bool):
        raise TypeError("num_vertices must be an integer, not bool")
    try:
        n = operator.index(num_vertices)
    except TypeError:
        raise TypeError(
            f"num_vertices must be an integer, not {type(num_vertices).__name__}"
        ) from None
    if n < 0:
        raise ValueError(f"num_vertices must be non-negative, got {n}")
    return n


def source_vertex(source: Any, n: int) -> int:
    """Return ``source`` as an int in ``[0, n)``, or raise."""
    if isinstance(source, bool):
        raise TypeError("source must be an integer, not bool")
    try:
        s = operator.index(source)
    except TypeError:
        raise TypeError(f"source must be an integer, not {type(source).__name__}") from None
    if not 0 <= s < n:
        raise IndexError(f"source {s} is out of range [0, {n})")
    return s


def checkpoint_mode(checkpoint: Any) -> Checkpoint:
    if checkpoint not in ("local", "reliable"):
        raise ValueError(f"checkpoint must be 'local' or 'reliable', got {checkpoint!r}")
    mode: Checkpoint = checkpoint
    return mode


def checked_edges(edges: DataFrame, n: int, *, weighted: bool = False) -> DataFrame:
    """Return the edges as ``src``, ``dst`` (long) and, if ``weighted``, ``weight`` (double).

    Raises
    ------
    ValueError
        A column is missing, holds nulls, or an id lies outside ``[0, n)``.
    TypeError
        ``src`` or ``dst`` is not of an integer type, or ``weight`` not of a numeric type.
    """
    if not isinstance(edges, DataFrame):
        raise TypeError(f"edges must be a pyspark.sql.DataFrame, not {type(edges).__name__}")
    names = ["src", "dst", "weight"] if weighted else ["src", "dst"]
    fields = {field.name: field.dataType for field in edges.schema.fields}
    for name in names:
        if name not in fields:
            raise ValueError(
                f"edges has no column {name!r}; it needs columns {', '.join(map(repr, names))}"
            )
    for name in ("src", "dst"):
        if not isinstance(fields[name], IntegralType):
            raise TypeError(
                f"column {name!r} must hold integer vertex ids, not {fields[name].simpleString()}"
            )
    if weighted and not isinstance(fields["weight"], NumericType):
        raise TypeError(f"column 'weight' must be numeric, not {fields['weight'].simpleString()}")

    summary: list[Column] = []
    for name in names:
        summary.append(F.count(F.when(F.col(name).isNull(), 1)).alias(f"{name}_nulls"))
    for name in ("src", "dst"):
        summary += [F.min(name).alias(f"{name}_min"), F.max(name).alias(f"{name}_max")]
    row = edges.agg(*summary).first()
    assert row is not None
    for name in names:
        if row[f"{name}_nulls"]:
            raise ValueError(f"column {name!r} holds {row[f'{name}_nulls']} null value(s)")
    for name in ("src", "dst"):
        low, high = row[f"{name}_min"], row[f"{name}_max"]
        if low is not None and low < 0:
            raise ValueError(f"vertex id {low} in column {name!r} is negative")
        if high is not None and high >= n:
            raise ValueError(
                f"vertex id {high} in column {name!r} is out of range for {n} vertices"
            )

    columns = [F.col("src").cast("long").alias("src"), F.col("dst").cast("long").alias("dst")]
    if weighted:
        columns.append(F.col("weight").cast("double").alias("weight"))
    return edges.select(*columns)


def graph_lists(edges: DataFrame, directed: bool) -> DataFrame:
    """The entries of the graph's neighbour lists as rows ``src -> dst``.

    An undirected edge stands in both endpoints' lists, so an undirected self-loop stands twice
    in its vertex's list: out-degrees, and through them PageRank, count it twice.
    """
    if directed:
        return edges
    reverse = [F.col("dst").alias("src"), F.col("src").alias("dst")]
    reverse += [F.col(c) for c in edges.columns if c not in ("src", "dst")]
    return edges.unionByName(edges.select(*reverse))


def vertices(edges: DataFrame, n: int) -> DataFrame:
    """One row per vertex ``0..n-1``, column ``vertex``."""
    return edges.sparkSession.range(n).select(F.col("id").alias("vertex"))


def cut(frame: DataFrame, checkpoint: Checkpoint) -> DataFrame:
    """Materialise ``frame`` and drop its lineage, so the plans of a loop stay one round long."""
    if checkpoint == "local":
        return frame.localCheckpoint(eager=True)
    return frame.checkpoint(eager=True)


def report(stats: Stats | None, rounds: int) -> None:
    if stats is not None:
        stats["rounds"] = rounds
