#pragma once
// Movable memory blocks reached through handles, in place of the platform's
// global memory functions. Handles are checked: a handle that was never
// given out, or whose block was freed, is refused and never dereferenced.
#include <QtGlobal>

#include <cstddef>

namespace tegaro {

using HGLOBAL = quint32; // 0 is no block

constexpr unsigned GMEM_FIXED = 0x0000;
constexpr unsigned GMEM_MOVEABLE = 0x0002;
constexpr unsigned GMEM_ZEROINIT = 0x0040;

// A new block of `bytes` (0 allowed), or 0 when it cannot be had.
HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes);
// Resizes an unlocked block, keeping its contents; returns the handle, or 0.
HGLOBAL GlobalReAlloc(HGLOBAL block, std::size_t bytes, unsigned flags);
// The block's memory, counted as one more lock; nullptr for a bad handle.
void* GlobalLock(HGLOBAL block);
// Takes one lock away; true while the block stays locked, as the platform does.
bool GlobalUnlock(HGLOBAL block);
// The block's size in bytes; 0 for a bad handle.
std::size_t GlobalSize(HGLOBAL block);
// Frees the block: 0 on success, the handle itself when it was not valid.
HGLOBAL GlobalFree(HGLOBAL block);
// The block whose memory holds the address, or 0.
HGLOBAL GlobalHandle(const void* address);
// Blocks not yet freed; lets tests see that nothing leaks.
int GlobalBlockCount();

} // namespace tegaro
