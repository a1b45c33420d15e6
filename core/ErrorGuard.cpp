#include "core/ErrorGuard.h"

#include "core/Errors.h"
#include "core/UserSeam.h"

#include <exception>
#include <new>

namespace tegaro {

void reportException()
{
    QString text;
    try {
        throw;
    } catch (const Exception& e) {
        text = e.message();
    } catch (const std::bad_alloc&) {
        text = QStringLiteral("メモリが不足しています。");
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("不明なエラーが発生しました。");
    }
    try {
        seam().error(text);
    } catch (...) {
        // Nothing more can be told; keep running.
    }
}

} // namespace tegaro
