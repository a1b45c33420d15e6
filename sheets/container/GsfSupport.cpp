#include "sheets/container/GsfSupport.h"

#include <gsf/gsf-utils.h>

namespace tegaro::sheets {

namespace {

void quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

} // namespace

void ensureGsf()
{
    static const bool done = [] {
        gsf_init();
        const auto levels = GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_MESSAGE);
        for (const char* domain : {"libgsf:msole", "libgsf:zip", "libgsf", "libgsf:utils", static_cast<const char*>(nullptr)})
            g_log_set_handler(domain, levels, quiet, nullptr);
        return true;
    }();
    (void)done;
}

} // namespace tegaro::sheets
