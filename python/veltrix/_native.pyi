import numpy as np
from numpy.typing import NDArray

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
