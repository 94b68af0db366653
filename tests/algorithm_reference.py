"""Plain-Python versions of the graph algorithms, written from their definitions, and a seeded
generator of awkward graphs to run them on.

Every reference reads the lists exactly as get_adj() returns them (weights stripped), never the
directed flag. The PageRank references repeat the native float operations in the native order,
so their results can be compared bit for bit.
"""

import random
from collections import Counter, deque

import _veltrix


def adjacency(graph):
    """The neighbour lists the algorithms read, without weights."""
    lists = graph.get_adj()
    if isinstance(graph, _veltrix.WeightedGraph):
        return [[v for v, _ in row] for row in lists]
    return lists


def components(adj):
    """Smallest vertex of every vertex's component, edge direction ignored."""
    n = len(adj)
    parent = list(range(n))

    def root(x):
        while parent[x] != x:
            parent[x] = parent[parent[x]]
            x = parent[x]
        return x

    for u, row in enumerate(adj):
        for v in row:
            a, b = root(u), root(v)
            if a != b:
                parent[max(a, b)] = min(a, b)
    return [root(x) for x in range(n)]


def bfs(adj, source):
    """Hop distance from source along the lists, -1 where unreachable."""
    dist = [-1] * len(adj)
    dist[source] = 0
    queue = deque([source])
    while queue:
        u = queue.popleft()
        for v in adj[u]:
            if dist[v] == -1:
                dist[v] = dist[u] + 1
                queue.append(v)
    return dist


def reachable(adj, source):
    """Whether each vertex can be reached from source along the lists."""
    seen = [False] * len(adj)
    seen[source] = True
    stack = [source]
    while stack:
        for v in adj[stack.pop()]:
            if not seen[v]:
                seen[v] = True
                stack.append(v)
    return seen


def triangles(adj):
    """Triples u < v < w with v, w in u's list and w in v's list. Each occurrence of v in u's
    list counts on its own; w then counts min(occurrences in u's list, in v's list) times."""
    counts = [Counter(row) for row in adj]
    total = 0
    for u, row in enumerate(adj):
        for v in row:
            if v <= u:
                continue
            # Walking the smaller of the two multisets gives the same sum and keeps hubs cheap.
            small, large = sorted((counts[u], counts[v]), key=len)
            total += sum(min(k, large[w]) for w, k in small.items() if w > v)
    return total


def _dangling_mass(adj, score):
    mass = 0.0
    for u, row in enumerate(adj):
        if not row:
            mass = mass + score[u]
    return mass


def _new_score(dangling, gathered, damping, n):
    q = dangling / n
    q = q + gathered
    q = q * damping
    q = q + (1.0 - damping) / n
    return q


def pagerank_gather(adj, iterations=20, damping=0.85):
    """Every vertex sums score[u] / outdeg(u) over its in-neighbours u, ascending, from 0.0."""
    n = len(adj)
    if n == 0:
        return []
    count = float(n)
    incoming = [[] for _ in range(n)]
    for j, row in enumerate(adj):
        for v in row:
            incoming[v].append(j)
    degree = [float(len(row)) for row in adj]
    score = [1.0 / count] * n
    for _ in range(iterations):
        dangling = _dangling_mass(adj, score)
        nxt = []
        for i in range(n):
            s = 0.0
            for u in incoming[i]:
                s = s + score[u] / degree[u]
            nxt.append(_new_score(dangling, s, damping, count))
        score = nxt
    return score


def pagerank_scatter(adj, iterations=20, damping=0.85, threads=-1):
    """Slot t pushes score[j] / outdeg(j) of its block of vertices into its own accumulator; the
    accumulators are then added per vertex in slot order, from 0.0."""
    n = len(adj)
    if n == 0:
        return []
    count = float(n)
    slots = _veltrix.get_thread_count(threads)
    block = (n + slots - 1) // slots
    degree = [float(len(row)) for row in adj]
    score = [1.0 / count] * n
    for _ in range(iterations):
        dangling = _dangling_mass(adj, score)
        nxt = [0.0] * n
        for t in range(slots):
            acc = [0.0] * n
            for j in range(t * block, min(t * block + block, n)):
                if adj[j]:
                    x = score[j] / degree[j]
                    for v in adj[j]:
                        acc[v] = acc[v] + x
            for v in range(n):
                nxt[v] = nxt[v] + acc[v]
        score = [_new_score(dangling, s, damping, count) for s in nxt]
    return score


# --- random graphs ---------------------------------------------------------------------------

def random_edges(rng, n, m, hubs=0):
    """m edges over n vertices: about a quarter of the vertices stay isolated, some edges are
    self-loops, some repeat an earlier edge, and with hubs a share of the ends goes to a few
    high-degree vertices."""
    if n == 0:
        return []
    active = rng.sample(range(n), max(1, n - n // 4))
    hub_set = active[:hubs]

    def pick():
        return rng.choice(hub_set) if hub_set and rng.random() < 0.3 else rng.choice(active)

    edges = []
    for _ in range(m):
        r = rng.random()
        if r < 0.05:
            u = pick()
            edges.append((u, u))
        elif r < 0.15 and edges:
            edges.append(rng.choice(edges))
        else:
            edges.append((pick(), pick()))
    return edges


def random_graph(seed, n, m, directed, build, hubs=0):
    """A seeded graph built from an edge list, by add_edges, through the adjacency-list
    constructor, by build_from_adj_list, or as a WeightedGraph by add_edges or
    build_from_adj_list. The list builds put each edge in its first end's list only, so an
    undirected graph built that way is asymmetric."""
    rng = random.Random(seed)
    edges = random_edges(rng, n, m, hubs)
    lists = [[] for _ in range(n)]
    for u, v in edges:
        lists[u].append(v)
    if build == "edges":
        return _veltrix.Graph(n, edges, directed)
    if build == "adjacency":
        return _veltrix.Graph(lists, directed)
    if build == "add_edges":
        g = _veltrix.Graph(n, directed)
        g.add_edges(edges)
    elif build == "lists":
        g = _veltrix.Graph(0, directed)
        g.build_from_adj_list(lists)
    elif build == "weighted_edges":
        g = _veltrix.WeightedGraph(n, directed)
        g.add_edges([(u, v, rng.uniform(0.5, 8.0)) for u, v in edges])
    elif build == "weighted_lists":
        g = _veltrix.WeightedGraph(0, directed)
        g.build_from_adj_list([[(v, rng.uniform(0.5, 8.0)) for v in row] for row in lists])
    else:
        raise ValueError(build)
    return g


def source_of(adj, seed):
    """A vertex with out-edges when there is one, so that searches go somewhere."""
    busy = [u for u, row in enumerate(adj) if row]
    return random.Random(seed).choice(busy or [0])
