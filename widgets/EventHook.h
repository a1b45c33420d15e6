#pragma once
// Runs a function for one kind of event on one object, inside the error
// guard. The function returns true to swallow the event.
#include <QEvent>
#include <QObject>

#include <functional>

namespace tegaro {

void onEvent(QObject* target, QEvent::Type type, std::function<bool(QEvent*)> handler);

} // namespace tegaro
