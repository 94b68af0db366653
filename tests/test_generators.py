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
    expected = {
        (r * columns + c, r * columns + c + 1) for r in range(rows) for c in range(columns - 1)
    }
    expected |= {
        (r * columns + c, (r + 1) * columns + c) for r in range(rows - 1) for c in range(columns)
    }
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
    "rmat": lambda threads, seed: rmat_arrays(17, 2, seed=seed, threads=threads),
    "uniform": lambda threads, seed: uniform_arrays(100_003, 300_000, seed=seed, threads=threads),
    "grid": lambda threads, seed: grid_arrays(517, 601, threads=threads),
    "weights": lambda threads, seed: (
        weight_array(300_000, low=-2, high=7, seed=seed, threads=threads),
    ),
}


@pytest.mark.parametrize("name", sorted(NATIVE_CALLS))
def test_native_arrays_are_the_same_for_every_thread_count_and_follow_the_seed(name):
    arrays = NATIVE_CALLS[name](1, 5)
    assert [a.dtype for a in arrays] == (
        [np.float64] if name == "weights" else [np.int32, np.int32]
    )
    for threads in (2, 3, -1):
        assert all(np.array_equal(a, b) for a, b in zip(arrays, NATIVE_CALLS[name](threads, 5)))
    if name != "grid":
        assert not np.array_equal(arrays[0], NATIVE_CALLS[name](2, 6)[0])


def test_native_values_are_in_range():
    src, dst = uniform_arrays(1000, 50_000)
    assert 0 <= min(src.min(), dst.min()) and max(src.max(), dst.max()) < 1000
    src, dst = rmat_arrays(12, 16)
    assert len(src) == 16 << 12 and max(src.max(), dst.max()) < 1 << 12
    assert np.bincount(src, minlength=1 << 12).argmax() == 0
    weights = weight_array(200_000, low=-2, high=7)
    assert np.array_equal(weights, np.floor(weights)) and set(np.unique(weights).tolist()) == set(
        range(-2, 8)
    )


@pytest.mark.parametrize("rows, columns", [(0, 3), (1, 1), (1, 5), (4, 1), (3, 4), (40, 70)])
def test_native_grid_matches_the_numpy_grid(rows, columns):
    src, dst = grid_arrays(rows, columns)
    expected = grid_edges(rows, columns)
    assert np.array_equal(src, expected[0]) and np.array_equal(dst, expected[1])


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
