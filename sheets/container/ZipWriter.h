#pragma once
// ZIP packages written through libgsf: how a package is made again after
// its parts were mended, and how tests make packages of their own.
#include <QByteArray>
#include <QList>

namespace tegaro::sheets {

struct ZipPart {
    QByteArray name; // path inside the package, "xl/worksheets/sheet1.xml"
    QByteArray data;
};

// The parts in their order, deflated when `compress` is set, else stored.
QByteArray writeZip(const QList<ZipPart>& parts, bool compress = true);

} // namespace tegaro::sheets
