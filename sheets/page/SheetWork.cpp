#include "sheets/page/SheetWork.h"

#include "widgets/UserSeam.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace tegaro::sheets {

namespace {
constexpr qint64 kAtOnce = 2 * 1024 * 1024; // below this the window never waits long
constexpr qint64 kBytesPerMs = 8 * 1024;    // a slow machine's pace of reading or writing .xls
} // namespace

int gaugeFor(qint64 bytes, qint64 elapsedMs)
{
    const qint64 expected = std::max<qint64>(1, bytes / kBytesPerMs);
    return int(std::clamp<qint64>(elapsedMs * 100 / expected, 0, 95));
}

void runAside(qint64 bytes, const std::function<void()>& work)
{
    if (bytes < kAtOnce) {
        work();
        return;
    }
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    QTimer ticks;
    ticks.setInterval(100);
    QObject::connect(&ticks, &QTimer::timeout, &loop, [&] { status().setGauge(gaugeFor(bytes, clock.elapsed())); });
    QApplication::setOverrideCursor(Qt::WaitCursor);
    status().setGauge(0);
    clock.start();
    worker->start();
    ticks.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    QApplication::restoreOverrideCursor();
    status().setGauge(100);
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace tegaro::sheets
