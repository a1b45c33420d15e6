#include "core/ErrorGuard.h"

#include "core/Errors.h"

#include <QtGlobal>

#include <exception>
#include <new>

namespace tegaro {

namespace {
ErrorReporter reporter = nullptr;
} // namespace

QString currentExceptionText()
{
    try {
        throw;
    } catch (const Exception& e) {
        return e.message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("メモリが不足しています。");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("不明なエラーが発生しました。");
    }
}

void setErrorReporter(ErrorReporter r) { reporter = r; }

void reportException()
{
    const QString text = currentExceptionText();
    try {
        if (reporter)
            reporter(text);
        else
            qCritical("%s", qUtf8Printable(text));
    } catch (...) {
        // Nothing more can be told; keep running.
    }
}

} // namespace tegaro
