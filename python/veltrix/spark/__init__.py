"""The VELTRIX algorithms as Spark DataFrame programs, for graphs that outgrow one machine.

Every function takes a DataFrame of edges with integer columns ``src`` and ``dst`` (and a numeric
``weight`` for :func:`shortest_distances`) plus the vertex count, and returns the same answer as
the native kernel on ``Graph(num_vertices, edges, directed)``: one row per vertex ``0..n-1``,
isolated vertices included, in no particular order. The programs use ``pyspark.sql`` only (no
Python code runs on the executors and no JVM handle is touched), so they run unchanged on a local
session, a cluster and over Spark Connect.

This package needs pyspark (``pip install "veltrix[spark]"``); ``import veltrix`` never loads it.
"""

from veltrix.spark._input import Checkpoint
from veltrix.spark.components import connected_components
from veltrix.spark.distances import shortest_distances
from veltrix.spark.local import edges_from_graph, to_numpy
from veltrix.spark.pagerank import pagerank
from veltrix.spark.searches import hop_distances, reachable
from veltrix.spark.triangles import triangle_count

__all__ = [
    "Checkpoint",
    "connected_components",
    "edges_from_graph",
    "hop_distances",
    "pagerank",
    "reachable",
    "shortest_distances",
    "to_numpy",
    "triangle_count",
]
