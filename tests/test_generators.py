"""The seeded generators: reproducible, in range, and shaped like the graphs they name."""

import numpy as np
import pytest

from veltrix.generators import grid_edges, integer_weights, rmat_edges, uniform_edges


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
        lambda: uniform_edges(3, -1),
        lambda: grid_edges(-1, 2),
        lambda: integer_weights(3, low=5, high=4),
    ],
)
def test_bad_arguments_raise_value_error(call):
    with pytest.raises(ValueError):
        call()
