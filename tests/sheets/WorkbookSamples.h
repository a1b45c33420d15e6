#pragma once
// Workbooks made in code for the tests: every kind of cell, format and
// layout the model keeps.
#include "sheets/model/Workbook.h"

namespace tegaro::sheets::testing {

// An assessment-like sheet plus a second sheet; formulas as raw tokens.
Workbook sampleWorkbook();

// Tokens: =A1+B1 with relative references.
QByteArray sumTokens();

} // namespace tegaro::sheets::testing
