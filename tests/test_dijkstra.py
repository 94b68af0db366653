import math
import random

import pytest

from _veltrix import Graph, WeightedGraph, parallel_dijkstra
from algorithm_reference import shortest_distances

UNREACHED = 1e18
THREADS = [1, 2, -1, 0, 64]


def build(n, edges, directed=True):
    g = WeightedGraph(n, directed)
    g.add_edges(edges)
    return g


def check_all_threads(g, source, expected):
    for threads in THREADS:
        first = parallel_dijkstra(g, source, threads)
        assert first == expected, f"threads={threads}"
        assert all(type(d) is float for d in first)
        assert parallel_dijkstra(g, source, threads) == first


def random_edges(rng, n, m, directed, weight):
    """Random edges, self-loops and parallel edges included. The upper quarter of the vertices is
    never entered from the rest (edges may leave it in a directed graph), so it stays unreached
    from any source below it."""
    cut = max(1, n - n // 4)
    edges = []
    for _ in range(m):
        if rng.random() < 0.8 or cut == n:
            u, v = rng.randrange(cut), rng.randrange(cut)
        else:
            u = rng.randrange(cut, n)
            v = rng.randrange(n) if directed else rng.randrange(cut, n)
        edges.append((u, v, weight()))
        if rng.random() < 0.05:
            edges.append((u, v, weight()))
        if rng.random() < 0.02:
            edges.append((u, u, weight()))
    return edges, cut


WEIGHTS = {
    "uniform": lambda rng: lambda: rng.uniform(0.0, 10.0),
    "small_ints": lambda rng: lambda: float(rng.randrange(4)),
    "near_cap": lambda rng: lambda: rng.uniform(1e17, 6e17),
    "with_nan_inf": lambda rng: (
        lambda: rng.choice([math.nan, math.inf, rng.random(), rng.random(), 0.5])
    ),
}


@pytest.mark.parametrize("weights", sorted(WEIGHTS))
@pytest.mark.parametrize("directed", [True, False])
@pytest.mark.parametrize(
    "n, m", [(1, 3), (2, 2), (3, 4), (10, 25), (120, 500), (1500, 5000), (4000, 12000)]
)
def test_non_negative_weights_match_reference(n, m, directed, weights):
    rng = random.Random(f"{n}-{m}-{directed}-{weights}")
    edges, cut = random_edges(rng, n, m, directed, WEIGHTS[weights](rng))
    g = build(n, edges, directed)
    adj = g.get_adj()
    for source in {0, rng.randrange(cut)}:
        check_all_threads(g, source, shortest_distances(adj, source))


@pytest.mark.parametrize("n, m", [(2, 3), (8, 20), (60, 300), (600, 2500)])
def test_negative_integer_weights_match_reference(n, m):
    rng = random.Random(n * 7919 + m)
    potential = [rng.randrange(-20, 21) for _ in range(n)]
    edges, cut = random_edges(rng, n, m, True, lambda: 0.0)
    # Shifting each weight by a potential difference leaves every cycle's total non-negative.
    edges = [(u, v, float(rng.randrange(6) + potential[v] - potential[u])) for u, v, _ in edges]
    assert any(w < 0 for _, _, w in edges)
    g = build(n, edges)
    check_all_threads(g, 0, shortest_distances(g.get_adj(), 0))


def test_weighted_grid():
    # Random integer weights on a grid need many relaxation passes.
    rng = random.Random(5)
    side = 50
    g = WeightedGraph(side * side)
    for r in range(side):
        for c in range(side):
            v = r * side + c
            if c + 1 < side:
                g.add_edge(v, v + 1, rng.randrange(1, 10))
            if r + 1 < side:
                g.add_edge(v, v + side, rng.randrange(1, 10))
    source = side * side // 2 + side // 3
    check_all_threads(g, source, shortest_distances(g.get_adj(), source))


@pytest.mark.parametrize("weight", [1.0, -1.0])
def test_path_against_vertex_order_needs_every_pass(weight):
    # From the last vertex back to 0: one worker settles a single vertex per pass, so the result
    # is complete only after all n - 1 passes.
    n = 300
    g = build(n, [(v, v - 1, weight) for v in range(1, n)])
    check_all_threads(g, n - 1, [weight * (n - 1 - v) for v in range(n)])


def test_one_vertex():
    g = WeightedGraph(1)
    assert parallel_dijkstra(g, 0) == [0.0]
    g.add_edge(0, 0, 2.0)
    check_all_threads(g, 0, [0.0])


def test_example_with_isolated_vertex():
    g = build(4, [(0, 1, 1.0), (1, 2, 2.0), (0, 2, 5.0)])
    check_all_threads(g, 0, [0.0, 1.0, 3.0, UNREACHED])
    check_all_threads(g, 3, [UNREACHED, UNREACHED, UNREACHED, 0.0])


def test_undirected_edge_relaxed_both_ways():
    g = build(3, [(2, 1, 1.5), (1, 0, 2.0)], directed=False)
    check_all_threads(g, 0, [0.0, 2.0, 3.5])
    check_all_threads(g, 2, [3.5, 1.5, 0.0])


def test_lightest_parallel_edge_and_left_to_right_sums():
    g = build(
        5,
        [(0, 1, 5.0), (0, 1, 0.1), (0, 1, 7.0), (1, 2, 0.2), (2, 3, 0.3), (0, 4, 0.6), (3, 4, 0.0)],
    )
    check_all_threads(g, 0, [0.0, 0.1, 0.1 + 0.2, 0.1 + 0.2 + 0.3, 0.6])


@pytest.mark.parametrize("first, by", [(1.0 + 3e-8, 2e-8), (1e9 + 16.0, 8.0), (3e15, 2.0**20)])
def test_path_shorter_by_less_than_float_precision_wins(first, by):
    # 0 -> 2 is found first, then beaten through 1 by less than a float32 step at that distance.
    g = build(3, [(0, 2, first), (0, 1, 0.5), (1, 2, first - 0.5 - by)])
    expected = [0.0, 0.5, 0.5 + (first - 0.5 - by)]
    assert expected[2] < first
    check_all_threads(g, 0, expected)


def test_nan_and_infinite_weights_never_lower():
    edges = [
        (0, 1, math.nan),
        (0, 2, math.inf),
        (1, 3, 1.0),
        (2, 3, 1.0),
        (0, 4, math.nan),
        (0, 4, 2.0),
        (4, 0, math.nan),
        (4, 4, math.nan),
        (0, 0, math.inf),
    ]
    check_all_threads(build(5, edges), 0, [0.0, UNREACHED, UNREACHED, UNREACHED, 2.0])


def test_totals_at_the_cap_are_not_stored():
    below = math.nextafter(UNREACHED, 0.0)
    edges = [
        (0, 1, 5e17),
        (1, 2, 5e17),
        (2, 3, -1e18),  # 2 would total exactly 1e18
        (0, 4, UNREACHED),
        (4, 5, -1e18),  # 4 would total exactly 1e18
        (0, 6, 3e18),
        (6, 7, -3e18),  # 6 would total above 1e18
        (0, 8, below),
        (8, 9, -below),  # just below the cap: stored and relaxed
    ]
    expected = [0.0, 5e17] + [UNREACHED] * 6 + [below, 0.0]
    check_all_threads(build(10, edges), 0, expected)


@pytest.mark.parametrize("directed", [True, False])
def test_negative_cycle_ends_without_error(directed):
    g = build(6, [(0, 1, 1.0), (1, 2, -3.0), (2, 1, 1.0), (2, 3, 1.0), (4, 5, 1.0)], directed)
    for threads in THREADS:
        result = parallel_dijkstra(g, 0, threads)
        assert len(result) == 6 and all(type(d) is float for d in result)


def test_unweighted_operations_use_weight_one_and_matrix_entries():
    g = WeightedGraph(4, True)
    Graph.add_edges(g, [(0, 1), (1, 2)])
    Graph.add_edge(g, 0, 2)
    assert parallel_dijkstra(g, 0) == [0.0, 1.0, 1.0, UNREACHED]
    Graph.build_from_adj_matrix(g, [[0, 3, 9], [0, 0, 4], [0, 0, 0]])
    assert parallel_dijkstra(g, 0) == [0.0, 3.0, 7.0]
    Graph.build_from_adj_list(g, [[1], [2], [], [0]])
    assert parallel_dijkstra(g, 3) == [1.0, 2.0, 3.0, 0.0]


def test_keyword_arguments():
    g = build(3, [(0, 1, 2.0), (1, 2, 2.0)], directed=False)
    assert parallel_dijkstra(graph=g, source=2, threads=2) == [4.0, 2.0, 0.0]
    assert parallel_dijkstra(g, source=1) == [2.0, 0.0, 2.0]


@pytest.mark.parametrize(
    "call",
    [
        lambda: parallel_dijkstra(Graph(3, [(0, 1)]), 0),
        lambda: parallel_dijkstra(None, 0),
        lambda: parallel_dijkstra(WeightedGraph(3), 0.0),
        lambda: parallel_dijkstra(WeightedGraph(3), 2**31),
        lambda: parallel_dijkstra(WeightedGraph(3), 0, 1.5),
        lambda: parallel_dijkstra(WeightedGraph(3)),
    ],
)
def test_unconvertible_arguments(call):
    with pytest.raises(TypeError):
        call()


@pytest.mark.parametrize(
    "n, source", [(3, -1), (3, 3), (3, 2**31 - 1), (3, -(2**31)), (0, 0), (0, -1), (1, 1)]
)
def test_source_out_of_range(n, source):
    g = build(n, [(0, 1, 1.0)] if n > 1 else [])
    with pytest.raises(IndexError, match="Vertex index out of range"):
        parallel_dijkstra(g, source)
