#pragma once

// Bulk builds size every neighbour list once: count the entries each list receives, grow each list
// to hold them, then write them in input order through one cursor per list. A list grown once to
// its exact size wastes nothing, where one-by-one appends leave up to half of each list's storage
// unused, and a cursor per list is a smaller array to hit at random than the lists themselves.

#include <algorithm>
#include <cstddef>
#include <tuple>
#include <vector>

namespace veltrix {

// The number of leading edges whose two ends are vertices of an n-vertex graph.
template <class Edges>
std::size_t leading_valid_edges(const Edges& edges, int n) {
    std::size_t k = 0;
    for (const auto& edge : edges) {
        const int u = std::get<0>(edge), v = std::get<1>(edge);
        if (u < 0 || u >= n || v < 0 || v >= n) break;
        ++k;
    }
    return k;
}

// The entries that the first `count` edges add to each of n lists: one to u's list, and one to
// v's list unless the graph is directed (an undirected self-loop adds two to the same list).
template <class Edges>
std::vector<std::size_t> entries_per_list(const Edges& edges, std::size_t count, int n,
                                          bool directed) {
    std::vector<std::size_t> entries(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < count; ++i) {
        ++entries[static_cast<std::size_t>(std::get<0>(edges[i]))];
        if (!directed) ++entries[static_cast<std::size_t>(std::get<1>(edges[i]))];
    }
    return entries;
}

// Grows each list to hold its extra entries. An empty list gets exactly what it needs; a list that
// already holds entries grows at least geometrically, so that many small batches still cost
// amortised constant time per entry.
template <class List>
void make_room(std::vector<List>& lists, const std::vector<std::size_t>& extra) {
    for (std::size_t u = 0; u < lists.size(); ++u) {
        List& list = lists[u];
        const std::size_t need = list.size() + extra[u];
        if (need <= list.capacity()) continue;
        list.reserve(list.empty() ? need : std::max(need, 2 * list.capacity()));
    }
}

// Lengthens each list by its extra entries, within the room already made for them: nothing moves
// and nothing can fail.
template <class Entry>
void open_entries(std::vector<std::vector<Entry>>& lists, const std::vector<std::size_t>& extra) {
    for (std::size_t u = 0; u < lists.size(); ++u) lists[u].resize(lists[u].size() + extra[u]);
}

// Points each list's cursor at the first of its `extra` newly opened entries.
template <class Entry>
void point_at_new_entries(std::vector<std::vector<Entry>>& lists,
                          const std::vector<std::size_t>& extra, std::vector<Entry*>& cursor) {
    for (std::size_t u = 0; u < lists.size(); ++u)
        cursor[u] = lists[u].data() + (lists[u].size() - extra[u]);
}

}  // namespace veltrix
