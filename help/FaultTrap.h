#pragma once
// chmlib trusts the structures inside a help file; a damaged file can make it
// read through a null pointer or divide by zero. Calls into it run through
// this trap so that such a file costs the help, not the program.

namespace tegaro {

// Runs fn(context). Returns false when it faulted (segmentation fault, bus
// error, arithmetic error); the caller must then abandon whatever the call
// was working on. Only plain C calls may run inside: no C++ objects with
// destructors live in the frames that a fault skips.
bool runTrappingFaults(void (*fn)(void*), void* context);

} // namespace tegaro
