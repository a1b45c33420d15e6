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

QString currentExceptionDetail()
{
    try {
        throw;
    } catch (const Exception& e) {
        return e.detail();
    } catch (...) {
        return {};
    }
}

void setErrorReporter(ErrorReporter r) { reporter = r; }

void reportException()
{
    const QString text = currentExceptionText();
    const QString detail = currentExceptionDetail();
    try {
        if (reporter)
            reporter(text, detail);
        else if (detail.isEmpty())
            qCritical("%s", qUtf8Printable(text));
        else
            qCritical("%s\n%s", qUtf8Printable(text), qUtf8Printable(detail));
    } catch (...) {
        // Nothing more can be told; keep running.
    }
}

} // namespace tegaro
