#pragma once
// Memory for one big buffer filled once: a workbook stream gathered from its
// sectors, the text of a whole sheet. Touching fresh memory a small page at
// a time is what reading a big workbook costs most on many machines, so the
// buffer asks the system for large pages where it has them.
#include <QtGlobal>

#include <utility>

namespace tegaro::sheets {

class LargeBuffer {
public:
    LargeBuffer() = default;
    explicit LargeBuffer(qsizetype capacity) { reserve(capacity, 0); }
    ~LargeBuffer();
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;
    LargeBuffer(LargeBuffer&& o) noexcept
        : data_(std::exchange(o.data_, nullptr)), capacity_(std::exchange(o.capacity_, 0)) {}
    LargeBuffer& operator=(LargeBuffer&& o) noexcept
    {
        std::swap(data_, o.data_);
        std::swap(capacity_, o.capacity_);
        return *this;
    }

    char* data() { return data_; }
    const char* data() const { return data_; }
    qsizetype capacity() const { return capacity_; }
    // Room for at least `capacity` bytes, keeping the first `keep`. Throws
    // std::bad_alloc when there is no memory.
    void reserve(qsizetype capacity, qsizetype keep);

private:
    char* data_ = nullptr;
    qsizetype capacity_ = 0;
};

} // namespace tegaro::sheets
