#include "Biff5Builder.h"

#include "core/Cp932.h"
#include "sheets/container/OleFile.h"

namespace tegaro::sheets::testing {

namespace {

QByteArray xf5(int font, int numberFormat, bool style)
{
    ByteWriter b;
    b.u16(quint16(font)).u16(quint16(numberFormat));
    b.u16(style ? 0xFFF5 : 0x0001); // style: locked, parent none; cell: locked, parent 0
    b.u16(0x0020);                  // bottom aligned
    b.u32(64 | (65 << 7));          // automatic pattern colours
    b.u32(0);
    return b.data;
}

} // namespace

Biff5Builder::Biff5Builder()
{
    for (int i = 0; i < 15; ++i)
        xfs_ << xf5(0, 0, true);
    xfs_ << xf5(0, 0, false);
}

QByteArray Biff5Builder::cp932(const QString& s) const
{
    return toCp932(s);
}

void Biff5Builder::addFormat(int index, const QString& code)
{
    ByteWriter b;
    const QByteArray bytes = cp932(code);
    b.u16(quint16(index)).u8(quint8(bytes.size())).bytes(bytes);
    formats_ << b.data;
}

int Biff5Builder::addCellXf(int numberFormat)
{
    xfs_ << xf5(0, numberFormat, false);
    return int(xfs_.size() - 1);
}

void Biff5Builder::beginSheet(const QString& name)
{
    sheetNames_ << name;
    sheets_.append(RecordWriter());
    ByteWriter bof;
    bof.u16(0x0500).u16(0x0010).u16(0x0DBB).u16(0x07CC);
    sheets_.last().add(0x0809, bof);
}

void Biff5Builder::label(int row, int col, const QString& text, int xf)
{
    const QByteArray bytes = cp932(text);
    ByteWriter b;
    b.u16(quint16(row)).u16(quint16(col)).u16(quint16(xf)).u16(quint16(bytes.size())).bytes(bytes);
    sheets_.last().add(0x0204, b);
}

void Biff5Builder::labelBytes(int row, int col, const QByteArray& bytes)
{
    ByteWriter b;
    b.u16(quint16(row)).u16(quint16(col)).u16(15).u16(quint16(bytes.size())).bytes(bytes);
    sheets_.last().add(0x0204, b);
}

void Biff5Builder::number(int row, int col, double value, int xf)
{
    ByteWriter b;
    b.u16(quint16(row)).u16(quint16(col)).u16(quint16(xf)).f64(value);
    sheets_.last().add(0x0203, b);
}

void Biff5Builder::formula(int row, int col, const QByteArray& tokens, double cached, int xf)
{
    ByteWriter b;
    b.u16(quint16(row)).u16(quint16(col)).u16(quint16(xf)).f64(cached).u16(0).u32(0);
    b.u16(quint16(tokens.size())).bytes(tokens);
    sheets_.last().add(0x0006, b);
}

void Biff5Builder::header(const QString& text)
{
    const QByteArray bytes = cp932(text);
    ByteWriter b;
    b.u8(quint8(bytes.size())).bytes(bytes);
    sheets_.last().add(0x0014, b);
}

void Biff5Builder::sheetRecord(quint16 type, const QByteArray& body)
{
    sheets_.last().add(type, body);
}

void Biff5Builder::name(const QString& name, const QByteArray& tokens)
{
    const QByteArray bytes = cp932(name);
    ByteWriter b;
    b.u16(0).u8(0).u8(quint8(bytes.size())).u16(quint16(tokens.size())).u16(0).u16(0).u32(0);
    b.bytes(bytes).bytes(tokens);
    names_ << b.data;
}

QByteArray Biff5Builder::stream() const
{
    RecordWriter g;
    ByteWriter bof;
    bof.u16(0x0500).u16(0x0005).u16(0x0DBB).u16(0x07CC);
    g.add(0x0809, bof);
    g.add(0x0042, ByteWriter().u16(codePage_));
    g.add(0x003D, ByteWriter().u16(0).u16(0).u16(0x3000).u16(0x2000).u16(0x38).u16(0).u16(0).u16(1).u16(600));
    for (int i = 0; i < 4; ++i) {
        const QByteArray name = cp932(QStringLiteral("ＭＳ Ｐゴシック"));
        ByteWriter f;
        f.u16(220).u16(0).u16(0x7FFF).u16(i == 1 ? 700 : 400).u16(0).u8(0).u8(0).u8(128).u8(0);
        f.u8(quint8(name.size())).bytes(name);
        g.add(0x0031, f);
    }
    for (const QByteArray& f : formats_)
        g.add(0x041E, f);
    for (const QByteArray& x : xfs_)
        g.add(0x00E0, x);
    g.add(0x0293, ByteWriter().u16(0x8000).u8(0).u8(0xFF));
    QList<qsizetype> patches;
    for (const QString& name : sheetNames_) {
        const QByteArray bytes = cp932(name);
        patches << g.size() + 4;
        ByteWriter b;
        b.u32(0).u8(0).u8(0).u8(quint8(bytes.size())).bytes(bytes);
        g.add(0x0085, b);
    }
    for (const QByteArray& n : names_)
        g.add(0x0018, n);
    g.add(0x000A, QByteArray());
    QByteArray out = g.out;
    for (int i = 0; i < sheets_.size(); ++i) {
        qToLittleEndian<quint32>(quint32(out.size()), out.data() + patches[i]);
        out += sheets_[i].out;
        out += QByteArray("\x0A\x00\x00\x00", 4);
    }
    return out;
}

QByteArray Biff5Builder::file() const
{
    return writeWorkbookFile(stream(), "Book");
}

} // namespace tegaro::sheets::testing
