"""Random programs against the whole _veltrix surface, and the child process that runs them.

A case is plain JSON data: a list of operations whose arguments are value recipes (a tag and its
data). The parent (tests/test_fuzz.py) makes cases from a seed and sends them one by one to a child
process started with ``--child``; the child builds the real objects (generators, numpy arrays,
objects whose protocols raise or lie, uninitialised instances), runs the operations, checks what
must hold after each and answers with its findings. A case that kills or hangs the child is the
finding the parent reports.

What the child checks:
- a mutator that raised left every graph as it was, except that ``add_edges`` keeps the edges
  before the first bad one;
- both sets of a WeightedGraph's lists hold the same neighbours, and the vertex count matches;
- an algorithm gives the same answer (or the same error) for threads 1, 2 and -1, except the
  scattering PageRank, which is compared only between counts that resolve to the same workers;
- an algorithm leaves its graph unchanged.
"""

from __future__ import annotations

import json
import os
import pickle
import random
import resource
import sys
import warnings

INT_EDGES = [
    0,
    1,
    2,
    -1,
    2**31 - 1,
    2**31,
    -(2**31),
    -(2**31) - 1,
    2**63 - 1,
    2**63,
    -(2**63),
    2**64,
    10**30,
]
# Sizes that fail inside the allocator; only used where a failing allocation raises MemoryError.
HUGE_COUNTS = [2**31 - 1, 2**30, 2**31 - 2]
FLOATS = ["nan", "inf", "-inf", 0.0, -0.0, 0.5, 1.0, 1e308, -1e-300, 2.5, 0.85]
STRINGS = ["", "ab", "3", "0 1"]
NUMPY_INTS = ["int8", "int32", "int64", "uint64", "uint8"]
NUMPY_FLOATS = ["float64", "float32"]

CONSTRUCT = {"Graph": 4, "WeightedGraph": 2}
GRAPH_METHODS = {
    # name: (arity, mutates)
    "vertices": (0, False),
    "is_directed": (0, False),
    "get_adj": (0, False),
    "add_vertex": (0, True),
    "add_edge": (2, True),
    "add_edges": (1, True),
    "build_from_adj_matrix": (1, True),
    "build_from_adj_list": (1, True),
    "degree": (1, False),
    "has_edge": (2, False),
    "print_graph": (0, False),
}
WEIGHTED_METHODS = {"add_edge": (3, True)}
ALGORITHMS = {
    # name: names of the arguments between the graph and threads
    "parallel_connected_components": [],
    "parallel_pagerank": ["iterations", "damping"],
    "parallel_pagerank_bfs": ["iterations", "damping"],
    "parallel_bfs": ["source"],
    "parallel_dfs": ["source"],
    "parallel_dijkstra": ["source"],
    "triangle_count_parallel": [],
}
UTILITIES = {"hardware_threads": 0, "get_thread_count": 1, "chunk_size": 2}


# ----------------------------------------------------------------------------------------------
# Case generation (parent side): plain data from a seeded random.Random.


