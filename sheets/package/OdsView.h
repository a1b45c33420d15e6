#pragma once
// How an OpenDocument spreadsheet was last looked at, from its settings
// part: zoom, frozen panes, the first cell shown, the cursor, gridlines and
// the sheet on top.
#include "sheets/package/ImportContext.h"

#include <QByteArray>

namespace tegaro::sheets {

// Sets the sheets' views from `settingsXml` (empty: nothing to do).
// Throws ECorruptWorkbook on XML that is not well formed or too deep.
void readOdsSettings(const QByteArray& settingsXml, ImportContext& ctx);

} // namespace tegaro::sheets
