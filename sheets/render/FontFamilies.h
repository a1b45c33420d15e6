#pragma once
// Fonts of workbooks made on Windows: "ＭＳ Ｐゴシック", "ＭＳ 明朝" and their
// kin are mapped to installed Japanese fonts of the same kind, the way the
// main window maps its own font, so no text shows as empty boxes.
#include "sheets/model/Workbook.h"

#include <QFont>

namespace tegaro::sheets {

// Registers the substitutes with Qt once; later calls do nothing.
void installFontSubstitutes();

// The families tried for a workbook's font name, best first.
QStringList substituteFamilies(const QString& excelName);

// A Qt font for an Excel font whose em is `pixels` device pixels high on a
// device of `dpi` dots per inch (fractional sizes kept).
QFont qtFont(const Font& font, double pixels, int dpi);

// The widest digit of the font at 100% on a 96-dpi screen, in whole
// pixels: the unit of column widths.
int maxDigitWidth(const Font& font);

// Hands the readers this measure, so that widths files give as lengths
// (.ods) become characters of the digit the sheet is drawn with. Called once
// by programs that draw sheets, when their GUI application exists; without
// it the readers estimate the digit from the font's name.
void installDigitMeasure();

} // namespace tegaro::sheets
