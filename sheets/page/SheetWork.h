#pragma once
// Work on a large workbook (reading or writing tens of megabytes) runs on
// a worker thread while the window goes on painting, with the gauge
// showing how far it has got; what the user types or clicks meanwhile
// waits until it is done. Small workbooks are handled at once.
#include <QtGlobal>

#include <functional>

namespace tegaro::sheets {

// Runs work for a workbook of about `bytes` bytes and rethrows what it threw.
// The work must not touch widgets.
void runAside(qint64 bytes, const std::function<void()>& work);

// Where the gauge stands after `elapsedMs` of work on `bytes` bytes: it
// follows the time such work usually takes and stops short of the end
// until the work is done.
int gaugeFor(qint64 bytes, qint64 elapsedMs);

} // namespace tegaro::sheets
