#include "sheets/container/LargeBuffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tegaro::sheets {

namespace {

constexpr qsizetype kLargePage = qsizetype(2) << 20;

} // namespace

LargeBuffer::~LargeBuffer()
{
    std::free(data_);
}

void LargeBuffer::reserve(qsizetype capacity, qsizetype keep)
{
    if (capacity <= capacity_)
        return;
    // whole large pages, aligned to them, or the system cannot use them
    const bool large = capacity >= kLargePage / 2;
    const qsizetype size = large ? (capacity + kLargePage - 1) / kLargePage * kLargePage : capacity;
    char* fresh = static_cast<char*>(large ? std::aligned_alloc(size_t(kLargePage), size_t(size)) : std::malloc(size_t(size)));
    if (!fresh)
        throw std::bad_alloc();
#ifdef __linux__
    if (large)
        madvise(fresh, size_t(size), MADV_HUGEPAGE); // only a wish: nothing changes where it is refused
#endif
    if (keep > 0)
        std::memcpy(fresh, data_, size_t(keep));
    std::free(data_);
    data_ = fresh;
    capacity_ = size;
}

} // namespace tegaro::sheets
