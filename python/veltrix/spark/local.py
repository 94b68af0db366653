"""Moving graphs and results between this machine and Spark."""

from __future__ import annotations

from typing import Any

import numpy as np
import numpy.typing as npt
from pyspark.sql import DataFrame, SparkSession
from pyspark.sql.types import BooleanType, DoubleType, IntegralType

from _veltrix import Graph, WeightedGraph
from veltrix.spark._input import vertex_count


def _list_entries(
    graph: Graph,
) -> tuple[npt.NDArray[np.int64], npt.NDArray[np.int64], npt.NDArray[np.float64] | None]:
    lists: list[Any] = graph.get_adj()
    lengths = np.fromiter((len(row) for row in lists), dtype=np.int64, count=len(lists))
    src = np.repeat(np.arange(len(lists), dtype=np.int64), lengths)
    if isinstance(graph, WeightedGraph):
        pairs = [pair for row in lists for pair in row]
        dst = np.fromiter((v for v, _ in pairs), dtype=np.int64, count=len(pairs))
        weight = np.fromiter((w for _, w in pairs), dtype=np.float64, count=len(pairs))
        return src, dst, weight
    dst = np.fromiter((v for row in lists for v in row), dtype=np.int64, count=int(lengths.sum()))
    return src, dst, None


def _one_per_edge(
    src: npt.NDArray[np.int64], dst: npt.NDArray[np.int64], weight: npt.NDArray[np.float64] | None
) -> npt.NDArray[np.bool_]:
    """Mask keeping one list entry per undirected edge, or raise if the lists do not pair up."""
    bits = np.zeros(len(src), dtype=np.uint64) if weight is None else weight.view(np.uint64)
    low, high = np.minimum(src, dst), np.maximum(src, dst)
    order = np.lexsort((bits, high, low))
    forward = order[src[order] < dst[order]]
    backward = order[src[order] > dst[order]]
    loops = order[src[order] == dst[order]]
    same = len(forward) == len(backward) and all(
        np.array_equal(key[forward], key[backward]) for key in (low, high, bits)
    )
    # Sorted by key, a self-loop's two entries sit side by side: even positions keep one of each.
    loop_keys = [key[loops] for key in (low, bits)]
    same = same and len(loops) % 2 == 0 and all(np.array_equal(k[0::2], k[1::2]) for k in loop_keys)
    if not same:
        raise ValueError(
            "the graph is undirected but its lists do not hold every edge in both directions; "
            "ship a directed copy of its lists instead"
        )
    keep = np.zeros(len(src), dtype=bool)
    keep[forward] = True
    keep[loops[0::2]] = True
    return keep


def edges_from_graph(spark: SparkSession, graph: Graph) -> DataFrame:
    """Ship a local ``Graph`` or ``WeightedGraph`` to Spark as an edge DataFrame.

    The algorithms called with ``directed=graph.is_directed()`` and ``graph.vertices()`` see
    exactly the graph's lists: a directed graph gives one row per list entry; an undirected one
    gives one row per edge (its lists hold each edge twice, a self-loop twice in one list).

    Parameters
    ----------
    spark : pyspark.sql.SparkSession
        Session (classic or Spark Connect) to create the DataFrame in.
    graph : Graph or WeightedGraph
        The graph; a ``WeightedGraph`` adds a ``weight`` column.

    Returns
    -------
    pyspark.sql.DataFrame
        Columns ``src``, ``dst`` (long) and, for a ``WeightedGraph``, ``weight`` (double).

    Raises
    ------
    ValueError
        The graph is undirected but its lists (set whole through ``build_from_adj_list``) do not
        hold each edge in both directions, so no undirected edge list reproduces them.
    """
    src, dst, weight = _list_entries(graph)
    if not graph.is_directed():
        keep = _one_per_edge(src, dst, weight)
        src, dst = src[keep], dst[keep]
        weight = None if weight is None else weight[keep]
    columns: list[Any] = [src.tolist(), dst.tolist()]
    schema = "src long, dst long"
    if weight is not None:
        columns.append(weight.tolist())
        schema += ", weight double"
    return spark.createDataFrame(list(zip(*columns)), schema)


def to_numpy(result: DataFrame, num_vertices: int) -> npt.NDArray[Any]:
    """Collect a per-vertex result into an array indexed by vertex.

    Parameters
    ----------
    result : pyspark.sql.DataFrame
        A result of this package: column ``vertex`` and one value column.
    num_vertices : int
        Vertex count n.

    Returns
    -------
    numpy.ndarray
        n values: int64 for ids and hop distances, float64 for ranks and distances, bool for
        reachability.

    Raises
    ------
    ValueError
        The frame does not hold exactly one row for every vertex ``0..n-1``.
    """
    n = vertex_count(num_vertices)
    values = [field for field in result.schema.fields if field.name != "vertex"]
    if len(values) != 1 or len(result.columns) != 2:
        raise ValueError(
            f"result must have a 'vertex' column and one value column, got {result.columns}"
        )
    kind = values[0].dataType
    if isinstance(kind, IntegralType):
        dtype: type = np.int64
    elif isinstance(kind, DoubleType):
        dtype = np.float64
    elif isinstance(kind, BooleanType):
        dtype = np.bool_
    else:
        raise TypeError(f"cannot collect a column of type {kind.simpleString()}")
    rows = result.select("vertex", values[0].name).collect()
    index = np.fromiter((row[0] for row in rows), dtype=np.int64, count=len(rows))
    data: npt.NDArray[Any] = np.fromiter((row[1] for row in rows), dtype=dtype, count=len(rows))
    if len(rows) != n or (
        n and (index.min() < 0 or index.max() >= n or np.bincount(index, minlength=n).max() != 1)
    ):
        raise ValueError(f"result does not hold exactly one row for each of the {n} vertices")
    out: npt.NDArray[Any] = np.empty(n, dtype=dtype)
    out[index] = data
    return out
