#pragma once
// Detail sheets made in code for the tests and benchmarks.
#include <QByteArray>
#include <QStringList>

namespace tegaro::testing {

// The bytes of an .xls workbook of at least `bytes` bytes: rows of distinct
// texts and numbers, so its size comes from real cells.
QByteArray largeSheetBytes(qint64 bytes);

} // namespace tegaro::testing

namespace tegaro::testing {

// A one-sheet detail sheet as the transfer reads it: owner in D4, score
// in E6, G6 as given (nothing when null) and the texts of I6 to L6.
QByteArray assessmentSheetBytes(const QString& owner, const QString& g6, const QStringList& i6ToL6,
                                const QString& e6 = QStringLiteral("65000"));

} // namespace tegaro::testing
