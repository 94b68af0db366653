#pragma once

#include <stdexcept>
#include <utility>

#include <pybind11/pybind11.h>

namespace veltrix::bindings {

// Refuses a graph whose Python object was made by __new__ without __init__. For such an object
// pybind11 allocates raw storage on first use and hands it over as if it held a graph; nothing has
// been constructed in it, so even a virtual call would read garbage. An object is entered in
// pybind11's map of registered instances only once its __init__ has constructed it, so raw storage
// is never found there.
template <class C>
void require_initialised(const C& object) {
    const void* address = &object;
    const bool registered = pybind11::detail::with_instance_map(
        address, [&](auto& instances) { return instances.count(const_cast<void*>(address)) != 0; });
    if (registered) return;
    const auto* type = pybind11::detail::get_type_info(typeid(C));
    throw pybind11::type_error(pybind11::detail::get_fully_qualified_tp_name(type->type) +
                               " object is not initialised: its __init__ was never called");
}

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
