// Any bytes given to the workbook reader end in a workbook or in one of its
// errors; a workbook read this way shows its cells and writes out again.
#include "Exercise.h"
#include "sheets/SheetErrors.h"
#include "sheets/XlsFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tegaro::sheets;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const Workbook book = readXls(bytes);
        fuzzing::exercise(book);
    } catch (const tegaro::Exception&) {
        // a clear error is the right answer to bad bytes
    }
    return 0;
}
