// ODBC connection strings as a user writes them (tegaro-db init --server):
// whatever is read, written again with our quoting, reads back the same.
#include "db/odbc/OdbcLogin.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<tegaro::odbc::Attribute> attributes = tegaro::odbc::parseConnectString(text);
    if (tegaro::odbc::parseConnectString(tegaro::odbc::buildConnectString(attributes)) != attributes)
        std::abort();
    for (const tegaro::odbc::Attribute& a : attributes) {
        // A value fit for a string never holds what would end it there.
        const std::optional<QString> v = tegaro::odbc::connectValue(a.second);
        if (v && !v->startsWith(u'{') && v->contains(u';'))
            std::abort();
    }
    return 0;
}
