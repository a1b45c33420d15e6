#pragma once
// The ways into and out of a Program: stored tokens, typed text, the text
// an edit bar shows, and tokens to store.
#include "sheets/biff/BiffRecords.h"
#include "sheets/formula/FormulaProgram.h"
#include "sheets/model/Workbook.h"

#include <functional>

namespace tegaro::sheets {

// Stored tokens and where they belong.
struct TokenInput {
    QByteArrayView tokens;
    QByteArrayView extra; // array constants and such after the tokens
    int biff = 8;
    const Workbook* book = nullptr;      // its link table resolves references to other sheets
    int sheet = 0, row = 0, col = 0;     // the cell: shared formulas count from it
    bool shared = false;                 // relative references are offsets from the cell
    const ByteDecoder* decode = nullptr; // Excel 95 strings; Latin-1 when unset
    std::function<int(int)> sheetOfTab;  // Excel 95 sheet references; as stored when unset
};

// Throws EFormulaError for tokens it cannot take apart (including the
// ptgExp of shared and array formulas, which the caller resolves).
Program decodeTokens(const TokenInput& in);

// The formula as the edit bar shows it, without the leading "=".
QString programText(const Program& p, const Workbook& book, int sheet);

// Typed text, with or without its leading "=", for a cell of `sheet`.
// Throws EFormulaError naming the place of the fault (its position counts
// characters of `text` from 0). Calls of functions Excel 97 does not know
// add the hidden names .xls files call them through, once the text parses.
Program parseFormula(const QString& text, Workbook& book, int sheet);

struct EncodedFormula {
    QByteArray tokens;
    QByteArray extra;
    bool isVolatile = false;
};
// Excel 97 tokens for the program. Functions Excel 97 does not know and
// references to other sheets may add names and link entries to the book.
// Throws EFormulaError when the formula cannot be stored (too long). A
// name's definition keeps its references as references.
EncodedFormula encodeProgram(const Program& p, Workbook& book, bool arrayFormula = false, bool nameDefinition = false);

// Nesting deeper than this is refused everywhere, so no walk runs out of stack.
constexpr int kMaxFormulaDepth = 512;

} // namespace tegaro::sheets
