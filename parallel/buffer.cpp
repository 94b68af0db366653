#include "parallel/buffer.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>

namespace veltrix::memory {

namespace {

constexpr std::size_t kHugePage = std::size_t{1} << 21;
// Below this a buffer spans too few huge pages for the mapping to pay.
constexpr std::size_t kMappedFrom = 2 * kHugePage;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLarge = false;
#else
constexpr bool kMapLarge = true;
#endif

}  // namespace

Block allocate(std::size_t bytes) {
    if (!kMapLarge || bytes < kMappedFrom)
        return {::operator new(bytes == 0 ? 1 : bytes), nullptr, 0};
    // The slack of one huge page lets the block start on a huge-page boundary.
    const std::size_t mapped = (bytes + 2 * kHugePage - 1) / kHugePage * kHugePage;
    void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) throw std::bad_alloc();
    const auto address = reinterpret_cast<std::uintptr_t>(base);
    const std::uintptr_t aligned = (address + kHugePage - 1) / kHugePage * kHugePage;
    // Only a hint: a system without transparent huge pages refuses it and keeps small pages.
    madvise(reinterpret_cast<void*>(aligned), mapped - kHugePage, MADV_HUGEPAGE);
    return {reinterpret_cast<void*>(aligned), base, mapped};
}

void shrink(Block& block, std::size_t bytes) noexcept {
    if (block.mapping == nullptr) return;
    const auto start = reinterpret_cast<std::uintptr_t>(block.mapping);
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t kept =
        (reinterpret_cast<std::uintptr_t>(block.data) + bytes + page - 1) / page * page;
    if (kept >= start + block.mapped) return;
    munmap(reinterpret_cast<void*>(kept), start + block.mapped - kept);
    block.mapped = kept - start;
}

void release(Block block) noexcept {
    if (block.data == nullptr) return;
    if (block.mapping == nullptr)
        ::operator delete(block.data);
    else
        munmap(block.mapping, block.mapped);
}

}  // namespace veltrix::memory
