#include "core/FileFilter.h"

namespace tegaro {

QStringList qtNameFilters(const QString& filter)
{
    QStringList out;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns.trimmed());
    }
    return out;
}

} // namespace tegaro
