#pragma once

// The atomic operations the kernels share. Plain arrays stay plain; each access that another
// worker may make at the same time goes through one of these, so no kernel hand-writes its own
// compare-and-swap loop. Every operation but publish/take is relaxed: the passes of a team are
// ordered by the team itself, and within a pass a kernel mostly needs only atomicity of single
// entries.

#include <atomic>

namespace veltrix {

template <class T>
T load(const T& entry) {
    return std::atomic_ref<T>(const_cast<T&>(entry)).load(std::memory_order_relaxed);
}

template <class T>
void store(T& entry, T value) {
    std::atomic_ref<T>(entry).store(value, std::memory_order_relaxed);
}

// Changes entry from `unset` to `value`; true for the one caller that did. Reading first keeps
// already-claimed entries off the compare-and-swap.
template <class T>
bool claim(T& entry, T unset, T value) {
    std::atomic_ref<T> ref(entry);
    T expected = unset;
    return ref.load(std::memory_order_relaxed) == unset &&
           ref.compare_exchange_strong(expected, value, std::memory_order_relaxed);
}

// Lowers entry to `value` when `value` is strictly smaller; true when this call lowered it. A NaN
// value compares false and never lowers anything.
template <class T>
bool lower_to(T& entry, T value) {
    std::atomic_ref<T> ref(entry);
    // Most calls lower nothing; reading into a value of its own keeps them off the stack slot
    // that the compare-and-swap needs for the value it expects.
    const T seen = ref.load(std::memory_order_relaxed);
    if (!(value < seen)) return false;
    T current = seen;
    do {
        if (ref.compare_exchange_weak(current, value, std::memory_order_relaxed)) return true;
    } while (value < current);
    return false;
}

// A per-entry hand-over inside a pass: publish(entry, value) after writing other data, and the
// worker whose take(entry, empty) returns that value (leaving `empty` behind) sees those writes.
template <class T>
void publish(T& entry, T value) {
    std::atomic_ref<T>(entry).store(value, std::memory_order_release);
}

template <class T>
T take(T& entry, T empty) {
    return std::atomic_ref<T>(entry).exchange(empty, std::memory_order_acquire);
}

// Raises a flag shared by the workers of a pass. Reading first keeps the flag's cache line from
// bouncing between cores once it is set.
inline void raise_flag(std::atomic<bool>& flag) {
    if (!flag.load(std::memory_order_relaxed)) flag.store(true, std::memory_order_relaxed);
}

}  // namespace veltrix
