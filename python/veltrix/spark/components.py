"""Weakly connected components by alternating large-star and small-star rounds.

Each undirected pair is kept once as ``a -> b`` with ``a > b``. A large-star step links every
vertex's larger neighbours to the smallest vertex of its closed neighbourhood; a small-star step
links a vertex and its smaller neighbours to the smallest of them. Together they shrink every
component to a star around its smallest id in O(log n) rounds in practice, where label propagation
needs one round per hop of the diameter (a shuffled path of n vertices: n rounds). The loop stops
on an exact test: every vertex has at most one parent and no parent has a parent of its own.
"""

from __future__ import annotations

from pyspark.sql import DataFrame
from pyspark.sql import functions as F

from veltrix.spark._input import (
    Checkpoint,
    Stats,
    checked_edges,
    checkpoint_mode,
    cut,
    report,
    vertex_count,
    vertices,
)


def _large_star(pairs: DataFrame) -> DataFrame:
    both = pairs.select(F.col("a").alias("u"), F.col("b").alias("v")).unionByName(
        pairs.select(F.col("b").alias("u"), F.col("a").alias("v"))
    )
    lowest = both.groupBy("u").agg(F.least(F.min("v"), F.col("u")).alias("m"))
    return (
        both.where(F.col("v") > F.col("u"))
        .join(lowest, "u")
        .select(F.col("v").alias("a"), F.col("m").alias("b"))
        .distinct()
    )


def _small_star(pairs: DataFrame) -> DataFrame:
    lowest = pairs.groupBy("a").agg(F.min("b").alias("m"))
    leaves = pairs.join(lowest, "a").where(F.col("b") != F.col("m"))
    return (
        leaves.select(F.col("b").alias("a"), F.col("m").alias("b"))
        .unionByName(lowest.select("a", F.col("m").alias("b")))
        .distinct()
    )


def _is_star_forest(pairs: DataFrame) -> bool:
    marks = pairs.select(
        F.col("a").alias("x"), F.lit(1).alias("child"), F.lit(0).alias("parent")
    ).unionByName(
        pairs.select(F.col("b").alias("x"), F.lit(0).alias("child"), F.lit(1).alias("parent"))
    )
    counts = marks.groupBy("x").agg(
        F.sum("child").alias("children"), F.max("parent").alias("parent")
    )
    return counts.where(
        (F.col("children") > 1) | ((F.col("children") == 1) & (F.col("parent") == 1))
    ).isEmpty()


def connected_components(
    edges: DataFrame,
    num_vertices: int,
    *,
    directed: bool = False,
    checkpoint: Checkpoint = "local",
    stats: Stats | None = None,
) -> DataFrame:
    """Label every vertex with the smallest vertex id of its weakly connected component.

    Parameters
    ----------
    edges : pyspark.sql.DataFrame
        Integer columns ``src`` and ``dst``; other columns are ignored.
    num_vertices : int
        Vertex count n; every id must lie in ``[0, n)``.
    directed : bool, optional
        Accepted for symmetry with the other functions: weak components ignore direction.
    checkpoint : {"local", "reliable"}, optional
        How each round's result is cut from its lineage (see :data:`Checkpoint`).
    stats : dict, optional
        If given, receives ``"rounds"``: the number of large-star/small-star rounds run.

    Returns
    -------
    pyspark.sql.DataFrame
        Columns ``vertex`` and ``component`` (both long), one row per vertex.

    Raises
    ------
    ValueError
        A missing or null ``src`` / ``dst`` column, or an id outside ``[0, num_vertices)``.
    TypeError
        An id column of a non-integer type, or a `num_vertices` that is not an integer.
    """
    del directed
    n = vertex_count(num_vertices)
    mode = checkpoint_mode(checkpoint)
    checked = checked_edges(edges, n)
    pairs = (
        checked.where(F.col("src") != F.col("dst"))
        .select(F.greatest("src", "dst").alias("a"), F.least("src", "dst").alias("b"))
        .distinct()
    )
    pairs = cut(pairs, mode)
    rounds = 0
    while not _is_star_forest(pairs):
        rounds += 1
        pairs = cut(_small_star(_large_star(pairs)), mode)
    report(stats, rounds)
    parents = pairs.select(F.col("a").alias("vertex"), F.col("b").alias("component"))
    return (
        vertices(checked, n)
        .join(parents, "vertex", "left")
        .select("vertex", F.coalesce(F.col("component"), F.col("vertex")).alias("component"))
    )
