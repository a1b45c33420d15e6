#pragma once
// Excel number formats: the text a cell shows for its value.
#include <QString>

namespace tegaro::sheets {

// The code of a built-in format number as Excel in a Japanese locale shows it;
// "General" for numbers without a code of their own.
QString builtInFormat(int index);

QString formatNumber(double value, const QString& code, bool date1904 = false);
QString formatText(const QString& text, const QString& code);

// Excel's General form of a number: at most 11 characters, exponent form
// for very large and very small numbers.
QString formatGeneral(double value);

// General in at most `maxChars` characters, with fewer digits as a narrow
// column shows it; empty when even the exponent form does not fit.
QString formatGeneral(double value, int maxChars);

// The palette index of the colour the code gives a number ([Red] ...), or -1.
int numberColor(double value, const QString& code);
// The same for a text shown through the code's text section.
int textColor(const QString& code);

// Whether the code shows dates or times.
bool isDateFormat(const QString& code);

} // namespace tegaro::sheets
