#pragma once
// Workbooks of 100,000 cells (10,000 rows of ten: four numbers, three
// texts, three formulas with their results) as Excel and LibreOffice write
// them, for the benchmarks of reading and of showing.
#include <QByteArray>

namespace tegaro::sheets::testing {

QByteArray bigXlsx();
QByteArray bigOds();

} // namespace tegaro::sheets::testing
