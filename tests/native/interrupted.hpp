#pragma once

// Checks that a kernel stops when its interrupt fires: the interrupt throws at its first check,
// and the call must end with that very exception, alone on the caller and with a team.

#include <stdexcept>
#include <string>

#include "check.hpp"
#include "parallel/team.hpp"

namespace testing {

struct StopAtOnce final : veltrix::Interrupt {
    void check() override { throw std::runtime_error("stopped"); }
};

// call(workers, interrupt) runs the kernel.
template <class Call>
void stops_when_interrupted(Call call) {
    for (int workers : {1, 2}) {
        StopAtOnce interrupt;
        std::string message;
        try {
            call(workers, &interrupt);
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        CHECK_EQ(message, std::string("stopped"));
    }
}

}  // namespace testing
