#pragma once
// Little-endian building blocks of BIFF records.
#include "sheets/biff/BiffFormat.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstring>

namespace tegaro::sheets {

class ByteWriter {
public:
    QByteArray data;

    ByteWriter& u8(quint8 v)
    {
        data.append(char(v));
        return *this;
    }
    ByteWriter& u16(quint16 v) { return raw(qToLittleEndian(v)); }
    ByteWriter& u32(quint32 v) { return raw(qToLittleEndian(v)); }
    ByteWriter& f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        return raw(qToLittleEndian(bits));
    }
    ByteWriter& bytes(const QByteArray& b)
    {
        data.append(b);
        return *this;
    }
    ByteWriter& zeros(int n)
    {
        data.append(QByteArray(n, 0));
        return *this;
    }

    static bool needsWide(const QString& s)
    {
        for (QChar c : s)
            if (c.unicode() > 0xFF)
                return true;
        return false;
    }
    // Characters only, 8 bits each when every one fits, else 16.
    ByteWriter& chars(const QString& s, bool wide)
    {
        for (QChar c : s) {
            if (wide)
                u16(c.unicode());
            else
                u8(quint8(c.unicode()));
        }
        return *this;
    }
    // Count (8 or 16 bits), option flags, characters.
    ByteWriter& string(const QString& s, int countBytes)
    {
        const int n = int(std::min<qsizetype>(s.size(), countBytes == 1 ? 255 : 65535));
        const QString cut = s.left(n);
        countBytes == 1 ? u8(quint8(n)) : u16(quint16(n));
        const bool wide = needsWide(cut);
        u8(wide ? str::Wide : 0);
        return chars(cut, wide);
    }

private:
    template <class T>
    ByteWriter& raw(T v)
    {
        data.append(reinterpret_cast<const char*>(&v), sizeof v);
        return *this;
    }
};

// The record stream being written.
class RecordWriter {
public:
    QByteArray out;
    // Longer records go on in CONTINUE records.
    void add(quint16 type, const QByteArray& body)
    {
        qsizetype at = 0;
        quint16 t = type;
        do {
            const qsizetype n = std::min<qsizetype>(body.size() - at, kMaxRecordBody);
            ByteWriter head;
            head.u16(t).u16(quint16(n));
            out += head.data;
            out.append(body.constData() + at, n);
            at += n;
            t = rec::Continue;
        } while (at < body.size());
    }
    void add(quint16 type, const ByteWriter& w) { add(type, w.data); }
    qsizetype size() const { return out.size(); }
};

} // namespace tegaro::sheets
