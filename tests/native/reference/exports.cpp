// The serial references as plain C functions, so the Python tests check the module against the
// same code the native tests use (tests/algorithm_reference.py builds this file into a shared
// library on first use and loads it with ctypes). Lists arrive in compressed form: the entries of
// vertex u are targets[offsets[u]] .. targets[offsets[u + 1] - 1]; results are written to arrays
// the caller sized to n.

#include <cstdint>
#include <vector>

#include "connected_components.hpp"
#include "hop_distances.hpp"
#include "pagerank_gather.hpp"
#include "pagerank_scatter.hpp"
#include "reachability.hpp"
#include "shortest_distances.hpp"
#include "triangle_count.hpp"

namespace {

veltrix::AdjacencyLists lists_of(int n, const std::int64_t* offsets, const std::int32_t* targets) {
    veltrix::AdjacencyLists adj(n);
    for (int u = 0; u < n; ++u) adj[u].assign(targets + offsets[u], targets + offsets[u + 1]);
    return adj;
}

template <class T, class U>
void copy_out(const std::vector<T>& values, U* out) {
    for (std::size_t i = 0; i < values.size(); ++i) out[i] = static_cast<U>(values[i]);
}

}  // namespace

extern "C" {

void reference_connected_components(int n, const std::int64_t* offsets, const std::int32_t* targets,
                                    std::int32_t* out) {
    copy_out(reference::connected_components(lists_of(n, offsets, targets)), out);
}

void reference_hop_distances(int n, const std::int64_t* offsets, const std::int32_t* targets,
                             int source, std::int32_t* out) {
    copy_out(reference::hop_distances(lists_of(n, offsets, targets), source), out);
}

void reference_reachability(int n, const std::int64_t* offsets, const std::int32_t* targets,
                            int source, std::uint8_t* out) {
    copy_out(reference::reachability(lists_of(n, offsets, targets), source), out);
}

std::int64_t reference_triangle_count(int n, const std::int64_t* offsets,
                                      const std::int32_t* targets) {
    return reference::triangle_count(lists_of(n, offsets, targets));
}

void reference_pagerank_gather(int n, const std::int64_t* offsets, const std::int32_t* targets,
                               int iterations, double damping, double* out) {
    copy_out(reference::pagerank_gather(lists_of(n, offsets, targets), iterations, damping), out);
}

void reference_pagerank_scatter(int n, const std::int64_t* offsets, const std::int32_t* targets,
                                int iterations, double damping, int slots, double* out) {
    copy_out(reference::pagerank_scatter(lists_of(n, offsets, targets), iterations, damping, slots),
             out);
}

// Returns whether the passes converged (no negative cycle held them up).
int reference_shortest_distances(int n, const std::int64_t* offsets, const std::int32_t* targets,
                                 const double* weights, int source, double* out) {
    veltrix::WeightedLists lists(n);
    for (int u = 0; u < n; ++u)
        for (std::int64_t i = offsets[u]; i < offsets[u + 1]; ++i)
            lists[u].emplace_back(targets[i], weights[i]);
    const reference::Distances result = reference::shortest_distances(lists, source);
    copy_out(result.distance, out);
    return result.converged ? 1 : 0;
}

}  // extern "C"
