#pragma once
// Memory for the nodes of one container. A sheet's cells are one node each;
// taking every node from malloc made malloc and the page faults of a fresh
// heap a third of the time to read a large workbook. Nodes come from blocks
// that double in size as the container grows (the large ones in large
// pages), freed nodes are kept for the next, and the blocks go with the
// container. One pool serves one container, which is never changed from two
// threads at once, so it takes no lock.
#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace tegaro::sheets {

class NodePool {
public:
    // Nodes of `size` bytes aligned to `alignment`.
    NodePool(std::size_t size, std::size_t alignment);
    ~NodePool();
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;

    void* take();
    void give(void* node) noexcept;

private:
    struct Free {
        Free* next;
    };
    void grow();

    std::size_t size_;
    Free* free_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t blockBytes_;
    std::vector<std::pair<void*, std::size_t>> blocks_;
};

// An allocator whose single nodes come from a pool of the container's own;
// anything else (a container asking for arrays) from the heap. A copy of a
// container gets a pool of its own; a moved or swapped container takes its
// pool along.
template <class T>
class PoolAllocator {
public:
    using value_type = T;
    using propagate_on_container_copy_assignment = std::false_type;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using is_always_equal = std::false_type;

    PoolAllocator() = default;
    template <class U>
    PoolAllocator(const PoolAllocator<U>& o) noexcept : pool_(o.pool_)
    {
    }
    PoolAllocator select_on_container_copy_construction() const { return {}; }

    T* allocate(std::size_t n)
    {
        if (n != 1)
            return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(alignof(T))));
        if (!pool_)
            pool_ = std::make_shared<NodePool>(sizeof(T), alignof(T));
        return static_cast<T*>(pool_->take());
    }
    void deallocate(T* p, std::size_t n) noexcept
    {
        if (n != 1)
            ::operator delete(p, std::align_val_t(alignof(T)));
        else
            pool_->give(p);
    }

    template <class U>
    bool operator==(const PoolAllocator<U>& o) const noexcept
    {
        return pool_ == o.pool_;
    }

private:
    template <class U>
    friend class PoolAllocator;
    // made on the first node; a container's allocator is its own copy
    std::shared_ptr<NodePool> pool_;
};

} // namespace tegaro::sheets
