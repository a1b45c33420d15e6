#pragma once
// Reading BIFF records: a bounds-checked cursor over one record (with its
// CONTINUE parts joined) and the record stream itself.
#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace tegaro::sheets {

struct BiffRecord {
    quint16 type = 0;
    qsizetype offset = 0;    // of the record header in the stream
    QByteArray data;         // with CONTINUE parts appended
    QList<qsizetype> pieces; // where each CONTINUE part begins in data
};

// Walks the records of a workbook stream. Every length is checked against
// the stream; a record running past the end is an ECorruptWorkbook.
class RecordStream {
public:
    explicit RecordStream(const QByteArray& stream) : s_(stream) {}
    void seek(qsizetype offset) { pos_ = offset; }
    qsizetype position() const { return pos_; }
    bool atEnd() const { return pos_ + 4 > s_.size(); }
    // The next record, joined with the CONTINUE records that follow it.
    BiffRecord next();
    quint16 peekType() const;

private:
    const QByteArray& s_;
    qsizetype pos_ = 0;
};

// Decodes 8-bit strings of Excel 95 files by the workbook's code page.
using ByteDecoder = std::function<QString(QByteArrayView)>;

class Cursor {
public:
    explicit Cursor(const BiffRecord& r, qsizetype pos = 0) : r_(r), pos_(pos) {}
    qsizetype pos() const { return pos_; }
    qsizetype left() const { return r_.data.size() - pos_; }
    void skip(qsizetype n);
    quint8 u8();
    quint16 u16();
    quint32 u32();
    double f64();
    QByteArray bytes(qsizetype n);

    // BIFF8 strings: a count of 8 or 16 bits, option flags, characters
    // that may switch between 8 and 16 bits at a CONTINUE boundary.
    struct Rich {
        QString text;
        QList<QPair<quint16, quint16>> runs;
    };
    Rich unicodeString(int countBytes, bool wantRuns = false);
    QString unicodeChars(quint32 count, quint8 flags); // without count and flags
    // BIFF5 strings: a count of 8 or 16 bits and code-page bytes.
    QString byteString(int countBytes, const ByteDecoder& decode);

private:
    qsizetype nextPiece() const; // start of the next CONTINUE part after pos, or size
    bool atPiece() const;        // pos is where a CONTINUE part starts
    const BiffRecord& r_;
    qsizetype pos_;
};

} // namespace tegaro::sheets
