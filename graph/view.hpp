#pragma once

// The kernels read a graph through a view: its vertex count, its list entries, whether the lists
// mirror each other, and each vertex's list (and weights). Two layouts answer it: the growable
// lists of Graph and WeightedGraph, and the compressed arrays of a CSR graph (offsets into one
// array of targets). Every kernel is written once, as a template over the view, and compiled for
// both.

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "graph/weighted_graph.hpp"

namespace veltrix {

// (neighbour, weight) pairs read from two parallel arrays.
class WeightedRange {
public:
    class iterator {
    public:
        iterator(const int* target, const double* weight) : target_(target), weight_(weight) {}
        std::pair<int, double> operator*() const { return {*target_, *weight_}; }
        iterator& operator++() {
            ++target_, ++weight_;
            return *this;
        }
        bool operator!=(const iterator& other) const { return target_ != other.target_; }

    private:
        const int* target_;
        const double* weight_;
    };

    WeightedRange(const int* targets, const double* weights, std::size_t size)
        : targets_(targets), weights_(weights), size_(size) {}
    iterator begin() const { return {targets_, weights_}; }
    iterator end() const { return {targets_ + size_, weights_ + size_}; }
    bool empty() const { return size_ == 0; }
    std::pair<int, double> front() const { return *begin(); }

private:
    const int* targets_;
    const double* weights_;
    std::size_t size_;
};

// A Graph's own lists, and a WeightedGraph's weighted lists beside them.
class ListsView {
public:
    // Implicit, so that a kernel is called on a Graph as it stands.
    ListsView(const Graph& graph)  // NOLINT(google-explicit-constructor)
        : adj_(graph.get_adj()),
          weighted_(weighted_lists(graph)),
          entries_(graph.entry_count()),
          mirrored_(graph.is_mirrored()) {}

    int vertices() const { return static_cast<int>(adj_.size()); }
    std::int64_t entry_count() const { return entries_; }
    bool is_mirrored() const { return mirrored_; }
    bool is_weighted() const { return weighted_ != nullptr; }
    std::size_t degree(int v) const { return adj_[v].size(); }
    std::span<const int> neighbours(int v) const { return adj_[v]; }
    std::span<const WeightedEdge> weighted(int v) const { return (*weighted_)[v]; }

    // What a kernel asks for ahead of reading a list: where the list is found, then the list.
    const void* header(int v) const { return &adj_[v]; }
    const void* list(int v) const { return adj_[v].data(); }
    const void* weighted_list(int v) const { return (*weighted_)[v].data(); }

    // A Graph's lists keep the order their edges came in: nothing is known of it.
    bool lists_ascending() const { return false; }

private:
    static const WeightedLists* weighted_lists(const Graph& graph) {
        const auto* weighted = dynamic_cast<const WeightedGraph*>(&graph);
        return weighted != nullptr ? &weighted->get_adj() : nullptr;
    }

    const AdjacencyLists& adj_;
    const WeightedLists* weighted_;
    std::int64_t entries_;
    bool mirrored_;
};

// Compressed lists: v's neighbours are targets[offsets[v] .. offsets[v + 1]), with their weights at
// the same positions of `weights` (null when the graph has none).
class CsrView {
public:
    CsrView(int vertices, const std::int64_t* offsets, const int* targets, const double* weights,
            bool mirrored, bool ascending = false)
        : n_(vertices),
          offsets_(offsets),
          targets_(targets),
          weights_(weights),
          mirrored_(mirrored),
          ascending_(ascending) {}

    int vertices() const { return n_; }
    std::int64_t entry_count() const { return offsets_[n_] - offsets_[0]; }
    bool is_mirrored() const { return mirrored_; }
    bool is_weighted() const { return weights_ != nullptr; }
    std::size_t degree(int v) const {
        return static_cast<std::size_t>(offsets_[v + 1] - offsets_[v]);
    }
    std::span<const int> neighbours(int v) const { return {targets_ + offsets_[v], degree(v)}; }
    WeightedRange weighted(int v) const {
        return {targets_ + offsets_[v], weights_ + offsets_[v], degree(v)};
    }

    const void* header(int v) const { return &offsets_[v]; }
    const void* list(int v) const { return targets_ + offsets_[v]; }
    const void* weighted_list(int v) const { return weights_ + offsets_[v]; }

    const std::int64_t* offsets() const { return offsets_; }
    const int* targets() const { return targets_; }
    // True when every list is known to be in ascending order; false says nothing.
    bool lists_ascending() const { return ascending_; }

private:
    int n_;
    const std::int64_t* offsets_;
    const int* targets_;
    const double* weights_;
    bool mirrored_;
    bool ascending_;
};

}  // namespace veltrix
