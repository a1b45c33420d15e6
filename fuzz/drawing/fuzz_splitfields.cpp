// RemoveQuotes and SplitFields on any CP932 line.
#include "core/Cp932.h"
#include "drawing/DrawingReaders.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString line = tegaro::fromCp932(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QString plain = tegaro::RemoveQuotes(line);
    if (plain.contains(QLatin1Char('"')))
        std::abort();
    const QStringList fields = tegaro::SplitFields(plain);
    if (fields.size() != plain.count(QLatin1Char(',')) + 1 || fields.join(QLatin1Char(',')) != plain)
        std::abort();
    return 0;
}
