#pragma once

#include <utility>

namespace veltrix::bindings {

// Wraps a member function so that the binding receives `self` as a reference. A member-function
// pointer bound directly takes `self` as a pointer, which the argument conversion fills with null
// when Python passes None (Graph.add_edge(None, 0, 1)); a reference refuses None and any object
// of another class with TypeError. Calling through the pointer keeps virtual dispatch.
template <class R, class C, class... A>
auto method(R (C::*f)(A...)) {
    return [f](C& self, A... args) -> R { return (self.*f)(std::forward<A>(args)...); };
}

template <class R, class C, class... A>
auto method(R (C::*f)(A...) const) {
    return [f](const C& self, A... args) -> R { return (self.*f)(std::forward<A>(args)...); };
}

}  // namespace veltrix::bindings
