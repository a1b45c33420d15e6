#include "widgets/EventHook.h"

#include "core/ErrorGuard.h"

namespace tegaro {

namespace {
class EventHook final : public QObject {
public:
    EventHook(QObject* target, QEvent::Type type, std::function<bool(QEvent*)> handler)
        : QObject(target), type_(type), handler_(std::move(handler))
    {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != type_)
            return false;
        bool swallow = false;
        guarded([&] { swallow = handler_(event); });
        return swallow;
    }

private:
    QEvent::Type type_;
    std::function<bool(QEvent*)> handler_;
};
} // namespace

void onEvent(QObject* target, QEvent::Type type, std::function<bool(QEvent*)> handler)
{
    new EventHook(target, type, std::move(handler));
}

} // namespace tegaro
