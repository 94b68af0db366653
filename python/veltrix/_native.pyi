"""Array functions of VELTRIX, released from the interpreter lock while they run."""

from typing import Any

import numpy as np
from numpy.typing import NDArray

from _veltrix import Graph

class CsrArrays:
    @property
    def num_vertices(self) -> int: ...
    @property
    def directed(self) -> bool: ...
    @property
    def mirrored(self) -> bool: ...
    @property
    def weighted(self) -> bool: ...
    @property
    def offsets(self) -> NDArray[np.int64]: ...
    @property
    def targets(self) -> NDArray[np.int32]: ...
    @property
    def weights(self) -> NDArray[np.float64]: ...

_Graph = Graph | CsrArrays

def csr_from_edges(
    src: NDArray[Any],
    dst: NDArray[Any],
    num_vertices: int,
    weights: NDArray[np.float64] | None,
    directed: bool,
    simplify: bool,
    threads: int,
) -> CsrArrays: ...

class CsrBatches:
    def __init__(
        self, num_vertices: int, directed: bool, weighted: bool, simplify: bool
    ) -> None: ...
    def count(self, src: NDArray[Any], dst: NDArray[Any], threads: int) -> None: ...
    def place(
        self,
        src: NDArray[Any],
        dst: NDArray[Any],
        weights: NDArray[np.float64] | None,
        threads: int,
    ) -> None: ...
    def finish(self, threads: int) -> CsrArrays: ...

def csr_from_graph(graph: Graph, threads: int) -> CsrArrays: ...
def csr_checked(
    num_vertices: int,
    offsets: NDArray[Any],
    targets: NDArray[Any],
    weights: NDArray[Any] | None,
    directed: bool,
    mirrored: bool,
    threads: int,
) -> CsrArrays: ...
def hop_distances(graph: _Graph, source: int, threads: int) -> NDArray[np.int32]: ...
def reachable(graph: _Graph, source: int, threads: int) -> NDArray[np.bool_]: ...
def connected_components(graph: _Graph, threads: int) -> NDArray[np.int32]: ...
def pagerank(
    graph: _Graph, iterations: int, damping: float, threads: int
) -> NDArray[np.float64]: ...
def pagerank_scatter(
    graph: _Graph, iterations: int, damping: float, threads: int
) -> NDArray[np.float64]: ...
def shortest_distances(graph: _Graph, source: int, threads: int) -> NDArray[np.float64]: ...
def triangle_count(graph: _Graph, threads: int) -> int: ...
def parse_edge_text(
    block: bytes | bytearray | memoryview,
    *,
    comments: bytes = b"",
    delimiter: bytes = b"",
    weighted: bool = False,
    threads: int = -1,
    piece_bytes: int = 1048576,
) -> tuple[
    NDArray[np.int32],
    NDArray[np.int32],
    NDArray[np.float64] | None,
    int,
    tuple[str, int, int, int, int, int, int] | None,
]: ...
def grid_edges(
    rows: int, columns: int, threads: int
) -> tuple[NDArray[np.int32], NDArray[np.int32]]: ...
def integer_weights(
    count: int, low: int, high: int, seed: int, threads: int
) -> NDArray[np.float64]: ...
def rmat_edges(
    scale: int,
    edge_factor: int,
    seed: int,
    probabilities: tuple[float, float, float, float],
    threads: int,
) -> tuple[NDArray[np.int32], NDArray[np.int32]]: ...
def uniform_edges(
    num_vertices: int, num_edges: int, seed: int, threads: int
) -> tuple[NDArray[np.int32], NDArray[np.int32]]: ...
