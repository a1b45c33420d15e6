#include "sheets/calc/FormulaBuiltins.h"

#include <array>

namespace tegaro::sheets {

Builtin builtinFunction(int index)
{
    static const std::array<Builtin, 512> table = [] {
        std::array<Builtin, 512> t{};
        for (auto kind : {mathBuiltins, statisticBuiltins, textBuiltins, lookupBuiltins, dateBuiltins, infoBuiltins})
            for (const BuiltinEntry& e : kind())
                t[size_t(e.index)] = e.fn;
        return t;
    }();
    return index >= 0 && index < int(table.size()) ? table[size_t(index)] : nullptr;
}

} // namespace tegaro::sheets