class Maker:
    def __init__(self, rng: random.Random, huge: bool):
        self.rng = rng
        self.huge = huge  # whether sizes that exhaust memory may be asked for
        self.graphs = 0  # graph slots made so far in the case
        self.n = 6  # a vertex count most values are drawn around

    def chance(self, p):
        return self.rng.random() < p

    def vertex(self):
        r = self.rng.random()
        if r < 0.75:
            return ["int", self.rng.randrange(-1, self.n + 2)]
        if r < 0.9:
            return ["int", self.rng.choice(INT_EDGES)]
        return self.scalar()

    def count(self):
        r = self.rng.random()
        if r < 0.8:
            return ["int", self.rng.randrange(0, 12)]
        if r < 0.9 and self.huge:
            return ["int", self.rng.choice(HUGE_COUNTS)]
        return self.scalar()

    def weight(self):
        r = self.rng.random()
        if r < 0.6:
            return ["float", self.rng.choice([0.0, 1.0, 2.5, -1.0, 3.0])]
        if r < 0.8:
            return ["float", self.rng.choice(FLOATS)]
        if r < 0.9:
            return ["int", self.rng.randrange(-3, 10)]
        return self.scalar()

    def scalar(self):
        """A value of a random type, most of them wrong for any parameter."""
        kind = self.rng.randrange(15)
        if kind == 0:
            # 2**31 - 1 is a valid vertex count that no allocator can serve.
            return ["int", self.rng.choice([v for v in INT_EDGES if self.huge or v != 2**31 - 1])]
        if kind == 1:
            return ["bool", self.chance(0.5)]
        if kind == 2:
            return ["float", self.rng.choice(FLOATS)]
        if kind == 3:
            return ["none"]
        if kind == 4:
            return ["str", self.rng.choice(STRINGS)]
        if kind == 5:
            return [
                "npscalar",
                self.rng.choice(NUMPY_INTS + NUMPY_FLOATS + ["bool"]),
                self.rng.randrange(-2, 5),
            ]
        if kind == 6:
            return ["index", self.rng.choice([0, 1, 2, -1, 2**31, 2**40])]
        if kind == 7:
            return ["index_raises"]
        if kind == 8:
            return ["index_lies"]
        if kind == 9:
            return ["uninit", self.rng.choice(list(CONSTRUCT))]
        if kind == 10 and self.graphs:
            return ["graph", self.rng.randrange(self.graphs)]
        if kind == 11:
            return ["bytes", "ab"]
        if kind == 12:
            return ["object"]
        if kind == 13:
            return ["float", self.rng.random() * 4 - 1]
        return ["int", self.rng.randrange(-2, 8)]

    def sequence(self, item, length=None):
        """A container of items in one of the many shapes Python code passes."""
        if length is None:
            length = self.rng.choice([0, 1, 2, 3, 5, 8, 13])
        items = [item() for _ in range(length)]
        kind = self.rng.randrange(14)
        if kind < 5:
            return ["list", items]
        if kind < 7:
            return ["tuple", items]
        if kind == 7:
            return ["gen", items]
        if kind == 8:
            return ["gen_raises", items, self.rng.randrange(length + 1)]
        if kind == 9:
            return [
                "len_lies",
                items,
                self.rng.choice([0, length + 3, -1] + ([2**31] if self.huge else [])),
            ]
        if kind == 10:
            return ["iter_raises"]
        if kind == 11:
            return ["set", items]
        if kind == 12:
            return ["dictkeys", items]
        return self.scalar()

    def pair(self):
        if self.chance(0.9):
            return self.sequence(self.vertex, self.rng.choice([2, 2, 2, 2, 1, 3]))
        return self.scalar()

    def triple(self):
        if self.chance(0.9):
            length = self.rng.choice([3, 3, 3, 3, 2, 4])
            items = [self.vertex(), self.vertex(), self.weight(), self.weight()][:length]
            return self.rng.choice([["tuple", items], ["list", items], ["gen", items]])
        return self.scalar()

    def weighted_entry(self):
        if self.chance(0.9):
            return ["tuple", [self.vertex(), self.weight()][: self.rng.choice([2, 2, 2, 1, 3])]]
        return self.scalar()

    def matrix_of(self, entry):
        rows = self.rng.randrange(0, 9)
        if self.chance(0.2):
            return self.numpy(entry, (rows, self.rng.randrange(0, 9)))
        return self.sequence(lambda: self.sequence(entry, self.rng.randrange(0, rows + 2)), rows)

    def lists_of(self, entry):
        rows = self.rng.randrange(0, 9)
        return self.sequence(lambda: self.sequence(entry, self.rng.randrange(0, 5)), rows)

    def numpy(self, entry, shape):
        dtype = self.rng.choice(NUMPY_INTS + NUMPY_FLOATS + ["bool"])

        def number():
            recipe = entry()
            return recipe[1] if recipe[0] in ("int", "float") else 0

        return ["np", dtype, [[number() for _ in range(shape[1])] for _ in range(shape[0])]]

    def edges(self, weighted):
        if self.chance(0.15):
            length = self.rng.randrange(0, 9)
            return self.numpy(self.vertex, (length, 3 if weighted else 2))
        return self.sequence(self.triple if weighted else self.pair, self.rng.randrange(0, 12))

    def argument(self, name):
        """A value for the parameter `name`, right in type most of the time."""
        if self.chance(0.12):
            value = self.scalar()
            # A huge iteration count is a valid request that simply runs for minutes.
            if name == "iterations" and value[0] == "int" and value[1] > 1000:
                return ["int", 1000]
            return value
        if name in ("u", "v", "source", "vertex"):
            return self.vertex()
        if name in ("vertices", "count"):
            return self.count()
        if name == "directed":
            return ["bool", self.chance(0.5)] if self.chance(0.8) else self.scalar()
        if name == "threads":
            return ["int", self.rng.choice([-1, 0, 1, 2, 3, 64, 2**31 - 1, -(2**31)])]
        if name == "iterations":
            return ["int", self.rng.choice([1, 2, 5, 20, 0, -1])]
        if name == "damping":
            return ["float", self.rng.choice([0.85, 0.5, 0.0, 1.0, "nan", "inf", 0.999999, 1e-12])]
        if name == "weight":
            return self.weight()
        return self.scalar()

    def new_graph(self):
        cls = "WeightedGraph" if self.chance(0.4) else "Graph"
        self.n = self.rng.randrange(0, 9)
        overload = self.rng.randrange(CONSTRUCT[cls])
        directed = self.argument("directed")
        if overload == 0:
            args = []
        elif overload == 1:
            args = [["int", self.n], directed]
        elif overload == 2:
            args = [self.lists_of(self.vertex), directed]
        else:
            args = [["int", self.n], self.edges(False), directed]
        if self.chance(0.15):
            args = [self.scalar() for _ in range(self.rng.randrange(4))]
        self.graphs += 1
        return ["new", cls, args]

    def method_call(self):
        g = self.rng.randrange(self.graphs)
        name = self.rng.choice(list(GRAPH_METHODS))
        weighted = self.chance(0.5)  # what shape of argument to offer, whatever the graph is
        if name == "add_edge":
            args = [self.vertex(), self.vertex()] + ([self.weight()] if weighted else [])
        elif name == "add_edges":
            args = [self.edges(weighted)]
        elif name == "build_from_adj_matrix":
            args = [
                self.matrix_of(
                    self.weight if weighted else lambda: ["int", self.rng.randrange(-1, 3)]
                )
            ]
        elif name == "build_from_adj_list":
            args = [self.lists_of(self.weighted_entry if weighted else self.vertex)]
        else:
            args = [self.vertex() for _ in range(GRAPH_METHODS[name][0])]
        if self.chance(0.05):
            args = args + [self.scalar()]
        elif self.chance(0.05) and args:
            args = args[:-1]
        # Sometimes through the class, with a graph of either class as self (or no graph at all).
        if self.chance(0.15):
            owner = self.rng.choice(list(CONSTRUCT))
            self_spec = ["graph", g] if self.chance(0.7) else self.scalar()
            return ["unbound", owner, name, [self_spec] + args]
        return ["call", g, name, args]

    def algorithm_call(self):
        name = self.rng.choice(list(ALGORITHMS))
        graph = (
            ["graph", self.rng.randrange(self.graphs)]
            if self.graphs and self.chance(0.9)
            else self.scalar()
        )
        args = [graph] + [self.argument(a) for a in ALGORITHMS[name]]
        kwargs = {}
        if self.chance(0.3):
            kwargs["threads"] = self.argument("threads")
        return ["algorithm", name, args, kwargs]

    def operation(self):
        r = self.rng.random()
        if not self.graphs or r < 0.12:
            return self.new_graph()
        if r < 0.62:
            return self.method_call()
        if r < 0.85:
            return self.algorithm_call()
        if r < 0.92:
            name = self.rng.choice(list(UTILITIES))
            return ["utility", name, [self.argument("threads") for _ in range(UTILITIES[name])]]
        # __init__ again, through either class, on a live graph of either class.
        cls = self.rng.choice(list(CONSTRUCT))
        return [
            "init",
            cls,
            self.rng.randrange(self.graphs),
            [self.count(), self.argument("directed")][: self.rng.randrange(3)],
        ]


