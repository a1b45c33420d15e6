#pragma once
// The old ".had" layout after its first line. Internal to the file reader.
#include "drawing/DrawingModel.h"

namespace tegaro {
class DrawingView;
class DrawingTextScanner;
}

namespace tegaro::detail {

void readOldLayout(DrawingModel& model, DrawingView& view, DrawingTextScanner& scanner);

} // namespace tegaro::detail
