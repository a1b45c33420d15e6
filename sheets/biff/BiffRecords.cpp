#include "sheets/biff/BiffRecords.h"

#include "sheets/biff/BiffFormat.h"
#include "sheets/model/SheetErrors.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace tegaro::sheets {

namespace {

[[noreturn]] void truncated()
{
    throw ECorruptWorkbook(QStringLiteral("ブックのレコードが途中で切れています。"));
}

quint16 le16(const QByteArray& s, qsizetype at)
{
    return qFromLittleEndian<quint16>(s.constData() + at);
}

} // namespace

quint16 RecordStream::peekType() const
{
    return atEnd() ? 0 : le16(s_, pos_);
}

BiffRecord RecordStream::next()
{
    if (atEnd())
        truncated();
    BiffRecord r;
    r.offset = pos_;
    r.type = le16(s_, pos_);
    qsizetype size = le16(s_, pos_ + 2);
    if (pos_ + 4 + size > s_.size())
        truncated();
    // always a copy: the stream may be a view of a mapped file
    const qsizetype first = pos_ + 4;
    pos_ = first + size;
    // Drawing records use CONTINUE for their own purposes; joining them is harmless here.
    qsizetype total = size;
    for (qsizetype at = pos_; at + 4 <= s_.size() && le16(s_, at) == rec::Continue;) {
        const qsizetype part = le16(s_, at + 2);
        if (at + 4 + part > s_.size())
            truncated();
        r.pieces << total;
        total += part;
        at += 4 + part;
    }
    if (r.pieces.isEmpty()) {
        r.data = QByteArray(s_.constData() + first, size);
        return r;
    }
    r.data.reserve(total);
    r.data.append(s_.constData() + first, size);
    while (!atEnd() && le16(s_, pos_) == rec::Continue) {
        size = le16(s_, pos_ + 2);
        r.data.append(s_.constData() + pos_ + 4, size);
        pos_ += 4 + size;
    }
    return r;
}

void Cursor::skip(qsizetype n)
{
    if (n < 0 || n > left())
        truncated();
    pos_ += n;
}

quint8 Cursor::u8()
{
    if (left() < 1)
        truncated();
    return quint8(r_.data[pos_++]);
}

quint16 Cursor::u16()
{
    if (left() < 2)
        truncated();
    quint16 v = qFromLittleEndian<quint16>(r_.data.constData() + pos_);
    pos_ += 2;
    return v;
}

quint32 Cursor::u32()
{
    if (left() < 4)
        truncated();
    quint32 v = qFromLittleEndian<quint32>(r_.data.constData() + pos_);
    pos_ += 4;
    return v;
}

double Cursor::f64()
{
    if (left() < 8)
        truncated();
    quint64 bits = qFromLittleEndian<quint64>(r_.data.constData() + pos_);
    pos_ += 8;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

QByteArray Cursor::bytes(qsizetype n)
{
    if (n < 0 || n > left())
        truncated();
    QByteArray b(r_.data.constData() + pos_, n); // its own bytes, whatever the record's are
    pos_ += n;
    return b;
}

qsizetype Cursor::nextPiece() const
{
    const auto p = std::upper_bound(r_.pieces.begin(), r_.pieces.end(), pos_);
    return p == r_.pieces.end() ? r_.data.size() : *p;
}

bool Cursor::atPiece() const
{
    return std::binary_search(r_.pieces.begin(), r_.pieces.end(), pos_);
}

QString Cursor::unicodeChars(quint32 count, quint8 flags)
{
    QString text;
    text.reserve(int(std::min<qsizetype>(count, left())));
    bool wide = flags & str::Wide;
    while (count > 0) {
        // a CONTINUE part that goes on with characters starts with their width
        if (atPiece())
            wide = u8() & str::Wide;
        const qsizetype avail = nextPiece() - pos_;
        const qsizetype width = wide ? 2 : 1;
        qsizetype n = std::min<qsizetype>(count, avail / width);
        if (n == 0)
            truncated(); // half a wide character before a boundary
        const char* p = r_.data.constData() + pos_;
        const qsizetype had = text.size();
        text.resize(had + n);
        char16_t* out = reinterpret_cast<char16_t*>(text.data()) + had;
        if (wide)
            qFromLittleEndian<quint16>(p, n, out);
        else
            for (qsizetype i = 0; i < n; ++i)
                out[i] = quint8(p[i]);
        pos_ += n * width;
        count -= quint32(n);
    }
    return text;
}

Cursor::Rich Cursor::unicodeString(int countBytes, bool wantRuns)
{
    Rich out;
    const quint32 count = countBytes == 1 ? u8() : u16();
    const quint8 flags = u8();
    quint16 runs = 0;
    quint32 extSize = 0;
    if (flags & str::Rich)
        runs = u16();
    if (flags & str::FarEast)
        extSize = u32();
    out.text = unicodeChars(count, flags);
    for (quint16 i = 0; i < runs; ++i) {
        const quint16 first = u16();
        const quint16 font = u16();
        if (wantRuns)
            out.runs.append({first, font});
    }
    skip(extSize);
    return out;
}

QString Cursor::byteString(int countBytes, const ByteDecoder& decode)
{
    const quint32 count = countBytes == 1 ? u8() : u16();
    const QByteArray raw = bytes(count);
    return decode(raw);
}

} // namespace tegaro::sheets
