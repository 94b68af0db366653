#pragma once

// Member functions and algorithms bound so that they refuse a graph whose __init__ never ran, and
// refuse to change a graph while an algorithm reads it.

#include <stdexcept>
#include <utility>

#include <pybind11/pybind11.h>

#include "bindings/pybind11_workarounds/uninitialised.hpp"

namespace veltrix::bindings {

// Wraps a member function so that the binding receives `self` as a reference. A member-function
// pointer bound directly takes `self` as a pointer, which the argument conversion fills with null
// when Python passes None (Graph.add_edge(None, 0, 1)); a reference refuses None and any object
// of another class with TypeError. Calling through the pointer keeps virtual dispatch.
// The non-const members are the ones that change the graph, and they are refused while an
// algorithm reads it.
template <class R, class C, class... A>
auto method(R (C::*f)(A...)) {
    return [f](C& self, A... args) -> R {
        require_initialised(self);
        if (self.readers() != 0)
            throw std::runtime_error("cannot change a graph while an algorithm is reading it");
        return (self.*f)(std::forward<A>(args)...);
    };
}

template <class R, class C, class... A>
auto method(R (C::*f)(A...) const) {
    return [f](const C& self, A... args) -> R {
        require_initialised(self);
        return (self.*f)(std::forward<A>(args)...);
    };
}

// Marks a graph as read for as long as it lives: the methods above refuse to change it meanwhile.
template <class C>
class Reading {
public:
    explicit Reading(const C& graph) : graph_(graph) { graph_.begin_reading(); }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;
    ~Reading() { graph_.end_reading(); }

private:
    const C& graph_;
};

}  // namespace veltrix::bindings
