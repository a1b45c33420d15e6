// Any bytes given to the workbook reader end in a workbook or in one of its
// errors, the stream read in place or as a copy; a workbook read this way
// shows its cells and formulas, works its formulas out, and writes out again.
#include "Exercise.h"
#include "sheets/container/OleFile.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"

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
    try {
        // the stream read in place is the stream read as a copy
        LargeBuffer room;
        if (workbookStreamView(bytes, room) != readWorkbookStream(bytes))
            __builtin_trap();
    } catch (const tegaro::Exception&) {
    }
    return 0;
}
