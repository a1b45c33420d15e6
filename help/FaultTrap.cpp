#include "help/FaultTrap.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csetjmp>
#include <csignal>
#endif

namespace tegaro {

#ifdef Q_OS_UNIX

namespace {

sigjmp_buf* activeTrap = nullptr;
constexpr int trapped[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int trapCount = int(sizeof trapped / sizeof trapped[0]);

extern "C" void onFault(int)
{
    siglongjmp(*activeTrap, 1);
}

} // namespace

bool runTrappingFaults(void (*fn)(void*), void* context)
{
    // Calls are made from the GUI thread only; a nested trap is not needed.
    struct sigaction handler {};
    handler.sa_handler = onFault;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_NODEFER;
    struct sigaction previous[trapCount];
    for (int i = 0; i < trapCount; ++i)
        sigaction(trapped[i], &handler, &previous[i]);

    sigjmp_buf trap;
    activeTrap = &trap;
    volatile bool completed = false;
    if (sigsetjmp(trap, 1) == 0) {
        fn(context);
        completed = true;
    }
    activeTrap = nullptr;
    for (int i = 0; i < trapCount; ++i)
        sigaction(trapped[i], &previous[i], nullptr);
    return completed;
}

#else

bool runTrappingFaults(void (*fn)(void*), void* context)
{
    fn(context);
    return true;
}

#endif

} // namespace tegaro