def make_case(seed: int, huge: bool) -> list:
    maker = Maker(random.Random(seed), huge)
    return [maker.operation() for _ in range(maker.rng.randrange(5, 40))]


# ----------------------------------------------------------------------------------------------
# Running a case (child side).


class IndexRaises:
    def __index__(self):
        raise ZeroDivisionError("__index__ raised")


class IndexLies:
    def __index__(self):
        return "not an int"


class LenLies:
    """A sequence whose __len__ disagrees with what __getitem__ yields."""

    def __init__(self, items, length):
        self.items = items
        self.length = length

    def __len__(self):
        return self.length

    def __getitem__(self, i):
        return self.items[i]


class IterRaises:
    def __iter__(self):
        raise RuntimeError("__iter__ raised")

    def __len__(self):
        return 2


def _generator(items, fail_at=None):
    for i, item in enumerate(items):
        if i == fail_at:
            raise KeyError("generator raised")
        yield item


class Builder:
    """Turns value recipes into live objects for one case."""

    def __init__(self, vx, np, graphs):
        self.vx, self.np, self.graphs = vx, np, graphs

    def __call__(self, recipe):
        tag = recipe[0]
        if tag == "int":
            return recipe[1]
        if tag == "bool":
            return bool(recipe[1])
        if tag == "float":
            return float(recipe[1])
        if tag == "none":
            return None
        if tag == "str":
            return recipe[1]
        if tag == "bytes":
            return recipe[1].encode()
        if tag == "object":
            return object()
        if tag == "index":
            return _Index(recipe[1])
        if tag == "index_raises":
            return IndexRaises()
        if tag == "index_lies":
            return IndexLies()
        if tag == "uninit":
            cls = getattr(self.vx, recipe[1])
            return cls.__new__(cls)
        if tag == "graph":
            return self.graphs[recipe[1]] if recipe[1] < len(self.graphs) else None
        if tag == "npscalar":
            # Wraps where the type cannot hold it.
            return self.np.array(recipe[2]).astype(recipe[1])[()]
        if tag == "np":
            values = self.np.array(recipe[2], dtype=object) if recipe[2] else self.np.zeros((0, 2))
            return values.astype(recipe[1])
        if tag == "iter_raises":
            return IterRaises()
        items = [self(s) for s in recipe[1]]
        if tag == "list":
            return items
        if tag == "tuple":
            return tuple(items)
        if tag == "gen":
            return _generator(items)
        if tag == "gen_raises":
            return _generator(items, recipe[2])
        if tag == "len_lies":
            return LenLies(items, recipe[2])
        if tag == "set":
            try:
                return set(items)
            except TypeError:
                return items
        if tag == "dictkeys":
            try:
                return dict.fromkeys(items).keys()
            except TypeError:
                return items
        raise ValueError(f"unknown recipe {recipe!r}")


