"""The seeded generators: reproducible, in range, and shaped like the graphs they name; the native
ones also the same for every thread count."""

import numpy as np
import pytest

from veltrix.generators import (
    grid_arrays,
    grid_edges,
    integer_weights,
    rmat_arrays,
    rmat_edges,
    uniform_arrays,
    uniform_edges,
    weight_array,
)


@pytest.mark.parametrize("generate", [rmat_edges, uniform_edges])
def test_random_edges_are_reproducible_and_in_range(generate):
    src, dst = generate(10, 4, seed=7)
    again = generate(10, 4, seed=7)
    other = generate(10, 4, seed=8)
    assert src.dtype == dst.dtype == np.int64
    assert len(src) == len(dst) == 4 << 10
    assert np.array_equal(src, again[0]) and np.array_equal(dst, again[1])
    assert not np.array_equal(src, other[0])
    assert src.min() >= 0 and dst.min() >= 0 and max(src.max(), dst.max()) < 1 << 10


def test_rmat_draws_each_bit_by_the_quadrant_probabilities():
    # Every bit of a row is 1 with probability c + d, of a column with probability b + d.
    src, dst = rmat_edges(12, 16, seed=3)
    bits = np.arange(12)
    row_ones = ((src[:, None] >> bits) & 1).mean(axis=0)
    column_ones = ((dst[:, None] >> bits) & 1).mean(axis=0)
    assert np.allclose(row_ones, 0.24, atol=0.01) and np.allclose(column_ones, 0.24, atol=0.01)
    assert np.bincount(src, minlength=1 << 12).argmax() == 0


@pytest.mark.parametrize("rows, columns", [(1, 1), (1, 5), (4, 1), (3, 4)])
def test_grid_joins_each_cell_to_its_right_and_lower_neighbour(rows, columns):
    src, dst = grid_edges(rows, columns)
    expected = {(r * columns + c, r * columns + c + 1) for r in range(rows) for c in range(columns - 1)}
    expected |= {(r * columns + c, (r + 1) * columns + c) for r in range(rows - 1) for c in range(columns)}
    assert sorted(zip(src.tolist(), dst.tolist())) == sorted(expected)


def test_integer_weights_cover_the_inclusive_range():
    weights = integer_weights(20000, low=1, high=100, seed=5)
    assert weights.dtype == np.float64
    assert np.array_equal(weights, np.floor(weights))
    assert weights.min() == 1 and weights.max() == 100
    assert np.array_equal(weights, integer_weights(20000, seed=5))


@pytest.mark.parametrize(
    "call",
    [
        lambda: rmat_edges(-1),
        lambda: rmat_edges(4, probabilities=(0.5, 0.5, 0.5, -0.5)),
        lambda: rmat_edges(4, probabilities=(float("nan"), 0.5, 0.5, 0.0)),
        lambda: uniform_edges(3, -1),
        lambda: grid_edges(-1, 2),
        lambda: integer_weights(3, low=5, high=4),
    ],
)
def test_bad_arguments_raise_value_error(call):
    with pytest.raises(ValueError):
        call()


NATIVE_CALLS = {
    "rmat": lambda threads: rmat_arrays(17, 2, seed=5, threads=threads),
    "uniform": lambda threads: uniform_arrays(100_003, 300_000, seed=5, threads=threads),
    "grid": lambda threads: grid_arrays(517, 601, threads=threads),
}


@pytest.mark.parametrize("name", sorted(NATIVE_CALLS))
def test_native_edges_are_int32_and_the_same_for_every_thread_count(name):
    src, dst = NATIVE_CALLS[name](1)
    assert src.dtype == dst.dtype == np.int32 and len(src) == len(dst) > 0
    for threads in (2, 3, -1):
        again = NATIVE_CALLS[name](threads)
        assert np.array_equal(src, again[0]) and np.array_equal(dst, again[1])


def test_native_random_edges_follow_their_seed_and_range():
    src, dst = uniform_arrays(1000, 50_000, seed=2)
    assert 0 <= min(src.min(), dst.min()) and max(src.max(), dst.max()) < 1000
    assert not np.array_equal(src, uniform_arrays(1000, 50_000, seed=3)[0])
    src, dst = rmat_arrays(12, 16, seed=2)
    assert len(src) == 16 << 12 and max(src.max(), dst.max()) < 1 << 12
    assert np.bincount(src, minlength=1 << 12).argmax() == 0
    assert not np.array_equal(src, rmat_arrays(12, 16, seed=3)[0])


@pytest.mark.parametrize("rows, columns", [(0, 3), (1, 1), (1, 5), (4, 1), (3, 4), (40, 70)])
def test_native_grid_matches_the_numpy_grid(rows, columns):
    src, dst = grid_arrays(rows, columns)
    expected = grid_edges(rows, columns)
    assert np.array_equal(src, expected[0]) and np.array_equal(dst, expected[1])


def test_native_weights_are_whole_reproducible_and_cover_the_range():
    weights = weight_array(200_000, low=-2, high=7, seed=4, threads=1)
    assert weights.dtype == np.float64
    assert np.array_equal(weights, np.floor(weights))
    assert set(np.unique(weights).tolist()) == set(range(-2, 8))
    assert np.array_equal(weights, weight_array(200_000, low=-2, high=7, seed=4, threads=2))


@pytest.mark.parametrize(
    "call",
    [
        lambda: rmat_arrays(32),
        lambda: rmat_arrays(4, -1),
        lambda: rmat_arrays(4, probabilities=(float("nan"), 0.5, 0.5, 0.0)),
        lambda: rmat_arrays(4, seed=-1),
        lambda: rmat_arrays(4, seed=1 << 64),
        lambda: uniform_arrays(0, 1),
        lambda: uniform_arrays((1 << 31) + 1, 1),
        lambda: uniform_arrays(5, -1),
        lambda: grid_arrays(1 << 16, (1 << 15) + 1),
        lambda: grid_arrays(-1, 2),
        lambda: weight_array(-1),
        lambda: weight_array(3, low=5, high=4),
        lambda: weight_array(3, high=1 << 60),
    ],
)
def test_native_generators_refuse_bad_arguments(call):
    with pytest.raises(ValueError):
        call()
