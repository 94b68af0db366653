"""Single-source shortest distances by Bellman-Ford rounds over the vertices improved last.

Round k relaxes the out-edges of the vertices whose distance fell in round k-1, so after round k
every vertex holds the lightest walk of at most k edges. With non-negative weights this is the
same fixed point the native passes reach (floating-point addition is monotone, so the order of
relaxations cannot change the minimum), and the distances agree bit for bit.

A negative cycle reachable from the source never settles. The chain of improvements behind a
change in round k is a walk of k edges through reached vertices; once k is at least the number
of reached vertices that walk repeats a vertex, and a repeat that lowered a distance is a
negative cycle. The loop raises there instead of running n rounds.
"""

from __future__ import annotations

from pyspark.sql import DataFrame
from pyspark.sql import functions as F

from veltrix.spark._input import (
    UNREACHED,
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


def shortest_distances(
    edges: DataFrame,
    num_vertices: int,
    source: int,
    *,
    directed: bool = False,
    checkpoint: Checkpoint = "local",
    stats: Stats | None = None,
) -> DataFrame:
    """Weight of a lightest path from ``source`` to every vertex.

    Parameters
    ----------
    edges : pyspark.sql.DataFrame
        Integer columns ``src`` and ``dst`` and a numeric column ``weight``. An edge of NaN
        weight never lowers a distance; a path whose total reaches 1e18 is never stored.
    num_vertices : int
        Vertex count n.
    source : int
        Start vertex, in ``[0, n)``.
    directed : bool, optional
        Whether ``src -> dst`` is an arc; otherwise each edge links both ways. Default False.
    checkpoint : {"local", "reliable"}, optional
        How each round's result is cut from its lineage.
    stats : dict, optional
        If given, receives ``"rounds"``: the number of relaxation rounds, the last one idle.

    Returns
    -------
    pyspark.sql.DataFrame
        Columns ``vertex`` (long) and ``distance`` (double; 1e18 where unreachable), one row per
        vertex.

    Raises
    ------
    ValueError
        A negative cycle is reachable from the source (the native kernel returns the values
        reached after n - 1 passes instead); a missing or null ``src``, ``dst`` or ``weight``
        column, or an id outside ``[0, num_vertices)``.
    IndexError
        ``source`` is not a vertex.
    TypeError
        An id column of a non-integer type, a non-numeric ``weight`` column, or a `num_vertices`
        that is not an integer.
    """
    n = vertex_count(num_vertices)
    s = source_vertex(source, n)
    mode = checkpoint_mode(checkpoint)
    checked = checked_edges(edges, n, weighted=True)
    # Of parallel edges only the lightest can lower a distance.
    links = (
        graph_lists(checked, directed)
        .where(~F.isnan("weight"))
        .groupBy("src", "dst")
        .agg(F.min("weight").alias("weight"))
    )
    links = cut(links, mode)
    best = cut(
        checked.sparkSession.range(s, s + 1).select(
            F.col("id").alias("vertex"), F.lit(0.0).alias("distance")
        ),
        mode,
    )
    changed = best
    reached = 1
    rounds = 0
    while True:
        rounds += 1
        offers = (
            changed.join(links, changed.vertex == links.src)
            .select(
                F.col("dst").alias("vertex"), (F.col("distance") + F.col("weight")).alias("offer")
            )
            # Spark orders NaN above every number, so this also drops -inf + inf.
            .where(F.col("offer") < F.lit(UNREACHED))
            .groupBy("vertex")
            .agg(F.min("offer").alias("offer"))
        )
        improved = cut(
            offers.join(best, "vertex", "left")
            .where(F.col("distance").isNull() | (F.col("offer") < F.col("distance")))
            .select(
                "vertex", F.col("offer").alias("distance"), F.col("distance").isNull().alias("new")
            ),
            mode,
        )
        row = improved.agg(
            F.count(F.lit(1)).alias("changed"), F.count(F.when(F.col("new"), 1)).alias("new")
        ).first()
        assert row is not None
        if row["changed"] == 0:
            break
        reached += row["new"]
        if rounds >= reached:
            raise ValueError(
                f"a negative cycle is reachable from source {s}; shortest distances are undefined"
            )
        lowered = improved.select("vertex", F.col("distance").alias("lowered"))
        best = cut(
            best.join(lowered, "vertex", "full").select(
                "vertex", F.coalesce(F.col("lowered"), F.col("distance")).alias("distance")
            ),
            mode,
        )
        changed = improved.select("vertex", "distance")
    report(stats, rounds)
    return (
        vertices(checked, n)
        .join(best, "vertex", "left")
        .select("vertex", F.coalesce(F.col("distance"), F.lit(UNREACHED)).alias("distance"))
    )
