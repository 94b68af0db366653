#pragma once

// Python objects of the graph classes made by __new__ without __init__ (see README.md here).
// pybind11 treats such an object as holding a C++ value: the first time it is passed to a bound
// function, the argument conversion allocates raw storage for it (nothing constructed in it) and
// hands that over as the value. The storage is sized for the class the function was bound for,
// and freed with the object, with the size of the object's own class.

#include <pybind11/pybind11.h>

#include <new>
#include <typeinfo>
#include <utility>

namespace veltrix::bindings {

// Refuses an object whose __init__ never ran: even a virtual call on raw storage would read
// garbage. An object is entered in pybind11's map of registered instances only once its __init__
// has constructed it, so raw storage is never found there.
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

// A member function bound so that it refuses an object whose __init__ never ran.
template <class R, class C, class... A>
auto initialised_method(R (C::*f)(A...)) {
    return [f](C& self, A... args) -> R {
        require_initialised(self);
        return (self.*f)(std::forward<A>(args)...);
    };
}

// A read-only field bound so that it refuses an object that was never constructed.
template <class T, class C>
auto initialised_field(T C::* field) {
    return [field](const C& self) -> const T& {
        require_initialised(self);
        return self.*field;
    };
}

namespace raw_storage {

template <class C>
inline void (*pybind11_dealloc)(pybind11::detail::value_and_holder&) = nullptr;

// Raw storage goes back unsized, which is right whatever size it was allocated with; pybind11's
// own dealloc then finds no storage and destroys a constructed holder as usual.
template <class C>
void dealloc(pybind11::detail::value_and_holder& v_h) {
    if (!v_h.holder_constructed()) {
        ::operator delete(v_h.value_ptr());
        v_h.value_ptr() = nullptr;
    }
    pybind11_dealloc<C>(v_h);
}

}  // namespace raw_storage

// The bound class `cls`, its instances' raw storage freed without a size. pybind11 would free
// the storage that a base class's method allocated for a derived object (Graph.degree on a
// WeightedGraph from __new__) with the derived class's size: a mismatched sized delete.
template <class Class>
Class raw_storage_freed_unsized(Class cls) {
    using C = typename Class::type;
    auto* type = pybind11::detail::get_type_info(typeid(C));
    raw_storage::pybind11_dealloc<C> = type->dealloc;
    type->dealloc = &raw_storage::dealloc<C>;
    return cls;
}

}  // namespace veltrix::bindings
