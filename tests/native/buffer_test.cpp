// Per-call buffers, small ones from the heap and large ones mapped on huge-page boundaries: every
// element holds what was written to it, moves and swaps hand the storage over whole, and an empty
// buffer is harmless.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "check.hpp"
#include "parallel/buffer.hpp"

namespace {

using veltrix::Buffer;

constexpr std::size_t kHugePage = std::size_t{1} << 21;

void fill(Buffer<std::uint32_t>& buffer, std::uint32_t seed) {
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<std::uint32_t>(i) * 2654435761u + seed;
}

bool holds(const Buffer<std::uint32_t>& buffer, std::uint32_t seed) {
    for (std::size_t i = 0; i < buffer.size(); ++i)
        if (buffer[i] != static_cast<std::uint32_t>(i) * 2654435761u + seed) return false;
    return true;
}

void elements_keep_their_values() {
    // Around the size from which buffers are mapped, and one that ends mid-page.
    for (std::size_t size : {std::size_t{1}, std::size_t{1000}, kHugePage / 2 - 1, kHugePage / 2,
                             kHugePage / 2 + 1, 3 * kHugePage / 4 + 12345}) {
        check::context() = "size " + std::to_string(size);
        Buffer<std::uint32_t> buffer(size);
        CHECK_EQ(buffer.size(), size);
        CHECK(buffer.end() - buffer.begin() == static_cast<std::ptrdiff_t>(size));
        fill(buffer, 7);
        CHECK(holds(buffer, 7));
#if !defined(__SANITIZE_ADDRESS__)
        if (size * sizeof(std::uint32_t) >= 2 * kHugePage)
            CHECK_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % kHugePage,
                     std::uintptr_t{0});
#endif
    }
    check::context().clear();
}

void moves_and_swaps_hand_storage_over() {
    for (std::size_t size : {std::size_t{100}, 3 * kHugePage / 4 + 1}) {
        Buffer<std::uint32_t> a(size), b(size / 2 + 1);
        fill(a, 1);
        fill(b, 2);
        const std::uint32_t* a_data = a.data();
        a.swap(b);
        CHECK(a.size() == size / 2 + 1 && holds(a, 2));
        CHECK(b.size() == size && b.data() == a_data && holds(b, 1));

        Buffer<std::uint32_t> c(std::move(b));
        CHECK(c.size() == size && c.data() == a_data && holds(c, 1));
        CHECK(b.size() == 0 && b.data() == nullptr);
        c = std::move(a);  // releases c's old storage
        CHECK(c.size() == size / 2 + 1 && holds(c, 2));
        b = Buffer<std::uint32_t>();
        CHECK(b.size() == 0);
    }
}

}  // namespace

int main() {
    elements_keep_their_values();
    moves_and_swaps_hand_storage_over();
    return check::report();
}
