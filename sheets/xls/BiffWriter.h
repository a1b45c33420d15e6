#pragma once
// Writes the model as a BIFF8 (Excel 97-2003) workbook stream.
#include "sheets/model/Workbook.h"

#include <QByteArray>

namespace tegaro::sheets {

QByteArray writeBiffStream(const Workbook& book);

} // namespace tegaro::sheets
