#include "parallel/threads.hpp"

#include <algorithm>
#include <thread>

#include <unistd.h>

namespace veltrix {

int hardware_threads() {
    const unsigned reported = std::thread::hardware_concurrency();
    return reported == 0 ? 1 : static_cast<int>(reported);
}

long long last_level_cache_bytes() {
    for (const int level : {_SC_LEVEL3_CACHE_SIZE, _SC_LEVEL2_CACHE_SIZE}) {
        const long reported = sysconf(level);
        if (reported > 0) return reported;
    }
    return 0;
}

int get_thread_count(int threads) {
    const int hardware = hardware_threads();
    return threads > 0 ? std::min(threads, hardware) : hardware;
}

}  // namespace veltrix
