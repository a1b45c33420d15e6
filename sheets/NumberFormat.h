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

// Whether the code shows dates or times.
bool isDateFormat(const QString& code);

} // namespace tegaro::sheets
