#pragma once

// A minimal check harness for the native test programs: CHECK and CHECK_EQ report a failure with
// its location and keep going; main() ends with `return check::report();`, which is non-zero when
// any check failed. Checks may be made from worker threads.

#include <atomic>
#include <iostream>
#include <sstream>
#include <string>

namespace check {

// Repeated runs are the race detector's workload, but ThreadSanitizer slows a program ten-fold or
// more, and more again on a loaded machine; under it the programs repeat less, to stay far from
// their CTest timeout.
#if defined(__SANITIZE_THREAD__)
inline constexpr int kRepeatDivisor = 4;
#else
inline constexpr int kRepeatDivisor = 1;
#endif

inline std::atomic<int>& failures() {
    static std::atomic<int> count{0};
    return count;
}

// What the program is checking at the moment, shown with every failure. Set it from the main
// thread only, between the runs that may check from workers.
inline std::string& context() {
    static std::string text;
    return text;
}

inline void fail(const char* file, int line, const std::string& what) {
    ++failures();
    std::ostringstream out;
    out << file << ':' << line << ": check failed: " << what;
    if (!context().empty()) out << " [" << context() << ']';
    out << '\n';
    std::cerr << out.str();
}

template <class A, class B>
void equal(const A& a, const B& b, const char* text, const char* file, int line) {
    if (a == b) return;
    std::ostringstream what;
    what << text << " (" << a << " vs " << b << ')';
    fail(file, line, what.str());
}

inline int report() {
    const int n = failures();
    if (n == 0) {
        std::cout << "all checks passed\n";
        return 0;
    }
    std::cerr << n << " check(s) failed\n";
    return 1;
}

}  // namespace check

#define CHECK(cond) \
    do { \
        if (!(cond)) ::check::fail(__FILE__, __LINE__, #cond); \
    } while (0)

#define CHECK_EQ(a, b) ::check::equal((a), (b), #a " == " #b, __FILE__, __LINE__)
