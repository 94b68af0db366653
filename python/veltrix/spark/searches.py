"""Breadth-first search from one source: hop distances and reachability.

Each level joins the frontier to the links and removes every vertex already reached with an
anti-join; the search stops at the first empty level, so it runs one round per level of the
search (the source's eccentricity plus one), and graphs of high diameter cost seconds per hop.
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
    graph_lists,
    report,
    source_vertex,
    vertex_count,
    vertices,
)


def _search(
    edges: DataFrame,
    num_vertices: int,
    source: int,
    directed: bool,
    checkpoint: Checkpoint,
    stats: Stats | None,
) -> tuple[DataFrame, DataFrame]:
    """Return every vertex (``vertex``) and the reached ones with their hop count (``vertex``,
    ``distance``)."""
    n = vertex_count(num_vertices)
    s = source_vertex(source, n)
    mode = checkpoint_mode(checkpoint)
    checked = checked_edges(edges, n)
    # Repeats and self-loops reach nothing new.
    links = (
        graph_lists(checked, directed)
        .where(F.col("src") != F.col("dst"))
        .select("src", "dst")
        .distinct()
    )
    links = cut(links, mode)
    reached = cut(
        checked.sparkSession.range(s, s + 1).select(
            F.col("id").alias("vertex"), F.lit(0).cast("long").alias("distance")
        ),
        mode,
    )
    frontier = reached.select("vertex")
    level = 0
    while True:
        level += 1
        found = (
            frontier.join(links, frontier.vertex == links.src)
            .select(F.col("dst").alias("vertex"))
            .distinct()
            .join(reached, "vertex", "left_anti")
        )
        found = cut(found, mode)
        if found.isEmpty():
            break
        reached = cut(
            reached.unionByName(
                found.select("vertex", F.lit(level).cast("long").alias("distance"))
            ),
            mode,
        )
        frontier = found
    report(stats, level)
    return vertices(checked, n), reached


def hop_distances(
    edges: DataFrame,
    num_vertices: int,
    source: int,
    *,
    directed: bool = False,
    checkpoint: Checkpoint = "local",
    stats: Stats | None = None,
) -> DataFrame:
    """Fewest edges on a path from ``source`` to every vertex.

    Parameters
    ----------
    edges : pyspark.sql.DataFrame
        Integer columns ``src`` and ``dst``.
    num_vertices : int
        Vertex count n.
    source : int
        Start vertex, in ``[0, n)``.
    directed : bool, optional
        Whether ``src -> dst`` is an arc; otherwise each edge links both ways. Default False.
    checkpoint : {"local", "reliable"}, optional
        How each level's result is cut from its lineage.
    stats : dict, optional
        If given, receives ``"rounds"``: the number of levels searched, the last one empty.

    Returns
    -------
    pyspark.sql.DataFrame
        Columns ``vertex`` and ``distance`` (both long; -1 where unreachable), one row per vertex.

    Raises
    ------
    IndexError
        ``source`` is not a vertex.
    ValueError
        A missing or null ``src`` / ``dst`` column, or an id outside ``[0, num_vertices)``.
    TypeError
        An id column of a non-integer type, or a `num_vertices` that is not an integer.
    """
    everyone, reached = _search(edges, num_vertices, source, directed, checkpoint, stats)
    return everyone.join(reached, "vertex", "left").select(
        "vertex", F.coalesce(F.col("distance"), F.lit(-1).cast("long")).alias("distance")
    )


def reachable(
    edges: DataFrame,
    num_vertices: int,
    source: int,
    *,
    directed: bool = False,
    checkpoint: Checkpoint = "local",
    stats: Stats | None = None,
) -> DataFrame:
    """Whether a path leads from ``source`` to each vertex.

    Parameters are those of :func:`hop_distances`.

    Returns
    -------
    pyspark.sql.DataFrame
        Columns ``vertex`` (long) and ``reachable`` (boolean), one row per vertex.

    Raises
    ------
    IndexError, ValueError, TypeError
        As :func:`hop_distances` raises them.
    """
    everyone, reached = _search(edges, num_vertices, source, directed, checkpoint, stats)
    return everyone.join(
        reached.select("vertex", F.lit(True).alias("hit")), "vertex", "left"
    ).select("vertex", F.coalesce(F.col("hit"), F.lit(False)).alias("reachable"))
