"""Array functions of VELTRIX, released from the interpreter lock while they run"""

import numpy
import numpy.typing

def grid_edges(
    rows: int, columns: int, threads: int
) -> tuple[numpy.typing.NDArray[numpy.int32], numpy.typing.NDArray[numpy.int32]]: ...
def integer_weights(
    count: int, low: int, high: int, seed: int, threads: int
) -> numpy.typing.NDArray[numpy.float64]: ...
def rmat_edges(
    scale: int,
    edge_factor: int,
    seed: int,
    probabilities: tuple[float, float, float, float],
    threads: int,
) -> tuple[numpy.typing.NDArray[numpy.int32], numpy.typing.NDArray[numpy.int32]]: ...
def uniform_edges(
    num_vertices: int, num_edges: int, seed: int, threads: int
) -> tuple[numpy.typing.NDArray[numpy.int32], numpy.typing.NDArray[numpy.int32]]: ...
