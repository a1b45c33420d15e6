// Hostile formula texts and tokens: the parser, the encoder, the decoder,
// the printer and the evaluator end in a result or in EFormulaError, never
// in a crash or a hang. The first byte picks what the rest is.
#include "sheets/calc/Calculator.h"
#include "sheets/formula/FormulaCode.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/SheetErrors.h"

#include <cstddef>
#include <cstdint>

using namespace tegaro::sheets;

namespace {

// A book with values, texts, a second sheet and a name to point at.
Workbook sampleBook()
{
    Workbook book;
    book.addSheet(QStringLiteral("明細 (2)"));
    for (int r = 0; r < 8; ++r) {
        Cell& n = book.sheets[0].cellRef(r, 0);
        n.kind = CellKind::Number;
        n.number = r * 1.5 - 2;
        Cell& t = book.sheets[0].cellRef(r, 1);
        t.kind = CellKind::Text;
        t.text = QStringLiteral("家屋%1").arg(r);
    }
    DefinedName name;
    name.name = QStringLiteral("rate");
    name.tokens = QByteArray::fromHex("3a000000000000"); // 明細!$A$1 through the first link
    book.names << name;
    compileFormula(book, 0, QStringLiteral("='明細 (2)'!A1+Sheet1!A1")); // makes the links
    return book;
}

void evaluateInBook(Workbook book, const std::shared_ptr<const Formula>& f)
{
    Cell& c = book.sheets[0].cellRef(3, 3);
    c.kind = CellKind::Formula;
    c.formula = f;
    (void)formulaText(book, 0, 3, 3);
    Calculator calc(book);
    calc.recalculateAll();
    calc.cellsChanged({{0, 0, 0}});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Workbook book = sampleBook();
    if (size < 1)
        return 0;
    const int mode = data[0] % 3;
    const QByteArray rest = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    try {
        if (mode == 0) {
            // typed text: compiled, shown again, worked out
            Workbook copy = book;
            const auto f = compileFormula(copy, 0, QStringLiteral("=") + QString::fromUtf8(rest));
            evaluateInBook(copy, f);
        } else {
            // stored tokens of either dialect, with the extra data after them
            const qsizetype split = rest.isEmpty() ? 0 : quint8(rest[0]) % (rest.size());
            TokenInput in;
            in.tokens = QByteArrayView(rest).sliced(std::min<qsizetype>(1, rest.size())).first(std::max<qsizetype>(0, split - 1));
            in.extra = QByteArrayView(rest).sliced(std::max<qsizetype>(split, std::min<qsizetype>(1, rest.size())));
            in.biff = mode == 1 ? 8 : 5;
            in.book = &book;
            in.row = 3;
            in.col = 3;
            in.shared = (size & 1) != 0;
            const Program p = decodeTokens(in);
            (void)programText(p, book, 0);
            Workbook copy = book;
            const EncodedFormula e = encodeProgram(p, copy);
            auto f = std::make_shared<Formula>();
            f->tokens = e.tokens;
            f->extra = e.extra;
            evaluateInBook(copy, f);
        }
    } catch (const tegaro::Exception&) {
        // a clear error is the right answer
    }
    return 0;
}
