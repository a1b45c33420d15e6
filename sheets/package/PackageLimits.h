#pragma once
// What every reader of a package holds it to: the limits that keep a damaged
// or hostile file within bounded time and memory, the two kinds of package,
// and the errors a refused package gives.
#include "sheets/model/SheetErrors.h"

#include <QString>

namespace tegaro::sheets {

// What one part of a package takes.
constexpr qint64 kMaxPartSize = 128ll << 20;    // unpacked bytes of one part
constexpr qint64 kMaxPackageSize = 256ll << 20; // unpacked bytes of all parts
constexpr int kMaxParts = 65536;
constexpr int kMaxXmlDepth = 512;

enum class PackageKind {
    Xlsx,
    Ods
};

// "The workbook's file is damaged", with what was found.
ECorruptWorkbook damaged(const QString& detail = {});
// "Too large to read", naming what was too large.
ECorruptWorkbook tooLarge(const QString& what);

} // namespace tegaro::sheets
