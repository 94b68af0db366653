import os

import pytest

from _veltrix import chunk_size, get_thread_count, hardware_threads

# The standard hardware-concurrency query counts the online processors, whatever the affinity mask.
HARDWARE = os.cpu_count() or 1


def test_hardware_threads():
    assert hardware_threads() == HARDWARE >= 1


@pytest.mark.parametrize(
    "requested, expected",
    [
        (-1, HARDWARE),
        (0, HARDWARE),
        (-7, HARDWARE),
        (-(2**31), HARDWARE),
        (1, 1),
        (2, min(2, HARDWARE)),
        (HARDWARE, HARDWARE),
        (HARDWARE + 1, HARDWARE),
        (2**31 - 1, HARDWARE),
        (True, 1),
    ],
)
def test_get_thread_count(requested, expected):
    assert get_thread_count(requested) == expected


@pytest.mark.parametrize(
    "n, threads, expected",
    [
        (10, 4, 3),
        (12, 4, 3),
        (13, 4, 4),
        (0, 4, 0),
        (1, 4, 1),
        (7, 1, 7),
        (10, 0, 10),
        (10, -3, 10),
        (-5, 2, -2),
        (-1, 4, 0),
        (-6, 4, 0),
        (2**31 - 1, 2, 1073741824),
        (2**31 - 1, 2**31 - 1, 1),
        (-(2**31), 2, 1 - 2**30),
        (-(2**31), -1, -(2**31)),
    ],
)
def test_chunk_size(n, threads, expected):
    assert chunk_size(n, threads) == expected


@pytest.mark.parametrize(
    "call",
    [
        lambda: chunk_size(n=10, threads=4),
        lambda: chunk_size(arg0=10, arg1=4),
        lambda: get_thread_count(threads=2),
        lambda: chunk_size(10.0, 4),
        lambda: get_thread_count(2.0),
        lambda: chunk_size(2**31, 2),
        lambda: get_thread_count(-(2**31) - 1),
        lambda: chunk_size(10),
        lambda: hardware_threads(1),
    ],
)
def test_arguments_are_positional_32_bit_ints(call):
    with pytest.raises(TypeError, match="incompatible function arguments"):
        call()
