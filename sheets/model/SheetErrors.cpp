#include "sheets/model/SheetErrors.h"

#include <exception>
#include <new>

namespace tegaro::sheets {

void rethrowAsWorkbookError()
{
    try {
        throw;
    } catch (const tegaro::Exception&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ECorruptWorkbook(QStringLiteral("ブックが大きすぎるため読み込めません。(メモリ不足)"));
    } catch (const std::exception& e) {
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。(%1)").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。"));
    }
}

} // namespace tegaro::sheets
