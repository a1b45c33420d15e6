#include "sheets/package/PackageCheck.h"

#include "sheets/package/XlsxLayout.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/container/ZipReader.h"

#include <orcus/exception.hpp>
#include <orcus/orcus_ods.hpp>

#include <QtEndian>

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <vector>

namespace tegaro::sheets {

namespace {

quint32 u32(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); }

} // namespace

bool looksLikeZip(const QByteArray& bytes)
{
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

QByteArray withoutTrailingBytes(const QByteArray& b)
{
    // The first record that closes a directory ending where it stands is
    // this package's: what follows may hold an older package's end, even
    // one that fits these bytes (a block reused for the same file).
    for (qsizetype at = 0; at + 22 <= b.size(); ++at) {
        if (u32(b, at) != 0x06054B50)
            continue;
        const qint64 size = u32(b, at + 12), offset = u32(b, at + 16);
        if (offset + size != at || (size > 0 && u32(b, qsizetype(offset)) != 0x02014B50))
            continue;
        const qsizetype end = std::min(b.size(), at + 22 + u16(b, at + 20));
        return end == b.size() ? b : b.left(end);
    }
    return b;
}

QList<PackageEntry> checkPackageDirectory(const QByteArray& b)
{
    const qsizetype end = zipEndRecord(b);
    if (end <= 0 || end + 22 > b.size())
        throw damaged(QStringLiteral("(ZIP の目次がありません)"));
    qsizetype at = u32(b, end + 16);
    QList<PackageEntry> entries;
    qint64 total = 0;
    while (at >= 0 && at + 4 <= b.size() && u32(b, at) == 0x02014B50) {
        if (at + 46 > b.size())
            throw damaged(QStringLiteral("(ZIP の目次が途中で切れています)"));
        if (entries.size() >= kMaxParts)
            throw tooLarge(QStringLiteral("部品の数"));
        const quint16 method = u16(b, at + 10);
        PackageEntry e;
        e.packed = u32(b, at + 20);
        e.size = method == 0 ? e.packed : qint64(u32(b, at + 24));
        const qsizetype nameLength = u16(b, at + 28);
        const qsizetype next = at + 46 + nameLength + u16(b, at + 30) + u16(b, at + 32);
        if (next > b.size())
            throw damaged(QStringLiteral("(ZIP の目次が途中で切れています)"));
        e.name = b.mid(at + 46, nameLength);
        // the reader sets aside the packed size before it looks further
        if (e.packed > b.size())
            throw damaged(QStringLiteral("(部品「%1」の大きさ)").arg(QString::fromUtf8(e.name)));
        if (method == 0 || method == 8) {
            if (e.size > kMaxPartSize)
                throw tooLarge(QStringLiteral("部品「%1」").arg(QString::fromUtf8(e.name)));
            total += e.size;
            if (total > kMaxPackageSize)
                throw tooLarge(QStringLiteral("展開後の大きさ"));
        }
        entries << e;
        at = next;
    }
    if (entries.isEmpty())
        throw damaged(QStringLiteral("(ZIP の目次が空です)"));
    return entries;
}

PackageKind packageKind(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    try {
        // .xlsx is told by its relationships and content types read here,
        // not by liborcus's detection, which parses them before they are
        // checked and aborts on some damaged ones
        const ZipReader archive(bytes);
        if (xlsxLayout(archive.names(), [&](const QByteArray& n) { return archive.read(n).value_or(QByteArray()); })
                .workbook)
            return PackageKind::Xlsx;
        if (orcus::orcus_ods::detect(data, size_t(bytes.size())))
            return PackageKind::Ods;
    } catch (const std::exception&) {
        throw damaged(QStringLiteral("(内容の一覧が読めません)"));
    }
    throw ENotAWorkbook(QStringLiteral("Excel (.xls, .xlsx) や OpenDocument (.ods) のブックではありません。"));
}

} // namespace tegaro::sheets
