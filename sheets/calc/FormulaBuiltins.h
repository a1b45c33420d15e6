#pragma once
// The functions this program works out, one table a kind, by Excel's number.
#include "sheets/calc/FormulaEvaluator.h"

#include <span>

namespace tegaro::sheets {

struct BuiltinEntry {
    int index;
    Builtin fn;
};

std::span<const BuiltinEntry> mathBuiltins();
std::span<const BuiltinEntry> statisticBuiltins();
std::span<const BuiltinEntry> textBuiltins();
std::span<const BuiltinEntry> lookupBuiltins();
std::span<const BuiltinEntry> dateBuiltins();
std::span<const BuiltinEntry> infoBuiltins();

// Rounding on the decimal value, as Excel rounds: v taken to 15 significant
// digits first, so ROUND(2.675,2) is 2.68.
enum class Rounding {
    HalfAway,
    Down,
    Up
};
double roundDecimal(double v, int digits, Rounding mode);

} // namespace tegaro::sheets
