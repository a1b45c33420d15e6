#pragma once
// A picture of a sheet's cells as the control shows them, for the tool,
// batch work and pixel tests.
#include "sheets/model/Workbook.h"

#include <QImage>

#include <optional>

namespace tegaro::sheets {

struct RenderRequest {
    int sheet = 0;
    std::optional<Range> cells; // the used range from A1 when not given
    int zoom = 0;               // percent; 0 takes the sheet's own
    bool headings = false;      // column letters and row numbers around the cells
};

// Throws ESheetError for a sheet that does not exist or a picture too big to make.
QImage renderSheet(const Workbook& book, const RenderRequest& request);

} // namespace tegaro::sheets
