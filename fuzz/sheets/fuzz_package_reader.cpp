// Any bytes given to the .xlsx and .ods reader end in a workbook or in one
// of its errors; a workbook read this way shows its cells and writes out as
// .xls again. The first byte picks what the rest is: a whole file, or the
// parts of an .xlsx or .ods package (separated by NUL bytes, which XML
// never holds) that the target wraps in a valid package, so that mutations
// reach the reader's XML rather than dying in the ZIP layer. The .xlsx
// parts come in the order xlsxPackage() takes them.
#include "Exercise.h"
#include "sheets/package/PackageReader.h"
#include "sheets/PackageSamples.h"
#include "sheets/model/SheetErrors.h"

#include <cstddef>
#include <cstdint>

using namespace tegaro::sheets;
using namespace tegaro::sheets::testing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray rest = QByteArray::fromRawData(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    try {
        QByteArray bytes;
        switch (data[0] % 3) {
        case 0: bytes = rest; break;
        case 1: bytes = xlsxPackage(rest.split('\0')); break;
        default: {
            const QList<QByteArray> parts = rest.split('\0');
            bytes = odsPackage(parts.value(0), parts.value(1), false, parts.value(2));
            break;
        }
        }
        const Workbook book = readPackage(bytes);
        fuzzing::exercise(book);
    } catch (const tegaro::Exception&) {
        // a clear error is the right answer to bad bytes
    }
    return 0;
}
