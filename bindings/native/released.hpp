#pragma once

// Runs native work without the interpreter lock. The calling thread is the team's worker 0 and
// the only one that ever asks the interrupt; it takes the lock back just long enough to run the
// signal handlers that are due, so Ctrl-C (or whatever a handler raises) still stops the call.

#include <pybind11/pybind11.h>

#include "parallel/team.hpp"

namespace veltrix::bindings::native {

class ReleasedSignals final : public Interrupt {
public:
    void check() override {
        pybind11::gil_scoped_acquire held;
        if (PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
    }
};

// Calls work(interrupt) with the lock released; whatever work throws reaches the caller with the
// lock held again.
template <class Work>
auto without_lock(Work&& work) {
    ReleasedSignals signals;
    pybind11::gil_scoped_release released;
    return work(static_cast<Interrupt*>(&signals));
}

}  // namespace veltrix::bindings::native
