#pragma once
// Shared by the readers and writers that go through libgsf: its one-time
// start-up and owning pointers to its objects.
#include <glib-object.h>

#include <memory>

namespace tegaro::sheets {

// Starts the library once and keeps its complaints about damaged input off
// stderr: the errors we raise say all the user needs.
void ensureGsf();

struct GObjectUnref {
    void operator()(void* p) const
    {
        if (p)
            g_object_unref(p);
    }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

} // namespace tegaro::sheets
