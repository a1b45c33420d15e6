// Any bytes given to the workbook reader end in a workbook or in one of its
// errors; a workbook read this way shows its cells and formulas, works its
// formulas out, and writes out again.
#include "sheets/Calculator.h"
#include "sheets/Formulas.h"
#include "sheets/SheetErrors.h"
#include "sheets/XlsFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tegaro::sheets;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        Workbook book = readXls(bytes);
        for (int s = 0; s < book.sheets.size(); ++s)
            for (const auto& [key, cell] : book.sheets[s].cells()) {
                (void)book.cellText(s, Sheet::rowOf(key), Sheet::colOf(key));
                (void)formulaText(book, s, Sheet::rowOf(key), Sheet::colOf(key));
            }
        Calculator(book).recalculateAll();
        const Workbook again = readXls(writeXls(book));
        (void)again;
    } catch (const tegaro::Exception&) {
        // a clear error is the right answer to bad bytes
    }
    return 0;
}
