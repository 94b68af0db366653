#pragma once

// A pause of the cyclic garbage collector while a result is built. A large result is many
// thousands of new lists, and each allocation counts towards the next collection: without the
// pause the collector would walk the growing result every few hundred lists. The new lists cannot
// form a cycle, and no Python code runs while they are built, so nothing can observe the pause.

#include <Python.h>

namespace veltrix::bindings::convert {

// Restores the collector's previous state when it goes out of scope, on every path out.
class CollectorPause {
public:
    CollectorPause() : was_enabled_(PyGC_Disable() != 0) {}
    ~CollectorPause() {
        if (was_enabled_) PyGC_Enable();
    }
    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;

private:
    bool was_enabled_;
};

}  // namespace veltrix::bindings::convert
