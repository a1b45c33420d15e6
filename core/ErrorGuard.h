#pragma once
// The application's top-level handler: every event handler runs inside
// guarded(), so an exception becomes an error box and the program runs on.
// Qt itself must never see an exception.
#include <QString>
#include <utility>

namespace tegaro {

void reportException(); // call from inside a catch block

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
