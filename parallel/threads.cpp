#include "parallel/threads.hpp"

#include <algorithm>
#include <thread>

namespace veltrix {

int hardware_threads() {
    const unsigned reported = std::thread::hardware_concurrency();
    return reported == 0 ? 1 : static_cast<int>(reported);
}

int get_thread_count(int threads) {
    const int hardware = hardware_threads();
    return threads > 0 ? std::min(threads, hardware) : hardware;
}

}  // namespace veltrix
