#include "sheets/package/ImportContext.h"

#include "sheets/model/SheetErrors.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace tegaro::sheets {

QByteArray RunFormat::key() const
{
    QByteArray k;
    k += font ? QByteArray::number(qulonglong(*font)) : QByteArray("-");
    k += '|' + (name ? name->toUtf8() : QByteArray("-"));
    k += '|' + (size ? QByteArray::number(*size) : QByteArray("-"));
    k += '|' + (bold ? QByteArray::number(*bold) : QByteArray("-"));
    k += '|' + (italic ? QByteArray::number(*italic) : QByteArray("-"));
    k += '|' + (color ? QByteArray::number(*color) : QByteArray("-"));
    return k;
}

void ImportContext::charge(qint64 amount)
{
    work_ += amount;
    if (work_ > kMaxImportWork)
        throw ECorruptWorkbook(QStringLiteral("ブックの内容が多すぎるため読み込めません。"));
}

void ImportContext::countCell()
{
    if (++cells_ > kMaxImportCells)
        throw ECorruptWorkbook(QStringLiteral("ブックのセルが多すぎるため読み込めません。(%1 個まで)").arg(kMaxImportCells));
}

quint16 ImportContext::runFormat(const RunFormat& format)
{
    const QByteArray key = format.key();
    if (auto it = runFormatIndex.find(key); it != runFormatIndex.end())
        return it->second;
    if (runFormats.size() >= 0xFFFF)
        return 0;
    runFormats.push_back(format);
    return runFormatIndex[key] = quint16(runFormats.size() - 1);
}

QString ImportContext::fitText(std::string_view utf8)
{
    return fitText(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

QString ImportContext::fitText(QString text)
{
    if (text.size() > kMaxTextLength) {
        ++leftOut.texts;
        text.truncate(kMaxTextLength);
    }
    return text;
}

void ImportContext::addPrintArea(Sheet& sheet, const Range& area)
{
    if (area.firstRow >= kMaxRows || area.firstCol >= kMaxColumns) {
        leftOut.features.insert(QStringLiteral("印刷範囲の一部"));
        return;
    }
    Range r = area;
    r.lastRow = std::min(r.lastRow, kMaxRows - 1);
    r.lastCol = std::min(r.lastCol, kMaxColumns - 1);
    if (sheet.page.printArea.size() < 1024)
        sheet.page.printArea << r;
}

QByteArray paneRecord(int x, int y, int topRow, int leftCol, quint8 active)
{
    QByteArray b(10, 0);
    qToLittleEndian<quint16>(quint16(x), b.data());
    qToLittleEndian<quint16>(quint16(y), b.data() + 2);
    qToLittleEndian<quint16>(quint16(topRow), b.data() + 4);
    qToLittleEndian<quint16>(quint16(leftCol), b.data() + 6);
    b[8] = char(active);
    return b;
}

double ImportContext::dateSerial(QDate date, double seconds) const
{
    // in the 1900 system Excel counts a 29 February 1900 that never was,
    // so earlier days are one less
    const QDate base = book.date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    double days = double(base.daysTo(date));
    if (!book.date1904 && days < 61)
        days -= 1;
    return days + (std::isfinite(seconds) ? seconds : 0) / 86400.0;
}

} // namespace tegaro::sheets
