#pragma once
// The application's top-level handler: every event handler runs inside
// guarded(), so an exception becomes an error report and the program runs
// on. Qt itself must never see an exception.
//
// The guard only turns the exception into its text; where the text goes is
// set from outside: the user seam shows it in the error box. Without a
// reporter it goes to the log.
#include <QString>
#include <utility>

namespace tegaro {

// The text of the exception being handled, and its detail (empty for most);
// call from inside a catch block.
QString currentExceptionText();
QString currentExceptionDetail();

void reportException(); // call from inside a catch block

using ErrorReporter = void (*)(const QString& text, const QString& detail);
void setErrorReporter(ErrorReporter reporter); // nullptr: the log

template <class F>
void guarded(F&& handler) noexcept
{
    try {
        std::forward<F>(handler)();
    } catch (...) {
        reportException();
    }
}

} // namespace tegaro
