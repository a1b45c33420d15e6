#pragma once
// Excel's built-in worksheet functions as the .xls format numbers them: the
// name a formula shows, the arguments it takes and the class each argument's
// tokens carry.
#include <QString>

namespace tegaro::sheets {

// How an operand is handed over: as a reference, a single value, or an array.
enum class ArgClass : quint8 {
    Reference,
    Value,
    Array
};

struct FunctionInfo {
    int index; // the number in ptgFunc and ptgFuncVar
    const char* name;
    int minArgs, maxArgs;
    ArgClass result;
    const char* params; // R, V or A per argument; the last one repeats
    bool isVolatile = false;
    ArgClass param(int i) const;
    bool fixedArity() const { return minArgs == maxArgs; }
};

// The entry for a function number, or nullptr for numbers Excel does not use.
const FunctionInfo* functionByIndex(int index);
// The entry for a name in any case ("sum", "SUM"), or nullptr.
const FunctionInfo* functionByName(const QString& name);

// Excel 2007 functions that .xls files keep as calls of a hidden name
// "_xlfn.NAME" (IFERROR ...), with their arguments' classes.
const FunctionInfo* newerFunctionByName(const QString& name);

constexpr int kUserFunction = 255; // a call of a name: add-in and newer functions
constexpr int kMaxArguments = 30;

} // namespace tegaro::sheets
