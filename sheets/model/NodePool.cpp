#include "sheets/model/NodePool.h"

#include <algorithm>
#include <cstdlib>

#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define TEGARO_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define TEGARO_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define TEGARO_POISON(p, n) ((void)(p), (void)(n))
#define TEGARO_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace tegaro::sheets {

namespace {

constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kLargePage = 2 << 20;
constexpr std::size_t kLargestBlock = 8 * kLargePage;

} // namespace

NodePool::NodePool(std::size_t size, std::size_t alignment)
    : size_((std::max(size, sizeof(Free)) + alignment - 1) / alignment * alignment), blockBytes_(kFirstBlock)
{
}

NodePool::~NodePool()
{
    for (const auto& [block, bytes] : blocks_) {
        TEGARO_UNPOISON(block, bytes);
        std::free(block);
    }
}

void NodePool::grow()
{
    const std::size_t bytes = std::max(blockBytes_, size_);
    // blocks of large pages begin on one, so that all of them count
    const std::size_t alignment = bytes >= kLargePage ? kLargePage : alignof(std::max_align_t);
    void* block = std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
    if (!block)
        throw std::bad_alloc();
    if (bytes >= kLargePage)
        madvise(block, bytes, MADV_HUGEPAGE); // a hint: failure changes nothing
    blocks_.emplace_back(block, bytes);
    next_ = static_cast<char*>(block);
    end_ = next_ + bytes;
    TEGARO_POISON(block, bytes);
    blockBytes_ = std::min(blockBytes_ * 2, kLargestBlock);
}

void* NodePool::take()
{
    if (free_) {
        Free* node = free_;
        TEGARO_UNPOISON(node, size_);
        free_ = node->next;
        return node;
    }
    if (std::size_t(end_ - next_) < size_)
        grow();
    void* node = next_;
    next_ += size_;
    TEGARO_UNPOISON(node, size_);
    return node;
}

void NodePool::give(void* node) noexcept
{
    Free* f = static_cast<Free*>(node);
    f->next = free_;
    free_ = f;
    // only the link stays readable to the pool itself
    TEGARO_POISON(static_cast<char*>(node), size_);
}

} // namespace tegaro::sheets
