#include "sheets/container/ZipReader.h"

#include <QtEndian>

#include <libdeflate.h>
#include <sys/mman.h>

#include <algorithm>
#include <memory>
#include <new>

namespace tegaro::sheets {

namespace {

quint32 u32(const QByteArray& b, qint64 at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16(const QByteArray& b, qint64 at) { return qFromLittleEndian<quint16>(b.constData() + at); }

// Raw deflate data into exactly `size` bytes at `out`: the whole stream at
// once, which libdeflate does at about twice zlib's speed.
void inflateInto(const char* in, qint64 packed, char* out, qint64 size)
{
    struct Free {
        void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
    };
    const std::unique_ptr<libdeflate_decompressor, Free> d(libdeflate_alloc_decompressor());
    if (!d)
        throw std::bad_alloc();
    // the stream must fill the size stated, no less and no more
    switch (libdeflate_deflate_decompress(d.get(), in, size_t(packed), out, size_t(size), nullptr)) {
    case LIBDEFLATE_SUCCESS:
        return;
    case LIBDEFLATE_SHORT_OUTPUT:
        throw ZipDataError("size");
    case LIBDEFLATE_INSUFFICIENT_SPACE:
        throw ZipDataError("size");
    default:
        throw ZipDataError("deflate data");
    }
}

// A large part's buffer is fresh memory that is written once from end to
// end; in large pages that costs a few hundred page faults instead of
// thousands, which is a tenth of the time to read a big .ods.
void askForLargePages(char* data, qint64 size)
{
    constexpr quintptr large = 2 << 20;
    if (size < qint64(2 * large))
        return;
    const quintptr begin = (quintptr(data) + large - 1) & ~(large - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(large - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // a hint: failure changes nothing
}

} // namespace

qsizetype zipEndRecord(const QByteArray& b)
{
    static const quint8 magic[4] = {0x06, 0x05, 0x4B, 0x50}; // "PK\5\6" read backwards
    constexpr qsizetype block = 22 + 0xFFFF;
    qsizetype end = b.size();
    while (end > 0) {
        const qsizetype begin = end - std::min(block, end);
        int matched = 0;
        for (qsizetype i = end - 1; i >= begin; --i) {
            if (quint8(b[i]) != magic[matched]) {
                matched = 0;
            } else if (++matched == 4) {
                return i;
            }
        }
        end = begin;
    }
    return 0;
}

ZipReader::ZipReader(const QByteArray& package) : package_(package)
{
    const QByteArray& b = package_;
    const qsizetype endRecord = zipEndRecord(b);
    if (endRecord <= 0 || endRecord + 22 > b.size())
        return;
    qint64 at = u32(b, endRecord + 16);
    while (at >= 0 && at + 46 <= b.size() && u32(b, at) == 0x02014B50) {
        Entry e;
        e.method = u16(b, at + 10);
        e.packed = u32(b, at + 20);
        e.size = u32(b, at + 24);
        e.header = u32(b, at + 42);
        const qint64 nameLength = u16(b, at + 28);
        const qint64 next = at + 46 + nameLength + u16(b, at + 30) + u16(b, at + 32);
        if (next > b.size())
            break;
        e.name = b.mid(at + 46, nameLength);
        entries_ << e;
        at = next;
    }
}

QList<QByteArray> ZipReader::names() const
{
    QList<QByteArray> names;
    names.reserve(entries_.size());
    for (const Entry& e : entries_)
        names << e.name;
    return names;
}

std::optional<QByteArray> ZipReader::read(QByteArrayView name, qsizetype room) const
{
    const auto e = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.name == name; });
    if (e == entries_.end())
        return std::nullopt;
    const QByteArray& b = package_;
    const qint64 header = e->header;
    if (header < 0 || header + 30 > b.size() || u32(b, header) != 0x04034B50)
        throw ZipDataError("local header");
    const qint64 data = header + 30 + u16(b, header + 26) + u16(b, header + 28);
    if (data + e->packed > b.size())
        throw ZipDataError("cut short");
    const qint64 size = e->method == 0 ? e->packed : e->size;
    QByteArray out(qsizetype(size + room), Qt::Uninitialized);
    askForLargePages(out.data(), out.size());
    if (e->method == 0)
        std::copy_n(b.constData() + data, size, out.data());
    else if (e->method == 8)
        inflateInto(b.constData() + data, e->packed, out.data(), size);
    else
        throw ZipDataError("method");
    return out;
}

} // namespace tegaro::sheets
