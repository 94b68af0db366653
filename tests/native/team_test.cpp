// The per-call worker team: every task of every pass runs exactly once, on worker indices within
// the team, passes see each other's writes, exceptions and interrupts stop a pass and arrive once
// every running task has finished, and teams larger than the machine behave the same.

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "check.hpp"
#include "parallel/team.hpp"

namespace {

using namespace veltrix;

void every_task_once_per_pass(int workers) {
    Team team(workers);
    CHECK(team.size() == workers);
    for (int tasks : {0, 1, 2, 3, 7, 64, 1000}) {
        std::vector<std::atomic<int>> runs(tasks);
        std::atomic<bool> bad_worker{false};
        for (int pass = 0; pass < 50; ++pass)
            team.run(tasks, [&](int t, int worker) {
                if (worker < 0 || worker >= workers) bad_worker = true;
                runs[t].fetch_add(1, std::memory_order_relaxed);
            });
        for (auto& r : runs) CHECK(r.load() == 50);
        CHECK(!bad_worker.load());
    }
}

// A pass reads plain data the previous pass wrote: the team orders them.
void passes_see_previous_writes(int workers) {
    Team team(workers);
    const int n = 10'000;
    std::vector<int> a(n, 0), b(n, 0);
    for (int round = 1; round <= 200; ++round) {
        team.for_each(0, n, [&](int i) { a[i] = b[(i + 1) % n] + 1; });
        team.for_each(0, n, [&](int i) { b[i] = a[i]; });
    }
    for (int i = 0; i < n; ++i) CHECK(b[i] == 200);
}

void chunks_cover_the_range(int workers) {
    Team team(workers);
    for (int grain : {1, 3, 64}) {
        std::vector<std::atomic<int>> hits(1000);
        team.for_chunks(5, 1000, grain, [&](int first, int last, int) {
            CHECK(first < last && last - first <= grain);
            for (int i = first; i < last; ++i) hits[i].fetch_add(1);
        });
        for (int i = 0; i < 1000; ++i) CHECK(hits[i].load() == (i >= 5 ? 1 : 0));
    }
}

void an_exception_stops_the_pass_and_the_team_goes_on(int workers) {
    Team team(workers);
    std::atomic<int> ran{0};
    bool thrown = false;
    try {
        // Every other task takes a while, so that the tasks left after the throw outlast any delay
        // of the throwing worker, however the system schedules the workers.
        team.run(10'000, [&](int t, int) {
            ran.fetch_add(1);
            if (t == 10) throw std::runtime_error("task 10");
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        });
    } catch (const std::runtime_error& e) {
        thrown = std::string(e.what()) == "task 10";
    }
    CHECK(thrown);
    CHECK(ran.load() < 10'000);
    std::atomic<int> after{0};
    team.run(100, [&](int, int) { after.fetch_add(1); });
    CHECK(after.load() == 100);
}

struct CountingInterrupt final : Interrupt {
    int checks = 0;
    int throw_at = -1;
    void check() override {
        if (++checks == throw_at) throw std::runtime_error("interrupted");
    }
};

void the_interrupt_is_asked_between_passes(int workers) {
    CountingInterrupt interrupt;
    Team team(workers, &interrupt);
    for (int pass = 0; pass < 5; ++pass) team.run(100, [](int, int) {});
    CHECK(interrupt.checks >= 5);
    interrupt.throw_at = interrupt.checks + 1;
    bool thrown = false;
    try {
        team.run(100, [](int, int) {});
    } catch (const std::runtime_error&) {
        thrown = true;
    }
    CHECK(thrown);
}

}  // namespace

int main() {
    for (int workers : {1, 2, 3, 5, 8}) {
        every_task_once_per_pass(workers);
        passes_see_previous_writes(workers);
        chunks_cover_the_range(workers);
        an_exception_stops_the_pass_and_the_team_goes_on(workers);
        the_interrupt_is_asked_between_passes(workers);
    }
    return check::report();
}
