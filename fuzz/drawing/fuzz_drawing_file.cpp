// The file reader on any bytes, both formats, then the renderer on the result.
#include "FuzzHarness.h"

#include "drawing/DrawingReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzHarness h;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    h.run([&] { tegaro::ReadDrawingBytes(h.model, bytes); }, size ? data[size - 1] : 0);
    return 0;
}
