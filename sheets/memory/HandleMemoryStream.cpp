#include "sheets/memory/HandleMemoryStream.h"

#include <cstring>

namespace tegaro {

void TCustomMemoryStream::SetPointer(void* memory, qint64 size)
{
    memory_ = memory;
    size_ = size;
}

qint64 TCustomMemoryStream::Read(void* buffer, qint64 count)
{
    if (count <= 0 || position_ >= size_ || position_ < 0)
        return 0;
    const qint64 n = std::min(count, size_ - position_);
    std::memcpy(buffer, static_cast<const char*>(memory_) + position_, size_t(n));
    position_ += n;
    return n;
}

qint64 TCustomMemoryStream::Seek(qint64 offset, SeekOrigin origin)
{
    switch (origin) {
    case SeekOrigin::Beginning: position_ = offset; break;
    case SeekOrigin::Current: position_ += offset; break;
    case SeekOrigin::End: position_ = size_ + offset; break;
    }
    return position_;
}

qint64 TCustomMemoryStream::Write(const void*, qint64)
{
    throw EAbstractError(QStringLiteral("Abstract Error"));
}

QByteArray TCustomMemoryStream::ReadAll()
{
    if (position_ < 0 || position_ >= size_)
        return {};
    QByteArray out(qsizetype(size_ - position_), Qt::Uninitialized);
    Read(out.data(), out.size());
    return out;
}

THandleMemoryStream::THandleMemoryStream(HGLOBAL handle)
{
    void* p = GlobalLock(handle);
    if (!p)
        throw EHandleMemoryStream(QStringLiteral("Invalid Memory Handle"));
    handle_ = handle;
    SetPointer(p, qint64(GlobalSize(handle)));
}

THandleMemoryStream::~THandleMemoryStream()
{
    if (handle_ != 0) {
        GlobalUnlock(handle_);
        GlobalFree(handle_);
    }
}

TGlobalMemoryStream::TGlobalMemoryStream()
{
    handle_ = GlobalAlloc(GMEM_MOVEABLE, 0);
    if (!handle_)
        throw EOutOfMemory(QStringLiteral("メモリが足りません。"));
    SetPointer(GlobalLock(handle_), 0);
}

TGlobalMemoryStream::~TGlobalMemoryStream()
{
    GlobalUnlock(handle_);
    GlobalFree(handle_);
}

void TGlobalMemoryStream::reserve(qint64 bytes)
{
    if (bytes <= capacity_)
        return;
    constexpr qint64 step = 8192;
    const qint64 wanted = (bytes + step - 1) / step * step;
    GlobalUnlock(handle_);
    const HGLOBAL h = GlobalReAlloc(handle_, size_t(wanted), GMEM_MOVEABLE);
    void* p = GlobalLock(handle_);
    if (!h)
        throw EOutOfMemory(QStringLiteral("メモリが足りません。"));
    capacity_ = wanted;
    SetPointer(p, size_);
}

void TGlobalMemoryStream::SetSize(qint64 size)
{
    reserve(std::max<qint64>(size, 0));
    size_ = std::max<qint64>(size, 0);
    if (position_ > size_)
        position_ = size_;
}

qint64 TGlobalMemoryStream::Write(const void* buffer, qint64 count)
{
    if (count <= 0 || position_ < 0)
        return 0;
    const qint64 end = position_ + count;
    reserve(end);
    std::memcpy(static_cast<char*>(memory_) + position_, buffer, size_t(count));
    position_ = end;
    size_ = std::max(size_, end);
    return count;
}

} // namespace tegaro
