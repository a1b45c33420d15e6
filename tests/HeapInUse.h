#pragma once
// Bytes the heap holds for the program, where the C library tells; 0
// elsewhere (and under sanitizers, whose allocator it does not see).
#include <QtGlobal>

#ifdef __GLIBC__
#include <malloc.h>
#endif

inline qint64 heapInUse()
{
#ifdef __GLIBC__
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
#else
    return 0;
#endif
}
