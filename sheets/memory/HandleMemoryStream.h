#pragma once
// Memory streams over memory blocks: the read-only stream through which a
// workbook image leaves the engine, and a growable one whose storage is
// one block, for handing stored bytes back by handle.
#include "sheets/memory/GlobalMemory.h"

#include "core/Errors.h"

#include <QByteArray>

namespace tegaro {

// Calling an operation a stream class does not provide.
class EAbstractError : public tegaro::Exception {
public:
    using Exception::Exception;
};

// A memory block handed to a stream that cannot be locked.
class EHandleMemoryStream : public tegaro::Exception {
public:
    using Exception::Exception;
};

// A memory block that cannot be had.
class EOutOfMemory : public tegaro::Exception {
public:
    using Exception::Exception;
};

enum class SeekOrigin {
    Beginning,
    Current,
    End
};

// A stream over memory it does not allocate itself.
class TCustomMemoryStream {
public:
    virtual ~TCustomMemoryStream() = default;
    TCustomMemoryStream(const TCustomMemoryStream&) = delete;
    TCustomMemoryStream& operator=(const TCustomMemoryStream&) = delete;

    const void* Memory() const { return memory_; }
    qint64 Size() const { return size_; }
    qint64 Position() const { return position_; }
    void SetPosition(qint64 p) { Seek(p, SeekOrigin::Beginning); }

    // Copies up to `count` bytes from the position on; returns how many.
    qint64 Read(void* buffer, qint64 count);
    qint64 Seek(qint64 offset, SeekOrigin origin);
    virtual qint64 Write(const void* buffer, qint64 count);
    QByteArray ReadAll(); // from the position to the end

protected:
    TCustomMemoryStream() = default;
    void SetPointer(void* memory, qint64 size);
    void* memory_ = nullptr;
    qint64 size_ = 0;
    qint64 position_ = 0;
};

// Owns a block handed over by handle: locks it at creation, unlocks and
// frees it at destruction. Writing is not provided.
class THandleMemoryStream : public TCustomMemoryStream {
public:
    explicit THandleMemoryStream(HGLOBAL handle); // EHandleMemoryStream when it cannot lock
    ~THandleMemoryStream() override;
    HGLOBAL Handle() const { return handle_; }

private:
    HGLOBAL handle_ = 0;
};

// A growable stream whose bytes live in one block. The block grows in
// steps, so it is usually longer than the data.
class TGlobalMemoryStream : public TCustomMemoryStream {
public:
    TGlobalMemoryStream();
    ~TGlobalMemoryStream() override;
    qint64 Write(const void* buffer, qint64 count) override;
    void SetSize(qint64 size);
    void Clear() { SetSize(0); }
    HGLOBAL Handle() const { return handle_; }

private:
    void reserve(qint64 bytes);
    HGLOBAL handle_ = 0;
    qint64 capacity_ = 0;
};

} // namespace tegaro
