#include "sheets/package/PackageLimits.h"

namespace tegaro::sheets {

ECorruptWorkbook damaged(const QString& detail)
{
    return ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。") + detail);
}

ECorruptWorkbook tooLarge(const QString& what)
{
    return ECorruptWorkbook(QStringLiteral("ブックの%1が大きすぎるため読み込めません。").arg(what));
}

} // namespace tegaro::sheets