class _Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


def _bits(value):
    """A comparable form of a result: floats by value, but every NaN equal to every other."""
    if isinstance(value, float):
        return "nan" if value != value else value
    if isinstance(value, (list, tuple)):
        return [_bits(v) for v in value]
    return value


def _snapshot(vx, graph):
    """Everything a graph holds, read through both classes' views; None for no usable graph."""
    if graph is None or not _initialised(vx, graph):
        return None
    weighted = graph.get_adj() if isinstance(graph, vx.WeightedGraph) else None
    return (graph.vertices(), graph.is_directed(), vx.Graph.get_adj(graph), weighted)


def _state(vx, graph):
    return _bits(_snapshot(vx, graph))


def _initialised(vx, graph):
    try:
        vx.Graph.vertices(graph)
        return True
    except TypeError:
        return False


def _outcome(call):
    try:
        return ("ok", _bits(call()))
    except Exception as error:  # noqa: BLE001 - every Python-level failure is an acceptable answer
        # The text of a refused call ends by listing the arguments received, threads included.
        return ("raised", type(error).__name__, str(error).split("Invoked with")[0])


class Runner:
    def __init__(self):
        import numpy as np

        import _veltrix as vx

        self.vx, self.np = vx, np
        self.calls = 0

    def run(self, case):
        """Runs one case; returns the list of broken expectations (empty when all held)."""
        vx = self.vx
        graphs = []
        build = Builder(vx, self.np, graphs)
        problems = []
        for number, op in enumerate(case):
            where = f"operation {number} {json.dumps(op)}"
            try:
                problems += self.operation(op, graphs, build, where)
            except _Skip:
                continue
            for g in graphs:
                problems += self.invariants(g, where)
        return problems

    def operation(self, op, graphs, build, where):
        vx = self.vx
        kind = op[0]
        if kind == "new":
            cls = getattr(vx, op[1])
            self.calls += 1
            try:
                graphs.append(cls(*[build(a) for a in op[2]]))
            except Exception:  # noqa: BLE001
                graphs.append(None)
            return []
        if kind == "utility":
            self.calls += 1
            _outcome(lambda: getattr(vx, op[1])(*[build(a) for a in op[2]]))
            return []
        if kind == "init":
            graph = graphs[op[2]] if op[2] < len(graphs) else None
            if graph is None:
                raise _Skip
            before = [_state(vx, g) for g in graphs]
            self.calls += 1
            _outcome(lambda: getattr(vx, op[1]).__init__(graph, *[build(a) for a in op[3]]))
            # A second __init__ on a live graph is ignored; one that cannot apply raises. Either
            # way nothing may change.
            return self.unchanged(graphs, before, where)
        if kind == "algorithm":
            return self.algorithm(op, graphs, build, where)
        if kind in ("call", "unbound"):
            name = op[2]
            if kind == "call":
                graph = graphs[op[1]] if op[1] < len(graphs) else None
                if graph is None:
                    raise _Skip
                function = getattr(graph, name)
                args = op[3]
            else:
                function = getattr(getattr(vx, op[1]), name)
                args = op[3]
            before = [_state(vx, g) for g in graphs]
            self.before_raw = [_snapshot(vx, g) for g in graphs]
            self.calls += 1
            result = _outcome(lambda: function(*[build(a) for a in args]))
            if result[0] == "ok" or not GRAPH_METHODS.get(name, (0, False))[1]:
                return []
            if name == "add_edges":
                return self.partial_add_edges(op, graphs, before, build, where)
            return self.unchanged(graphs, before, where)
        raise ValueError(f"unknown operation {op!r}")

    def unchanged(self, graphs, before, where, allowed=None):
        problems = []
        for i, g in enumerate(graphs):
            after = _state(self.vx, g)
            if after != before[i] and (allowed is None or after not in allowed.get(i, [])):
                problems.append(f"{where}: graph {i} changed from {before[i]!r} to {after!r}")
        return problems

    def partial_add_edges(self, op, graphs, before, build, where):
        """add_edges that raised keeps the edges before the first bad one, and nothing else."""
        vx = self.vx
        if op[0] == "call":
            target, edges = op[1], op[3]
        else:
            self_spec, edges = op[3][0], op[3][1:]
            if self_spec[0] != "graph":
                return self.unchanged(graphs, before, where)
            target = self_spec[1]
        if target >= len(graphs) or before[target] is None or len(edges) != 1:
            return self.unchanged(graphs, before, where)
        try:
            items = list(build(edges[0]))
        except Exception:  # noqa: BLE001 - the argument never converted: nothing may change
            items = []
        # Replay the edges one at a time on a copy of the graph as it was, the way add_edges adds
        # them, and accept the state after any prefix.
        copy = self.rebuild(graphs[target], self.before_raw[target])
        adder = copy.add_edge if op[0] == "call" else getattr(vx, op[1]).add_edge.__get__(copy)
        allowed = []
        for item in items:
            try:
                adder(*item)
            except Exception:  # noqa: BLE001
                break
            allowed.append(_state(vx, copy))
        return self.unchanged(graphs, before, where, {target: allowed})

    def rebuild(self, graph, snapshot):
        vx = self.vx
        _, directed, adj, weighted = snapshot
        if isinstance(graph, vx.WeightedGraph):
            copy = vx.WeightedGraph(0, directed)
            copy.build_from_adj_list(weighted)
            return copy
        return vx.Graph(adj, directed)

    def negative_cycle(self, graph, source):
        """Whether relaxation from `source` never settles: its answer is whatever the passes reach."""
        snapshot = _snapshot(self.vx, graph)
        if snapshot is None or snapshot[3] is None or not isinstance(source, int):
            return False
        lists = snapshot[3]
        if not 0 <= source < len(lists):
            return False
        distance = [float("inf")] * len(lists)
        distance[source] = 0.0
        for _ in range(len(lists) + 1):
            changed = False
            for u, entries in enumerate(lists):
                for v, w in entries:
                    if distance[u] + w < distance[v]:
                        distance[v] = distance[u] + w
                        changed = True
            if not changed:
                return False
        return True

    def algorithm(self, op, graphs, build, where):
        vx = self.vx
        name, args, kwargs = op[1], op[2], op[3]
        function = getattr(vx, name)
        graph = build(args[0])
        before = [_state(vx, g) for g in graphs]
        outcomes = {}
        for threads in (kwargs.get("threads"), ["int", 1], ["int", 2], ["int", -1]):
            if threads is None:
                continue
            self.calls += 1
            outcomes[json.dumps(threads)] = (
                threads,
                _outcome(
                    lambda: function(graph, *[build(a) for a in args[1:]], threads=build(threads))
                ),
            )
        problems = self.unchanged(graphs, before, where)
        if name == "parallel_dijkstra" and self.negative_cycle(
            graph, build(args[1]) if len(args) > 1 else None
        ):
            return problems
        groups = {}
        for threads, outcome in outcomes.values():
            resolved = _outcome(lambda: vx.get_thread_count(build(threads)))
            if resolved[0] != "ok":
                continue  # a thread count that does not convert has nothing to agree with
            # The scattering PageRank's bits depend on the resolved worker count, so only equal
            # counts are compared.
            group = json.dumps(resolved) if name == "parallel_pagerank_bfs" else "all"
            groups.setdefault(group, []).append((threads, outcome))
        for members in groups.values():
            first_threads, first = members[0]
            for threads, outcome in members[1:]:
                if outcome != first:
                    problems.append(
                        f"{where}: threads={threads} gave {outcome!r:.300} "
                        f"but threads={first_threads} gave {first!r:.300}"
                    )
        return problems

    def invariants(self, graph, where):
        vx = self.vx
        state = _snapshot(vx, graph)
        if state is None:
            return []
        n, _, adj, weighted = state
        problems = []
        if len(adj) != n:
            problems.append(f"{where}: vertices() is {n} but there are {len(adj)} lists")
        if weighted is not None and [[v for v, _ in lst] for lst in weighted] != adj:
            problems.append(f"{where}: the weighted lists and the neighbour lists disagree")
        return problems


class _Skip(Exception):
    """The operation names a graph that was never made."""


def child_main():
    """Serve cases over the pipes: a pickled case in, a pickled (problems, calls) answer out."""
    warnings.simplefilter("ignore")  # numpy's overflow warnings while building odd arrays
    limit = os.environ.get("VELTRIX_FUZZ_ADDRESS_SPACE")
    if limit:
        resource.setrlimit(resource.RLIMIT_AS, (int(limit), int(limit)))
    requests = os.fdopen(0, "rb")
    answers = os.fdopen(os.dup(1), "wb")
    # print_graph writes to the process's standard output, which must not mix with the answers.
    devnull = os.open(os.devnull, os.O_WRONLY)
    os.dup2(devnull, 1)
    runner = Runner()
    while True:
        try:
            case = pickle.load(requests)
        except EOFError:
            return
        before = runner.calls
        problems = runner.run(case)
        pickle.dump((problems, runner.calls - before), answers)
        answers.flush()


if __name__ == "__main__" and sys.argv[1:] == ["--child"]:
    child_main()
