#pragma once
// Works out the value of a Program at a cell, with Excel's rules: operators
// and functions take single values, references or arrays as Excel hands
// them over, IF, CHOOSE and IFERROR evaluate only the branch they take.
#include "sheets/calc/CellIndex.h"
#include "sheets/formula/FormulaFunctions.h"
#include "sheets/formula/FormulaProgram.h"
#include "sheets/model/Workbook.h"

#include <QDateTime>
#include <QVarLengthArray>

#include <functional>
#include <map>
#include <unordered_map>

namespace tegaro::sheets {

class Evaluator;

// A number, text or boolean argument after Excel's conversions, or the
// error that stopped the conversion.
template <class T>
struct Got {
    T v{};
    int error = -1;
    explicit operator bool() const { return error < 0; }
    Value fail() const { return Value::error(error); }
};
using Num = Got<double>;
using Str = Got<QString>;
using Bool = Got<bool>;

// The arguments of one function call as the function's argument classes
// want them.
class Call {
public:
    Call(Evaluator& ev, int argc) : ev(ev), args(argc) {}
    Evaluator& ev;
    QVarLengthArray<Value, 4> args;

    int size() const { return int(args.size()); }
    bool given(int i) const { return i < args.size(); }
    const Value& operator[](int i) const { return args[i]; }

    Num number(int i) const;
    Str text(int i) const;
    Bool boolean(int i) const;
    // An integer argument, cut toward zero; `fallback` when not given.
    Num integer(int i, double fallback) const;
};

using Builtin = Value (*)(Call&);

class Evaluator {
public:
    explicit Evaluator(const Workbook& book);

    // The value of `p` for cell (row, col) of `sheet`: a single value, or
    // an array for an array formula.
    Value evaluate(const Program& p, int sheet, int row, int col, bool arrayFormula = false);

    const Workbook& book() const { return book_; }
    int sheet() const { return frame_.sheet; }
    int row() const { return frame_.row; }
    int col() const { return frame_.col; }
    bool arrayMode() const { return frame_.array; }
    bool date1904() const { return book_.date1904; }
    QDateTime now() const { return clock_ ? clock_() : QDateTime::currentDateTime(); }
    void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }
    // Names are read again after the book's names changed.
    void forgetNames() { names_.clear(); }
    // Between these no cell is added or removed, so lookups go through the
    // index when there is one, or start where the last one ended.
    void beginPass(const CellIndex* index)
    {
        pass_ = true;
        index_ = index;
        finger_ = nullptr;
    }
    void endPass()
    {
        pass_ = false;
        index_ = nullptr;
        finger_ = nullptr;
    }
    bool indexed() const { return index_ != nullptr; }

    // Value helpers for the functions.
    static Value valueOf(const Cell& c);
    Value cellValue(int sheet, int row, int col) const;
    Value single(const Value& v) const;  // a reference or array as one value
    Value toArray(const Value& v) const; // references as arrays of their values
    // Calls f(value, fromReference) for each value: every cell holding
    // something in references, each element of arrays, the value itself
    // otherwise. f returns false to stop.
    void forEach(const Value& v, const std::function<bool(const Value&, bool)>& f) const;

    // Excel's conversions of single values.
    Num toNumber(const Value& v) const;
    Str toText(const Value& v) const;
    Bool toBool(const Value& v) const;

private:
    struct Frame {
        const Program* p = nullptr;
        int sheet = 0, row = 0, col = 0;
        bool array = false;
        int depth = 0;
    };
    Value eval(int i);
    Value reference(const RefOperand& r) const;
    Value name(int index);
    Value binary(Op op, const Value& a, const Value& b) const;
    Value referenceOperator(Op op, const Value& a, const Value& b) const;
    Value unary(Op op, const Value& v) const;
    Value function(int i, const Node& n);
    Value lazy(int i, const Node& n, bool& handled);
    Value userFunction(int i, const Node& n);
    Value lifted(Builtin fn, Call& call, const std::vector<int>& valueArgs);
    Value evalArg(int i, ArgClass cls);

    const Cell* find(int sheet, int row, int col) const;

    const Workbook& book_;
    Frame frame_;
    bool pass_ = false;
    const CellIndex* index_ = nullptr;
    mutable const Sheet* finger_ = nullptr;
    mutable Sheet::CellMap::const_iterator fingerAt_;
    std::function<QDateTime()> clock_;
    std::unordered_map<int, std::shared_ptr<const Program>> names_;
};

// The function of a number Excel gives it, or nullptr when this program does
// not work it out.
Builtin builtinFunction(int index);

} // namespace tegaro::sheets
