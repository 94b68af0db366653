#pragma once

// Working storage that lives for one call: a fixed number of uninitialised elements.
//
// A kernel that scatters into an array of many megabytes touches its pages in random order, and
// with 4 KiB pages every call then pays a page fault and a TLB miss for each of thousands of them.
// A large buffer is therefore mapped on its own, aligned to 2 MiB and marked for transparent huge
// pages, which cuts both by a factor of 512 where the system allows it (and changes nothing where
// it does not). Small buffers come from the ordinary heap. Under AddressSanitizer every buffer
// comes from the heap, so that out-of-bounds accesses are still caught.

#include <cstddef>
#include <type_traits>
#include <utility>

namespace veltrix {

namespace memory {

struct Block {
    void* data;
    void* mapping;       // the start of the mapping that holds data, or nullptr for the heap
    std::size_t mapped;  // the mapping's length in bytes
};

// Throws std::bad_alloc when there is no memory.
Block allocate(std::size_t bytes);
// Gives the pages past the first `bytes` of a mapped block back to the system; a heap block stays.
void shrink(Block& block, std::size_t bytes) noexcept;
void release(Block block) noexcept;

}  // namespace memory

template <class T>
class Buffer {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    Buffer() = default;
    explicit Buffer(std::size_t size) : size_(size), block_(memory::allocate(size * sizeof(T))) {}
    Buffer(Buffer&& other) noexcept { swap(other); }
    Buffer& operator=(Buffer&& other) noexcept {
        Buffer(std::move(other)).swap(*this);
        return *this;
    }
    ~Buffer() { memory::release(block_); }

    void swap(Buffer& other) noexcept {
        std::swap(size_, other.size_);
        std::swap(block_, other.block_);
    }

    // Keeps the first `size` elements (at most size()) and returns the memory past them.
    void shrink(std::size_t size) noexcept {
        if (size >= size_) return;
        memory::shrink(block_, size * sizeof(T));
        size_ = size;
    }

    std::size_t size() const { return size_; }
    T* data() { return static_cast<T*>(block_.data); }
    const T* data() const { return static_cast<const T*>(block_.data); }
    T& operator[](std::size_t i) { return data()[i]; }
    const T& operator[](std::size_t i) const { return data()[i]; }
    T* begin() { return data(); }
    T* end() { return data() + size_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }

private:
    std::size_t size_ = 0;
    memory::Block block_{nullptr, nullptr, 0};
};

}  // namespace veltrix
