// MatchWildcard on a name and a mask separated by the first NUL byte.
#include "core/MatchWildcard.h"

#include <QByteArrayView>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView all(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = all.indexOf('\0');
    const QByteArrayView name = cut < 0 ? all : all.first(cut);
    const QByteArrayView mask = cut < 0 ? QByteArrayView() : all.sliced(cut + 1);
    const bool matched = tegaro::MatchWildcard(name, mask);
    // A mask without wildcards matches exactly the equal name.
    if (!mask.contains('*') && !mask.contains('?') && matched != (name == mask))
        std::abort();
    if (mask == "*" && !matched)
        std::abort();
    return 0;
}
