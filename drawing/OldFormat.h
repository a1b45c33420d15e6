#pragma once
// The old ".had" layout after its first line. Internal to the file reader.
#include "drawing/DrawingModel.h"
#include "drawing/DrawingReaders.h"

namespace tegaro {
class DrawingTextScanner;
}

namespace tegaro::detail {

void readOldLayout(DrawingModel& model, DrawingTextScanner& scanner, const DrawingProgress& progress);

} // namespace tegaro::detail
