#pragma once
// The digit that column widths count in.
#include "sheets/model/Workbook.h"

namespace tegaro::sheets {

// The width of a digit of the font, in points, which column widths count in:
// measured with the fonts the sheet is drawn with where a drawing library
// has given its measure, else estimated from the font's name. Widths that
// files give as lengths (.ods) then show as wide as they are meant to.
double digitWidth(const Font& font);
// The widest digit of a font in pixels at 96 dpi; 0 when it cannot measure.
using DigitMeasure = int (*)(const Font&);
void setDigitMeasure(DigitMeasure measure);

} // namespace tegaro::sheets
