#pragma once
// Whole-text number conversion of the drawing formats: an integer is an
// optional sign and decimal digits (32-bit); a real is a decimal number with
// an optional fraction and exponent (45, 45.5, .5, 4.55E+0001). Nothing
// else is accepted, blanks included.
#include <QByteArrayView>
#include <QStringView>

namespace tegaro {

bool parseInteger(QByteArrayView text, qint32& value);
bool parseReal(QByteArrayView text, double& value);
bool parseInteger(QStringView text, qint32& value);
bool parseReal(QStringView text, double& value);

// The same for one line or field of a drawing text; a text that is no number
// throws EConvertError naming the line.
qint32 convertInteger(QStringView text, qsizetype line);
double convertReal(QStringView text, qsizetype line);

} // namespace tegaro
