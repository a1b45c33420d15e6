#pragma once
// What the package tests look at: the sample workbook in its three formats,
// and the value a cell holds whatever shows it.
#include "sheets/model/Workbook.h"

#include <QString>

namespace tegaro::sheets::testing {

// The fixture "detail.<format>" read once for the whole run.
const Workbook& detail(const QString& format);

// A cell's value as plain text: numbers to 15 digits, TRUE/FALSE, the error's
// name; a formula's result. Empty for no cell.
QString valueOf(const Cell* c);

} // namespace tegaro::sheets::testing
