#pragma once
// A formula taken apart: its operands and operators in the order the file
// stores them (reverse Polish), each node knowing the size of the subtree it
// ends, so the tree can be walked without building one. The same form comes
// from stored tokens and from typed text, and turns into text, tokens or a
// value.
#include "sheets/formula/FormulaValue.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace tegaro::sheets {

enum class Op : quint8 {
    // operands
    Number,
    String,
    Boolean,
    ErrorConst,
    Missing,
    Ref,
    Name,
    ExternName,
    ArrayConst,
    // binary operators, in token order (ptgAdd ... ptgRange)
    Add,
    Sub,
    Mul,
    Div,
    Power,
    Concat,
    Lt,
    Le,
    Eq,
    Ge,
    Gt,
    Ne,
    Isect,
    Union,
    Range,
    // unary operators and parentheses
    Plus,
    Minus,
    Percent,
    Paren,
    Function,
};

// A cell or area reference as stored: positions are absolute; the flags say
// which of them move when the formula is copied ($ is a cleared flag).
struct RefOperand {
    int firstSheet = -1, lastSheet = -1; // -1: the formula's own sheet
    int firstRow = 0, firstCol = 0, lastRow = 0, lastCol = 0;
    bool firstRowRel = false, firstColRel = false, lastRowRel = false, lastColRel = false;
    bool area = false;     // written A1:B2 even when one cell
    bool deleted = false;  // #REF!: the cells were deleted
    bool external = false; // another workbook: kept, never read
    bool threeD = false;   // carries a sheet
    int ixti = -1;         // as stored, for references this program cannot resolve
    bool wholeRows() const { return area && firstCol == 0 && lastCol == 255; }
    bool wholeColumns() const { return area && firstRow == 0 && lastRow == 65535; }
};

struct Node {
    Op op = Op::Number;
    quint8 tokenClass = 0;   // the class stored with the token: 0 reference, 1 value, 2 array
    quint8 argc = 0;         // operands of an operator or arguments of a function
    bool fixedArity = false; // a function stored as ptgFunc rather than ptgFuncVar
    int index = 0;           // function number, name number, error code, or ref/string/array slot
    int size = 1;            // nodes in the subtree that ends here
    double number = 0;       // number constant, boolean
};

struct Program {
    std::vector<Node> nodes;                           // postfix order; the last one is the root
    std::vector<RefOperand> refs;                      // Op::Ref nodes point here
    std::vector<QString> strings;                      // Op::String and the names of ExternName
    std::vector<std::shared_ptr<const Matrix>> arrays; // Op::ArrayConst
    bool isVolatile = false;                           // uses TODAY, NOW ... or a volatile attribute
    bool storedClasses = false;                        // token classes came from a file and are kept

    int root() const { return int(nodes.size()) - 1; }
    bool empty() const { return nodes.empty(); }
    // The roots of node i's operands, first to last.
    void children(int i, int* out) const;
};

// What a formula cell holds beyond a plain formula.
enum class FormulaShape : quint8 {
    Plain,
    ArrayPart,
    TablePart
};

} // namespace tegaro::sheets
