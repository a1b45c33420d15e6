// A stored drawing: the bytes split into lines, read, then drawn.
#include "FuzzHarness.h"

#include "drawing/DrawingReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzHarness h;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    h.run(
        [&] {
            h.model.StoredDrawingLines = tegaro::splitStoredDrawing(bytes);
            tegaro::ReadStoredDrawing(h.model);
        },
        size ? data[0] : 0);
    return 0;
}
